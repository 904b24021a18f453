// Reply names of the suggestion categories.
#include "generation/chord_suggestion.h"

#include <array>

namespace quillex {

std::string_view suggestionCategoryName(std::uint8_t category) {
    static constexpr std::array<std::string_view, 7> names = {"smart",
                                                              "diatonic",
                                                              "secondary_dominant",
                                                              "modal_interchange",
                                                              "tritone_sub",
                                                              "diminished_approach",
                                                              "chromatic_mediant"};
    return category < names.size() ? names[category] : std::string_view("unknown");
}

}  // namespace quillex
