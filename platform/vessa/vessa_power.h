// Our stand-in for the operating system's suspend/resume notifications: a registry of callbacks.
#pragma once

#include <stdint.h>

#include "platform/vessa/vessa.h"

#ifdef __cplusplus
extern "C" {
#endif

// Event types a callback receives.
enum { VESSA_POWER_SUSPEND = 4, VESSA_POWER_RESUME_BY_USER = 7, VESSA_POWER_RESUME_AUTOMATIC = 18 };

typedef uint32_t (*vessa_power_callback)(void* context, uint32_t eventType, void* setting);
typedef struct vessa_power_registration* vessa_power_handle;

// 0 when registered, with the handle set; any other result leaves it null.
VESSA_API uint32_t vessa_power_register(vessa_power_callback callback, void* context, vessa_power_handle* handle);
// Removes the registration; returns once no callback of it is running.
VESSA_API uint32_t vessa_power_unregister(vessa_power_handle handle);

// ---- What the host program sees ----------------------------------------

// Runs every registered callback with `eventType` on the calling thread.
VESSA_API void vessa_power_broadcast(uint32_t eventType);
// The next registration fails.
VESSA_API void vessa_power_fail_next_registration(void);

#ifdef __cplusplus
}
#endif
