// The host's simulated mouse, monitor DPI and power notifications, put in the platform's desktop-services seam.
#pragma once

namespace quillex {

// Installs the services the host simulates, when it offers them, else the
// system's own. Called on the main thread as each object is made; objects
// already registered keep the table they registered through.
void adoptHostSystemServices();

}  // namespace quillex
