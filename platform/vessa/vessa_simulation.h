// The simulated services inside the stand-in library: reached by a module only through vessa_services.h.
#pragma once

#include "platform/vessa/vessa_power.h"

namespace vessa_simulation {

int leftButtonDown() noexcept;
long monitorDpi(long x, long y, unsigned* horizontal, unsigned* vertical) noexcept;
uint32_t powerRegister(vessa_power_callback callback, void* context, vessa_power_handle* handle) noexcept;
uint32_t powerUnregister(vessa_power_handle handle) noexcept;

}  // namespace vessa_simulation
