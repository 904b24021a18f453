// Request-key readers of the chord-voicing requests.
#include "protocol/voicing_request_readers.h"

#include <nlohmann/json.hpp>

#include "protocol/json_number.h"
#include "protocol/request_readers.h"

namespace quillex {

std::string readStringOrEmpty(const nlohmann::json& request, const char* key) {
    if (!request.is_object()) return {};
    const auto it = request.find(key);
    if (it == request.end() || !it->is_string()) return {};
    return it->get<std::string>();
}

std::string readRequestId(const nlohmann::json& request) { return readStringOrEmpty(request, "request_id"); }

std::int32_t readOctaveShift(const nlohmann::json& request, std::int32_t defaultShift) {
    const nlohmann::json* member = findRequestMember(request, "octave_shift");
    return member == nullptr ? defaultShift : readInt32Saturating(*member);
}

}  // namespace quillex
