// The library's DOM parser behind a nesting counter.
#include "protocol/json_text.h"

#include <string>
#include <utility>
#include <vector>

namespace quillex {
namespace {

using nlohmann::json;

// Forwards every event to the library's own DOM builder, counting open
// arrays and objects; past the limit it stops the parse without building more.
class DepthLimitedBuilder {
public:
    explicit DepthLimitedBuilder(json& result) : dom_(result, true) {}

    bool tooDeep() const { return tooDeep_; }

    bool null() { return dom_.null(); }
    bool boolean(bool value) { return dom_.boolean(value); }
    bool number_integer(json::number_integer_t value) { return dom_.number_integer(value); }
    bool number_unsigned(json::number_unsigned_t value) { return dom_.number_unsigned(value); }
    bool number_float(json::number_float_t value, const json::string_t& text) { return dom_.number_float(value, text); }
    bool string(json::string_t& value) { return dom_.string(value); }
    bool binary(json::binary_t& value) { return dom_.binary(value); }
    bool start_object(std::size_t size) { return open() && dom_.start_object(size); }
    bool key(json::string_t& value) { return dom_.key(value); }
    bool end_object() {
        --depth_;
        return dom_.end_object();
    }
    bool start_array(std::size_t size) { return open() && dom_.start_array(size); }
    bool end_array() {
        --depth_;
        return dom_.end_array();
    }
    template <typename Exception>
    bool parse_error(std::size_t position, const std::string& token, const Exception& error) {
        return dom_.parse_error(position, token, error);
    }

private:
    bool open() {
        if (++depth_ > kJsonNestingLimit) {
            tooDeep_ = true;
            return false;
        }
        return true;
    }

    nlohmann::detail::json_sax_dom_parser<json> dom_;
    std::size_t depth_ = 0;
    bool tooDeep_ = false;
};

// Byte count (as the library reports positions) up to and including the first
// bracket opened past the limit. Only called once the parser has accepted
// everything before that bracket, so strings here are well formed.
std::size_t firstTooDeepByte(std::string_view text) {
    std::size_t depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > kJsonNestingLimit) return i + 1;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return text.size();
}

}  // namespace

json parseJsonText(std::string_view text) {
    json result;
    DepthLimitedBuilder builder(result);
    const bool parsed = json::sax_parse(text.begin(), text.end(), &builder);
    if (!parsed && builder.tooDeep()) {
        throw json::parse_error::create(
            101, firstTooDeepByte(text),
            "syntax error while parsing value - nesting deeper than " + std::to_string(kJsonNestingLimit) + " levels",
            nullptr);
    }
    return result;
}

bool nestsDeeperThan(const json& value, std::size_t levels) {
    // Each entry is a container and its depth; scalars are never pushed.
    std::vector<std::pair<const json*, std::size_t>> pending;
    if (value.is_structured()) pending.emplace_back(&value, 1);
    while (!pending.empty()) {
        const auto [container, depth] = pending.back();
        pending.pop_back();
        if (depth > levels) return true;
        for (const json& element : *container) {
            if (element.is_structured()) pending.emplace_back(&element, depth + 1);
        }
    }
    return false;
}

}  // namespace quillex
