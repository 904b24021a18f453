// Pending settings-write transaction IDs of one object and the scoped claim on one of them.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <unordered_set>

namespace quillex {

class PersistenceTransactionRegistry {
public:
    bool isPending(const std::string& id) const;

private:
    friend class PersistenceTransactionGuard;
    mutable std::mutex mutex_;
    std::unordered_set<std::string> pending_;
};

// Holds one ID while a write runs; releases it when released or destroyed.
class PersistenceTransactionGuard {
public:
    // Raises std::invalid_argument for an empty ID; no guard when the ID is pending.
    static std::optional<PersistenceTransactionGuard> acquire(PersistenceTransactionRegistry& registry, std::string id);

    PersistenceTransactionGuard(PersistenceTransactionGuard&& other) noexcept;
    PersistenceTransactionGuard& operator=(PersistenceTransactionGuard&&) = delete;
    PersistenceTransactionGuard(const PersistenceTransactionGuard&) = delete;
    ~PersistenceTransactionGuard();

    void release();

private:
    PersistenceTransactionGuard(PersistenceTransactionRegistry* registry, std::string id);
    PersistenceTransactionRegistry* registry_;
    std::string id_;
};

}  // namespace quillex
