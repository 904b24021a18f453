// std::random_device behind a replaceable source.
#include "platform/random_device.h"

#include <mutex>
#include <random>
#include <utility>

namespace quillex::platform {
namespace {

struct Source {
    std::mutex mutex;
    std::function<std::uint32_t()> injected;
};

Source& source() {
    static Source instance;
    return instance;
}

}  // namespace

std::uint32_t randomDeviceWord() {
    Source& s = source();
    std::lock_guard lock(s.mutex);
    if (s.injected) return s.injected();
    // A device per call: the draws are rare (seeds, identifiers), and no
    // device object is kept alive between them.
    std::random_device device;
    return static_cast<std::uint32_t>(device());
}

void setRandomWordSourceForTesting(std::function<std::uint32_t()> source_) {
    Source& s = source();
    std::lock_guard lock(s.mutex);
    s.injected = std::move(source_);
}

}  // namespace quillex::platform
