// The ten checked steps that configure the pop-out window, and the driver that runs them with rollback.
#pragma once

#include <cstdint>

namespace quillex::host {

// One configuration's host side; a step that returns false or throws fails it.
class ExternalWindowHostApi {
public:
    virtual ~ExternalWindowHostApi() = default;
    virtual bool locateBoxes() = 0;
    virtual bool resetDockedSize() = 0;
    virtual bool loadSavedGeometry() = 0;
    virtual bool createWindowView() = 0;
    virtual bool attachToWindow() = 0;
    virtual bool applyWindowStyle() = 0;
    virtual bool showWindow() = 0;
    virtual bool applyWindowRect() = 0;
    virtual bool fitContent() = 0;
    virtual bool verifyCanvasRect() = 0;
    // Undoes whatever the steps did; must cope with any of them having failed.
    virtual void rollback() = 0;
};

// Low byte 1 on success; else low byte 0 and high byte the failed step (1-10).
std::uint16_t configurePopoutWindow(ExternalWindowHostApi& api);

inline bool popoutConfigured(std::uint16_t result) { return (result & 0xFF) == 1; }
inline int popoutFailedStep(std::uint16_t result) { return result >> 8; }

}  // namespace quillex::host
