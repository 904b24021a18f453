// Claiming and releasing pending persistence transaction IDs.
#include "host/persistence_transaction_guard.h"

#include <stdexcept>
#include <utility>

namespace quillex {

bool PersistenceTransactionRegistry::isPending(const std::string& id) const {
    std::lock_guard lock(mutex_);
    return pending_.contains(id);
}

std::optional<PersistenceTransactionGuard> PersistenceTransactionGuard::acquire(
    PersistenceTransactionRegistry& registry, std::string id) {
    if (id.empty()) throw std::invalid_argument("Persistence transaction ID must not be empty");
    {
        std::lock_guard lock(registry.mutex_);
        if (!registry.pending_.insert(id).second) return std::nullopt;
    }
    return PersistenceTransactionGuard(&registry, std::move(id));
}

PersistenceTransactionGuard::PersistenceTransactionGuard(PersistenceTransactionRegistry* registry, std::string id)
    : registry_(registry), id_(std::move(id)) {}

PersistenceTransactionGuard::PersistenceTransactionGuard(PersistenceTransactionGuard&& other) noexcept
    : registry_(std::exchange(other.registry_, nullptr)), id_(std::move(other.id_)) {}

PersistenceTransactionGuard::~PersistenceTransactionGuard() { release(); }

void PersistenceTransactionGuard::release() {
    if (registry_ == nullptr) return;
    {
        std::lock_guard lock(registry_->mutex_);
        registry_->pending_.erase(id_);
    }
    registry_ = nullptr;
    id_.clear();
}

}  // namespace quillex
