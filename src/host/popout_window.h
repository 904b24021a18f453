// The pop-out window's state in the host object and the host-side configuration steps behind it.
#pragma once

#include <cstdint>

#include "host/external_window_host_api.h"
#include "host/popout_geometry.h"
#include "platform/vessa/vessa_patcher.h"

namespace quillex {

class quillex_ext;

// Host handles of one configuration; any of them may be missing.
struct PopoutHandles {
    t_patcher* patcher = nullptr;
    t_patcherview* view = nullptr;  // the pop-out window
    t_box* jweb = nullptr;
    t_patcherview* dockedView = nullptr;
    t_box* cover = nullptr;
    t_box* placeholder = nullptr;
    t_box* returnToDock = nullptr;
};

struct PopoutWindowState {
    bool open = false;
    bool applyingGeometry = false;  // the object itself is changing the view
    bool styled = false;
    bool chromeMeasured = false;
    double chromeWidth = 0.0;
    double chromeHeight = 0.0;
    std::int32_t dockedWidth = kDockedWidth;
    std::int32_t dockedHeight = kDockedHeight;
    std::int32_t contentWidth = 0;
    std::int32_t contentHeight = 0;
    bool contentKnown = false;
    std::int32_t dragStartWidth = 0;
    std::int32_t dragStartHeight = 0;
    bool dragTracking = false;
    bool proportional = false;
    PopoutHandles handles;
};

// The patcher of the object and the boxes and docked view the pop-out needs.
PopoutHandles findPopoutBoxes(void* object);

namespace host {

// The ten steps over the stand-in host's calls, for one configuration.
class VessaExternalWindowHostApi : public ExternalWindowHostApi {
public:
    explicit VessaExternalWindowHostApi(quillex_ext& owner);
    bool locateBoxes() override;
    bool resetDockedSize() override;
    bool loadSavedGeometry() override;
    bool createWindowView() override;
    bool attachToWindow() override;
    bool applyWindowStyle() override;
    bool showWindow() override;
    bool applyWindowRect() override;
    bool fitContent() override;
    bool verifyCanvasRect() override;
    void rollback() override;

private:
    quillex_ext& owner_;
    PopoutHandles found_;
    PopoutGeometry savedGeometry_;
    std::int32_t savedDockedWidth_;
    std::int32_t savedDockedHeight_;
    std::int32_t dockedWidth_ = 0;
    std::int32_t dockedHeight_ = 0;
    std::int32_t windowWidth_ = 0;
    std::int32_t windowHeight_ = 0;
    bool reuseView_ = false;
};

}  // namespace host
}  // namespace quillex
