// The ten checked steps that configure the pop-out window, and the driver that runs them with rollback.
#include "host/external_window_host_api.h"

#include <array>

namespace quillex::host {

std::uint16_t configurePopoutWindow(ExternalWindowHostApi& api) {
    using Step = bool (ExternalWindowHostApi::*)();
    static constexpr std::array<Step, 10> steps = {
        &ExternalWindowHostApi::locateBoxes,       &ExternalWindowHostApi::resetDockedSize,
        &ExternalWindowHostApi::loadSavedGeometry, &ExternalWindowHostApi::createWindowView,
        &ExternalWindowHostApi::attachToWindow,    &ExternalWindowHostApi::applyWindowStyle,
        &ExternalWindowHostApi::showWindow,        &ExternalWindowHostApi::applyWindowRect,
        &ExternalWindowHostApi::fitContent,        &ExternalWindowHostApi::verifyCanvasRect,
    };
    for (std::size_t i = 0; i < steps.size(); ++i) {
        bool ok = false;
        try {
            ok = (api.*steps[i])();
        } catch (...) {
            ok = false;  // a raising step is a failed step like any other
        }
        if (!ok) {
            try {
                api.rollback();
            } catch (...) {
                // The failure being reported is the step's; a failing rollback adds nothing to it.
            }
            return static_cast<std::uint16_t>((i + 1) << 8);
        }
    }
    return 1;
}

}  // namespace quillex::host
