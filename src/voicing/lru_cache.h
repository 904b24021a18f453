// A least-recently-used map with a fixed capacity, used by the voicer caches.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <optional>
#include <unordered_map>
#include <utility>

namespace quillex {

// Recency list of keys (most recent first) plus a hash index; a hit costs one
// hash and one list splice. Not synchronised.
template <typename Key, typename Value, typename Hash = std::hash<Key>>
class LruCache {
public:
    explicit LruCache(std::size_t capacity) : capacity_(capacity), index_(8) { index_.max_load_factor(1.0f); }

    LruCache(const LruCache&) = delete;
    LruCache& operator=(const LruCache&) = delete;

    std::size_t capacity() const { return capacity_; }
    std::size_t size() const { return index_.size(); }

    // A hit makes the key the most recent one.
    const Value* find(const Key& key) {
        const auto it = index_.find(key);
        if (it == index_.end()) {
            ++misses_;
            return nullptr;
        }
        ++hits_;
        recency_.splice(recency_.begin(), recency_, it->second.position);
        return &it->second.value;
    }

    std::optional<Value> get(const Key& key) {
        const Value* value = find(key);
        if (value == nullptr) return std::nullopt;
        return *value;
    }

    // A new key goes to the most recent end and evicts the least recent ones
    // beyond the capacity; an existing key is updated and made most recent.
    void put(const Key& key, Value value) {
        if (capacity_ == 0) return;
        const auto it = index_.find(key);
        if (it != index_.end()) {
            it->second.value = std::move(value);
            recency_.splice(recency_.begin(), recency_, it->second.position);
            return;
        }
        const auto [inserted, ok] = index_.emplace(key, Entry{std::move(value), {}});
        (void)ok;
        recency_.push_front(&inserted->first);
        inserted->second.position = recency_.begin();
        while (index_.size() > capacity_) {
            const Key* oldest = recency_.back();
            recency_.pop_back();
            index_.erase(*oldest);
        }
    }

    // The keys from most to least recent, for inspection.
    template <typename Visit>
    void forEachKeyByRecency(Visit visit) const {
        for (const Key* key : recency_) visit(*key);
    }

    std::uint64_t hits() const { return hits_; }
    std::uint64_t misses() const { return misses_; }

private:
    struct Entry {
        Value value;
        typename std::list<const Key*>::iterator position;
    };

    std::size_t capacity_;
    std::list<const Key*> recency_;
    std::unordered_map<Key, Entry, Hash> index_;
    std::uint64_t hits_ = 0;
    std::uint64_t misses_ = 0;
};

}  // namespace quillex
