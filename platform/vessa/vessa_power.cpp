// The stand-in power registry: callbacks run outside its lock, and unregistering waits for one in flight.
#include "platform/vessa/vessa_power.h"

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/vessa/vessa_simulation.h"

struct vessa_power_registration {
    vessa_power_callback callback = nullptr;
    void* context = nullptr;
    int inFlight = 0;
    bool removed = false;
};

namespace {

struct PowerRegistry {
    std::mutex mutex;
    std::condition_variable idle;
    std::vector<std::shared_ptr<vessa_power_registration>> live;
    bool failNext = false;
};

// Never destroyed: a broadcast thread may outlive static destruction at exit.
PowerRegistry& registry() {
    static PowerRegistry* instance = new PowerRegistry;
    return *instance;
}

}  // namespace

namespace vessa_simulation {

uint32_t powerRegister(vessa_power_callback callback, void* context, vessa_power_handle* handle) noexcept {
    if (handle == nullptr) return 87;
    *handle = nullptr;
    if (callback == nullptr) return 87;
    try {
        PowerRegistry& r = registry();
        std::lock_guard lock(r.mutex);
        if (r.failNext) {
            r.failNext = false;
            return 5;
        }
        auto entry = std::make_shared<vessa_power_registration>();
        entry->callback = callback;
        entry->context = context;
        r.live.push_back(entry);
        *handle = entry.get();
        return 0;
    } catch (...) {
        return 8;  // out of memory
    }
}

uint32_t powerUnregister(vessa_power_handle handle) noexcept {
    if (handle == nullptr) return 87;
    PowerRegistry& r = registry();
    std::unique_lock lock(r.mutex);
    const auto found =
        std::find_if(r.live.begin(), r.live.end(), [handle](const auto& e) { return e.get() == handle; });
    if (found == r.live.end()) return 87;
    const std::shared_ptr<vessa_power_registration> entry = *found;
    r.live.erase(found);
    entry->removed = true;
    r.idle.wait(lock, [&entry] { return entry->inFlight == 0; });
    return 0;
}

}  // namespace vessa_simulation

extern "C" {

void vessa_power_broadcast(uint32_t eventType) {
    PowerRegistry& r = registry();
    std::vector<std::shared_ptr<vessa_power_registration>> snapshot;
    {
        std::lock_guard lock(r.mutex);
        snapshot = r.live;
    }
    for (const auto& entry : snapshot) {
        {
            std::lock_guard lock(r.mutex);
            if (entry->removed) continue;
            ++entry->inFlight;
        }
        entry->callback(entry->context, eventType, nullptr);
        {
            std::lock_guard lock(r.mutex);
            --entry->inFlight;
        }
        r.idle.notify_all();
    }
}

void vessa_power_fail_next_registration(void) {
    PowerRegistry& r = registry();
    std::lock_guard lock(r.mutex);
    r.failNext = true;
}

}  // extern "C"
