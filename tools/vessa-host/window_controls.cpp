// Host program controls of the patcher model: patcher pieces, window chrome, user resizes and closes, mouse, DPI, failures.
#include "tools/vessa-host/window_controls.h"

#include <charconv>
#include <cmath>
#include <optional>

#include "platform/vessa/vessa_patcher.h"

namespace vessa_host {
namespace {

std::optional<double> number(const std::string& text) {
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<long> whole(const std::string& text, long low, long high) {
    long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high) return std::nullopt;
    return value;
}

}  // namespace

bool runWindowControl(const std::vector<std::string>& words, void* object, std::string& reply) {
    const std::string& name = words.front();
    if (name == ":patcher" && words.size() >= 2 && words[1] == "docked") {
        int pieces = VESSA_PATCHER_ALL;
        for (std::size_t i = 2; i < words.size(); ++i) {
            const std::string& word = words[i];
            if (word == "-jweb")
                pieces &= ~VESSA_PATCHER_JWEB;
            else if (word == "-cover")
                pieces &= ~VESSA_PATCHER_COVER;
            else if (word == "-placeholder")
                pieces &= ~VESSA_PATCHER_PLACEHOLDER;
            else if (word == "-return")
                pieces &= ~VESSA_PATCHER_RETURN;
            else if (word == "-view")
                pieces &= ~VESSA_PATCHER_VIEW;
            else
                return false;
        }
        if (object == nullptr) return false;
        vessa_patcher_setup(object, pieces);
        return true;
    }
    if (name == ":chrome" && words.size() == 3) {
        const auto w = number(words[1]);
        const auto h = number(words[2]);
        if (!w || !h || *w < 0 || *h < 0) return false;
        vessa_set_chrome(*w, *h);
        return true;
    }
    if (name == ":window" && words.size() == 4 && words[1] == "resize") {
        const auto w = number(words[2]);
        const auto h = number(words[3]);
        if (!w || !h || object == nullptr) return false;
        if (!vessa_window_resize(object, *w, *h)) reply = "no-window";
        return true;
    }
    if (name == ":window" && words.size() == 2 && words[1] == "destroy") {
        if (object == nullptr) return false;
        if (!vessa_window_destroy(object)) reply = "no-window";
        return true;
    }
    if (name == ":window" && words.size() == 2 && words[1] == "count") {
        reply = "windows " + std::to_string(vessa_live_views()) + " attachments " +
                std::to_string(vessa_live_attachments());
        return true;
    }
    if (name == ":mouse" && words.size() == 4 && (words[3] == "up" || words[3] == "down")) {
        const auto x = whole(words[1], -1000000, 1000000);
        const auto y = whole(words[2], -1000000, 1000000);
        if (!x || !y) return false;
        vessa_set_mouse(*x, *y, words[3] == "down");
        return true;
    }
    if (name == ":dpi" && words.size() == 2 && words[1] == "none") {
        vessa_set_dpi(0, 0);
        return true;
    }
    if (name == ":dpi" && words.size() == 3) {
        const auto h = whole(words[1], 1, 10000);
        const auto v = whole(words[2], 1, 10000);
        if (!h || !v) return false;
        vessa_set_dpi(static_cast<unsigned>(*h), static_cast<unsigned>(*v));
        return true;
    }
    if (name == ":fail" && words.size() == 3 && (words[2] == "on" || words[2] == "off"))
        return vessa_fail_call(words[1].c_str(), words[2] == "on") != 0;
    return false;
}

}  // namespace vessa_host
