// Degree classes of chord-tone intervals.
#include "theory/chord_tone_degree.h"

#include "theory/pitch_class.h"

namespace quillex {

std::int32_t chordToneDegreeOfInterval(std::string_view quality, std::int32_t interval) {
    switch (interval) {
        case 0:
            return 0;
        case 1:
        case 2:
        case 13:
        case 14:
        case 15:
            return 1;
        case 3:
        case 4:
            return 2;
        case 5:
        case 16:
        case 17:
        case 18:
            return 3;
        case 6:
        case 7:
        case 8:
        case 19:
            return 4;
        case 9:
            return quality.starts_with("dim") ? 6 : 5;
        case 20:
        case 21:
            return 5;
        case 10:
        case 11:
        case 22:
        case 23:
            return 6;
        default:
            break;
    }
    constexpr std::int32_t kByRemainder[12] = {0, 1, 1, 2, 2, 3, 4, 4, 4, 5, 6, 6};
    return kByRemainder[reducePitchClass(interval)];
}

}  // namespace quillex
