// The system services the stand-in host simulates for a module: the left mouse button, the monitor DPI and
// the suspend/resume notifications, offered as one table of C functions.
#pragma once

#include <stdint.h>

#include "platform/vessa/vessa.h"
#include "platform/vessa/vessa_power.h"

#ifdef __cplusplus
extern "C" {
#endif

// Every entry is set, and none lets an exception out.
typedef struct vessa_system_services {
    // 1 while the simulated left button is down (vessa_set_mouse).
    int (*left_button_down)(void);
    // 0 with the simulated effective DPI (vessa_set_dpi) of the monitor
    // nearest the screen point; non-zero when there is none.
    long (*monitor_dpi)(long x, long y, unsigned* horizontal, unsigned* vertical);
    // 0 when registered, with the handle set; any other result leaves it null.
    // Callbacks run on the thread that raises the event (vessa_power_broadcast).
    uint32_t (*power_register)(vessa_power_callback callback, void* context, vessa_power_handle* handle);
    // Removes the registration; returns once no callback of it is running.
    uint32_t (*power_unregister)(vessa_power_handle handle);
} vessa_system_services;

// ---- What a module sees -------------------------------------------------

// The simulated services while the host program simulates them, else null:
// the module then uses the system's own.
VESSA_API const vessa_system_services* vessa_simulated_services(void);

// ---- What the host program sees ----------------------------------------

// 1: modules are offered the simulated services from now on; 0: the system's.
VESSA_API void vessa_simulate_system_services(int simulate);

#ifdef __cplusplus
}
#endif
