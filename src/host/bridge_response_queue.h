// The object's queue of bridge-routed replies: at most eight page messages, oldest first.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>

#include <nlohmann/json.hpp>

namespace quillex {

class ResponseQueue {
public:
    static constexpr std::size_t kCapacity = 8;

    // False when full; the queue is then unchanged.
    bool push(std::string type, nlohmann::json message) {
        if (count_ == kCapacity) return false;
        entries_[count_++] = {std::move(type), std::move(message)};
        return true;
    }

    // The oldest entry, the rest moved one place towards the front.
    std::optional<std::pair<std::string, nlohmann::json>> pop() {
        if (count_ == 0) return std::nullopt;
        auto front = std::move(entries_[0]);
        for (std::size_t i = 1; i < count_; ++i) entries_[i - 1] = std::move(entries_[i]);
        entries_[--count_] = {};
        return front;
    }

    void clear() {
        for (std::size_t i = 0; i < count_; ++i) entries_[i] = {};
        count_ = 0;
    }

    std::size_t size() const { return count_; }

private:
    std::array<std::pair<std::string, nlohmann::json>, kCapacity> entries_{};
    std::size_t count_ = 0;
};

}  // namespace quillex
