// The table of simulated system services and the host program's switch that offers it to modules.
#include "platform/vessa/vessa_services.h"

#include <atomic>

#include "platform/vessa/vessa_simulation.h"

namespace {

const vessa_system_services kSimulated = {
    &vessa_simulation::leftButtonDown,
    &vessa_simulation::monitorDpi,
    &vessa_simulation::powerRegister,
    &vessa_simulation::powerUnregister,
};

std::atomic<bool> simulating{false};

}  // namespace

extern "C" {

const vessa_system_services* vessa_simulated_services(void) { return simulating.load() ? &kSimulated : nullptr; }

void vessa_simulate_system_services(int simulate) { simulating.store(simulate != 0); }

}  // extern "C"
