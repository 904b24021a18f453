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

// A module registers through the simulated system services (vessa_services.h).

// ---- What the host program sees ----------------------------------------

// Runs every registered callback with `eventType` on the calling thread.
VESSA_API void vessa_power_broadcast(uint32_t eventType);
// The next registration fails.
VESSA_API void vessa_power_fail_next_registration(void);

#ifdef __cplusplus
}
#endif
