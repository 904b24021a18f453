// The pop-out window: configuration with rollback, the four messages, view notifications, resizes and the drag poll.
#include "host/popout_window.h"

#include <cmath>
#include <limits>
#include <string>

#include <nlohmann/json.hpp>

#include "host/pointer_and_display.h"
#include "host/quillex_ext.h"

namespace quillex {

using nlohmann::json;

namespace {

constexpr double kDragPollMs = 16.0;
constexpr double kGeometrySettleMs = 350.0;
constexpr double kGestureEdge = 24.0;
// Host coordinates beyond this are not a window; it keeps every rounding within 32 bits.
constexpr double kHostCoordinateLimit = 1.0e7;
const t_rect kDockedJwebRect{0, 0, 1668, 358};
const t_rect kOffscreenRect{-32768, -32768, 1, 1};

bool saneNumber(double value) { return std::isfinite(value) && std::abs(value) <= kHostCoordinateLimit; }

bool saneRect(const t_rect& rect) {
    return saneNumber(rect.x) && saneNumber(rect.y) && saneNumber(rect.width) && saneNumber(rect.height);
}

std::int32_t roundCoordinate(double value) { return static_cast<std::int32_t>(std::lround(value)); }

// Set while the object changes the pop-out view itself; the outermost scope clears
// it on every way out, failures and exceptions included.
class ApplyingGeometry {
public:
    explicit ApplyingGeometry(bool& flag) : flag_(flag), outer_(flag) { flag_ = true; }
    ~ApplyingGeometry() { flag_ = outer_; }
    ApplyingGeometry(const ApplyingGeometry&) = delete;
    ApplyingGeometry& operator=(const ApplyingGeometry&) = delete;

private:
    bool& flag_;
    bool outer_;
};

bool sendWindowFlags(t_patcher* patcher) {
    t_atom flags[2];
    flags[0].a_type = A_SYM;
    flags[0].a_w.w_sym = gensym("flags");
    flags[1].a_type = A_SYM;
    flags[1].a_w.w_sym = gensym("float");
    if (patcher_window(patcher, 2, flags) != 0) return false;
    t_atom exec[1];
    exec[0].a_type = A_SYM;
    exec[0].a_w.w_sym = gensym("exec");
    return patcher_window(patcher, 1, exec) == 0;
}

}  // namespace

PopoutHandles findPopoutBoxes(void* object) {
    PopoutHandles found;
    if (object_obex_lookup(object, gensym("#P"), &found.patcher) != 0 || found.patcher == nullptr) return {};
    for (t_box* box = jpatcher_get_firstobject(found.patcher); box != nullptr; box = jbox_get_nextobject(box)) {
        t_symbol* className = object_classname(jbox_get_object(box));
        if (className == gensym("jweb")) {
            found.jweb = box;
            break;
        }
    }
    found.placeholder = patcher_getnamedbox(found.patcher, gensym("qx_popout_placeholder"));
    found.returnToDock = patcher_getnamedbox(found.patcher, gensym("qx_return_to_dock"));
    found.cover = patcher_getnamedbox(found.patcher, gensym("qx_popout_cover"));
    for (t_patcherview* view = jpatcher_get_firstview(found.patcher); view != nullptr;
         view = patcherview_get_nextview(view)) {
        if (patcherview_get_visible(view) && patcherview_get_locked(view) && patcherview_get_presentation(view)) {
            found.dockedView = view;
            break;
        }
    }
    return found;
}

// ---- The ten steps ----------------------------------------------------------

namespace host {

VessaExternalWindowHostApi::VessaExternalWindowHostApi(quillex_ext& owner)
    : owner_(owner),
      savedGeometry_(owner.popoutGeometry),
      savedDockedWidth_(owner.popout.dockedWidth),
      savedDockedHeight_(owner.popout.dockedHeight) {}

bool VessaExternalWindowHostApi::locateBoxes() {
    found_ = findPopoutBoxes(owner_.hostHandle());
    return found_.patcher && found_.jweb && found_.dockedView && found_.cover && found_.placeholder &&
           found_.returnToDock;
}

bool VessaExternalWindowHostApi::resetDockedSize() {
    if (!found_.patcher || !found_.jweb || !found_.dockedView) return false;
    dockedWidth_ = owner_.popout.dockedWidth = kDockedWidth;
    dockedHeight_ = owner_.popout.dockedHeight = kDockedHeight;
    return true;
}

bool VessaExternalWindowHostApi::loadSavedGeometry() {
    if (!readExternalWindowGeometry(owner_.settingsPaths, owner_.popoutGeometry)) return false;
    const PopoutGeometry& geometry = owner_.popoutGeometry;
    if (!geometry.hasSaved) {
        windowWidth_ = dockedWidth_;
        windowHeight_ = dockedHeight_;
        return true;
    }
    const double w = std::max(dockedWidth_, 1);
    const double h = std::max(dockedHeight_, 1);
    const PopoutWindowSize size =
        computeWindowSize(w * geometry.widthScale, h * geometry.heightScale, dockedWidth_, dockedHeight_);
    windowWidth_ = size.width;
    windowHeight_ = size.height;
    return true;
}

bool VessaExternalWindowHostApi::createWindowView() {
    PopoutHandles& held = owner_.popout.handles;
    if (held.view != nullptr) {
        reuseView_ = true;
        return held.patcher != nullptr && held.jweb != nullptr;
    }
    t_patcherview* view = patcher_makeview(found_.patcher);
    if (view == nullptr) return false;
    held = found_;
    held.view = view;
    return true;
}

bool VessaExternalWindowHostApi::attachToWindow() {
    if (reuseView_) return true;
    PopoutHandles& held = owner_.popout.handles;
    if (object_attach_byptr_register(owner_.hostHandle(), held.view, gensym("nobox")) == 0) return true;
    patcherview_set_visible(held.view, 0);
    t_patcherview* view = held.view;
    held = {};
    object_free(view);
    return false;
}

bool VessaExternalWindowHostApi::applyWindowStyle() {
    PopoutWindowState& state = owner_.popout;
    owner_.dragPollTimer.stop();
    state.dragTracking = false;
    state.chromeWidth = state.chromeHeight = 0.0;
    state.chromeMeasured = false;
    state.styled = false;
    state.contentKnown = false;
    return owner_.applyPopoutWindowStyle();
}

bool VessaExternalWindowHostApi::showWindow() {
    t_patcherview* view = owner_.popout.handles.view;
    if (view == nullptr) return false;
    ApplyingGeometry applying(owner_.popout.applyingGeometry);
    return patcherview_set_visible(view, 1) == 0 && patcherview_get_visible(view) != 0;
}

bool VessaExternalWindowHostApi::applyWindowRect() { return owner_.setPopoutViewRect(windowWidth_, windowHeight_); }

bool VessaExternalWindowHostApi::fitContent() { return owner_.fitJwebToView().has_value(); }

bool VessaExternalWindowHostApi::verifyCanvasRect() {
    const auto canvas = owner_.getVisibleCanvasRect();
    return canvas && std::abs(canvas->width - windowWidth_) <= 1.0 && std::abs(canvas->height - windowHeight_) <= 1.0;
}

void VessaExternalWindowHostApi::rollback() {
    PopoutWindowState& state = owner_.popout;
    owner_.dragPollTimer.stop();
    state.dragTracking = false;
    owner_.geometryTimer.stop();
    owner_.restoreDockedLayout();
    if (state.handles.view != nullptr) patcherview_set_visible(state.handles.view, 0);
    owner_.releasePopoutWindow();
    owner_.popoutGeometry = savedGeometry_;
    state.dockedWidth = savedDockedWidth_;
    state.dockedHeight = savedDockedHeight_;
    state.applyingGeometry = false;
    state.open = false;
}

}  // namespace host

// ---- Layout and view changes ------------------------------------------------

bool quillex_ext::restoreDockedLayout() {
    const PopoutHandles& h = popout.handles;
    if (h.jweb == nullptr) return false;
    bool ok = object_attr_setlong(h.jweb, gensym("rendermode"), 1) == 0;
    ok = jbox_set_rect(h.jweb, &kDockedJwebRect) == 0 && ok;
    if (h.dockedView != nullptr) ok = jbox_set_rect_for_view(h.jweb, h.dockedView, &kDockedJwebRect) == 0 && ok;
    jbox_set_hidden(h.jweb, 0);
    for (t_box* box : {h.cover, h.placeholder, h.returnToDock})
        if (box != nullptr) jbox_set_hidden(box, 1);
    return ok;
}

bool quillex_ext::alignPopoutBoxes() {
    const PopoutHandles& h = popout.handles;
    if (!h.view || !h.dockedView || !h.jweb || !h.cover || !h.placeholder || !h.returnToDock) return false;
    bool ok = true;
    for (t_box* box : {h.cover, h.placeholder, h.returnToDock})
        ok = jbox_set_rect_for_view(box, h.view, &kOffscreenRect) == 0 && ok;
    return ok;
}

void quillex_ext::releasePopoutWindow() {
    dragPollTimer.stop();
    popout.dragTracking = false;
    t_patcherview* view = popout.handles.view;
    if (view != nullptr) object_detach_byptr(hostHandle(), view);
    popout.handles = {};
    if (view != nullptr) object_free(view);
    popout.dragStartWidth = popout.dragStartHeight = 0;
    popout.proportional = false;
    popout.chromeWidth = popout.chromeHeight = 0.0;
    popout.chromeMeasured = false;
    popout.styled = false;
    popout.contentWidth = popout.contentHeight = 0;
    popout.contentKnown = false;
}

bool quillex_ext::applyPopoutWindowStyle() {
    if (popout.styled) return true;
    t_patcher* patcher = popout.handles.patcher;
    t_patcherview* view = popout.handles.view;
    if (patcher == nullptr || view == nullptr) return false;
    ApplyingGeometry applying(popout.applyingGeometry);
    jpatcher_set_title(patcher, gensym("Quillex"));
    if (object_attr_setlong(view, gensym("presentation"), 0) != 0) return false;
    if (patcherview_set_locked(view, 1) != 0) return false;
    if (patcherview_set_zoomfactor(view, 1.0) != 0) return false;
    const double zoom = patcherview_get_zoomfactor(view);
    if (patcherview_get_presentation(view) != 0 || patcherview_get_locked(view) == 0 || !std::isfinite(zoom) ||
        std::abs(zoom - 1.0) > 0.0001)
        return false;
    if (!sendWindowFlags(patcher)) return false;
    popout.styled = true;
    if (!alignPopoutBoxes()) {
        popout.styled = false;
        return false;
    }
    return true;
}

std::optional<t_rect> quillex_ext::getVisibleCanvasRect() const {
    if (popout.handles.view == nullptr) return std::nullopt;
    t_rect canvas{};
    if (object_attr_get_rect(popout.handles.view, gensym("visiblecanvasrect"), &canvas) != 0) return std::nullopt;
    if (!saneRect(canvas) || !(canvas.width > 0) || !(canvas.height > 0)) return std::nullopt;
    return canvas;
}

std::optional<PopoutWindowSize> quillex_ext::fitJwebToView() {
    if (popout.handles.jweb == nullptr) return std::nullopt;
    const auto canvas = getVisibleCanvasRect();
    if (!canvas) return std::nullopt;
    const t_rect wanted{0, 0, std::round(canvas->width), std::round(canvas->height)};
    if (jbox_set_rect(popout.handles.jweb, &wanted) != 0) return std::nullopt;
    if (!alignPopoutBoxes()) return std::nullopt;
    t_rect placed{};
    if (jbox_get_rect_for_view(popout.handles.jweb, popout.handles.view, &placed) != 0 || !saneRect(placed) ||
        std::abs(placed.width - wanted.width) > 1.0 || std::abs(placed.height - wanted.height) > 1.0)
        return std::nullopt;
    popout.contentWidth = roundCoordinate(canvas->width);
    popout.contentHeight = roundCoordinate(canvas->height);
    popout.contentKnown = true;
    return PopoutWindowSize{popout.contentWidth, popout.contentHeight};
}

bool quillex_ext::setPopoutViewRect(std::int32_t width, std::int32_t height) {
    const PopoutHandles& h = popout.handles;
    if (!h.patcher || !h.view || !h.jweb) return false;
    if (!applyPopoutWindowStyle()) return false;
    ApplyingGeometry applying(popout.applyingGeometry);
    t_rect rect{};
    if (patcherview_get_rect(h.view, &rect) != 0 || !saneRect(rect)) return false;
    rect.width = width + popout.chromeWidth;
    rect.height = height + popout.chromeHeight;
    if (patcherview_set_rect(h.view, &rect) != 0) return false;
    if (popout.chromeMeasured) return true;
    auto canvas = getVisibleCanvasRect();
    if (!canvas) return false;
    if (std::abs(canvas->width - width) > 0.5 || std::abs(canvas->height - height) > 0.5) {
        rect.width += width - canvas->width;
        rect.height += height - canvas->height;
        if (patcherview_set_rect(h.view, &rect) != 0) return false;
    }
    if (patcherview_get_rect(h.view, &rect) != 0 || !saneRect(rect)) return false;
    canvas = getVisibleCanvasRect();
    if (!canvas) return false;
    popout.chromeWidth = std::max(0.0, rect.width - canvas->width);
    popout.chromeHeight = std::max(0.0, rect.height - canvas->height);
    popout.chromeMeasured = true;
    return true;
}

// ---- Messages -----------------------------------------------------------------

void quillex_ext::handlePopoutMessage(std::string_view name) {
    if (name == "external_window_opened")
        onExternalWindowOpened();
    else if (name == "close_external_window")
        onCloseExternalWindow();
    else if (name == "external_window_closed")
        onExternalWindowClosed();
    else if (name == "get_external_window_state")
        onGetExternalWindowState();
}

void quillex_ext::onExternalWindowOpened() {
    if (!popout.open) {
        host::VessaExternalWindowHostApi api(*this);
        if (!host::popoutConfigured(host::configurePopoutWindow(api))) {
            sendExternalWindowError("external_window_configuration_failed",
                                    "Could not configure the Quillex pop-out window");
            sendExternalWindowState(false, kDockedWidth, kDockedHeight);
            return;
        }
        popout.open = true;
    }
    syncPopoutSurface();
}

void quillex_ext::onCloseExternalWindow() {
    if (!popout.open) {
        syncPopoutSurface();
        return;
    }
    dragPollTimer.stop();
    if (popout.dragTracking) {
        popout.dragTracking = false;
        if (popout.contentKnown) commitPopoutDrag(popout.contentWidth, popout.contentHeight);
    }
    persistExternalWindowGeometry(true);
    if (popout.handles.view != nullptr && patcherview_set_visible(popout.handles.view, 0) != 0) {
        if (popout.open) {
            sendExternalWindowError("external_window_close_failed", "Could not close the Quillex pop-out window");
            syncPopoutSurface();
        }
        return;
    }
    if (popout.open) {
        popout.open = false;
        restoreDockedLayout();
        sendExternalWindowState(false, kDockedWidth, kDockedHeight);
    }
}

void quillex_ext::onExternalWindowClosed() {
    if (!popout.open) return;
    dragPollTimer.stop();
    if (popout.dragTracking) {
        popout.dragTracking = false;
        if (popout.contentKnown) commitPopoutDrag(popout.contentWidth, popout.contentHeight);
    }
    persistExternalWindowGeometry(true);
    popout.open = false;
    restoreDockedLayout();
    sendExternalWindowState(false, kDockedWidth, kDockedHeight);
}

void quillex_ext::onGetExternalWindowState() {
    collectDockedUiMetrics();
    syncPopoutSurface();
}

void quillex_ext::syncPopoutSurface() {
    if (!popout.open) {
        sendExternalWindowState(false, kDockedWidth, kDockedHeight);
        return;
    }
    const auto canvas = getVisibleCanvasRect();
    if (!canvas) {
        sendExternalWindowError("external_window_geometry_unavailable",
                                "Could not read the Quillex pop-out window geometry");
        return;
    }
    const bool sameSize = popout.contentWidth == roundCoordinate(canvas->width) &&
                          popout.contentHeight == roundCoordinate(canvas->height);
    if (popout.contentKnown && (popout.dragTracking || sameSize)) {
        sendExternalWindowState(true, popout.contentWidth, popout.contentHeight);
        return;
    }
    const auto fitted = fitJwebToView();
    if (!fitted) {
        sendExternalWindowError("external_window_surface_sync_failed",
                                "Could not synchronize the Quillex pop-out content");
        return;
    }
    commitPopoutDrag(fitted->width, fitted->height);
    sendExternalWindowState(true, fitted->width, fitted->height);
}

void quillex_ext::sendExternalWindowState(bool active, std::int32_t width, std::int32_t height) {
    sendToPage("external_window_state", json{{"active", active}, {"width", width}, {"height", height}});
}

// ---- Notifications, resizes and the drag poll ----------------------------------

void quillex_ext::onPopoutNotify(const q37::lyra::notification& note) {
    if (note.name == "free") {
        dragPollTimer.stop();
        popout.dragTracking = false;
        persistExternalWindowGeometry(true);
        restoreDockedLayout();
        // The view is going away: only the attachment is ours to undo.
        object_detach_byptr(hostHandle(), popout.handles.view);
        popout.handles = {};
        popout.contentWidth = popout.contentHeight = 0;
        popout.contentKnown = false;
        popout.styled = false;
        popout.chromeWidth = popout.chromeHeight = 0.0;
        popout.chromeMeasured = false;
        popout.dragStartWidth = popout.dragStartHeight = 0;
        popout.proportional = false;
        popout.open = false;
        sendExternalWindowState(false, kDockedWidth, kDockedHeight);
        return;
    }
    if (note.name != "attr_modified" || !popout.open || popout.applyingGeometry) return;
    t_symbol* attribute = object_attr_getname(note.data);
    if (attribute == nullptr || attribute != gensym("rect")) return;
    const auto canvas = getVisibleCanvasRect();
    if (!canvas) {
        sendExternalWindowError("external_window_geometry_unavailable",
                                "Could not read the Quillex pop-out window geometry");
        return;
    }
    trackPopoutResize(roundCoordinate(canvas->width), roundCoordinate(canvas->height));
}

void quillex_ext::trackPopoutResize(std::int32_t width, std::int32_t height) {
    if (!popout.open || popout.handles.view == nullptr || !popout.contentKnown) {
        sendExternalWindowError("external_window_geometry_unverified",
                                "The Quillex pop-out window has no verified geometry");
        return;
    }
    if (width == popout.contentWidth && height == popout.contentHeight) return;
    if (!popout.dragTracking) {
        t_rect rect{};
        if (patcherview_get_rect(popout.handles.view, &rect) != 0 || !saneRect(rect)) {
            sendExternalWindowError("external_window_geometry_unavailable",
                                    "Could not classify the Quillex pop-out resize gesture");
            return;
        }
        long mouseX = 0;
        long mouseY = 0;
        jmouse_getposition_global(&mouseX, &mouseY);
        popout.dragStartWidth = popout.contentWidth;
        popout.dragStartHeight = popout.contentHeight;
        popout.dragTracking = true;
        const double y = static_cast<double>(mouseY);
        popout.proportional = height != popout.dragStartHeight || std::abs(y - rect.y) <= kGestureEdge ||
                              std::abs(y - (rect.y + rect.height)) <= kGestureEdge;
        dragPollTimer.delay(kDragPollMs);
    }
    double targetWidth = width;
    double targetHeight = height;
    if (popout.proportional) {
        const double sw = std::max(popout.dragStartWidth, 1);
        const double sh = std::max(popout.dragStartHeight, 1);
        const double dw = std::max(popout.dockedWidth, 1);
        const double dh = std::max(popout.dockedHeight, 1);
        const double lower = std::max(dh / sh, dw / sw);
        const double upper = std::min(dh * 2.5 / sh, kMaximumWindowWidth / sw);
        double scale = height / sh;
        if (scale > upper)
            scale = upper;
        else if (scale < lower)
            scale = lower;
        targetWidth = sw * scale;
        targetHeight = sh * scale;
    }
    const PopoutWindowSize size = computeWindowSize(targetWidth, targetHeight, popout.dockedWidth, popout.dockedHeight);
    if ((size.width != width || size.height != height) && !setPopoutViewRect(size.width, size.height)) {
        sendExternalWindowError("external_window_resize_failed", "Could not apply the Quillex pop-out window geometry");
        return;
    }
    const auto fitted = fitJwebToView();
    if (!fitted) {
        sendExternalWindowError("external_window_surface_sync_failed",
                                "Could not synchronize the Quillex pop-out content");
        return;
    }
    sendExternalWindowState(true, fitted->width, fitted->height);
}

void quillex_ext::pollPopoutDrag() {
    if (!popout.dragTracking) return;
    if (leftMouseButtonDown()) {
        dragPollTimer.delay(kDragPollMs);
        return;
    }
    dragPollTimer.stop();
    popout.dragTracking = false;
    if (popout.contentKnown) commitPopoutDrag(popout.contentWidth, popout.contentHeight);
}

void quillex_ext::commitPopoutDrag(std::int32_t width, std::int32_t height) {
    if (commitPopoutGeometry(popoutGeometry, width, height, popout.dockedWidth, popout.dockedHeight) ==
        GeometryCommit::rearm)
        geometryTimer.delay(kGeometrySettleMs);
}

void quillex_ext::teardownPopout() {
    dragPollTimer.stop();
    popout.dragTracking = false;
    popout.proportional = false;
    // A settled size not yet written is kept, silently: the page is going away.
    persistExternalWindowGeometry(false);
    releasePopoutWindow();
}

// ---- Docked metrics -------------------------------------------------------------

namespace {

double roundTo2(double value) { return std::round(value * 100.0) / 100.0; }

json roundRect(const t_rect& rect) {
    return json::array({roundTo2(rect.x), roundTo2(rect.y), roundTo2(rect.width), roundTo2(rect.height)});
}

void readBoxRects(json& metrics, const std::string& prefix, t_box* box) {
    if (box == nullptr) return;
    t_rect rect{};
    if (jbox_get_rect_for_sym(box, gensym("patching_rect"), &rect) == 0 && saneRect(rect))
        metrics[prefix + "PatchingRect"] = roundRect(rect);
    if (jbox_get_rect_for_sym(box, gensym("presentation_rect"), &rect) == 0 && saneRect(rect))
        metrics[prefix + "PresentationRect"] = roundRect(rect);
}

void readViewMetrics(json& metrics, t_box* box, t_patcherview* view) {
    if (box == nullptr || view == nullptr) return;
    t_rect rect{};
    if (patcherview_get_rect(view, &rect) == 0 && saneRect(rect)) metrics["surfacePatcherviewRect"] = roundRect(rect);
    const double zoom = patcherview_get_zoomfactor(view);
    if (std::isfinite(zoom) && zoom > 0) metrics["surfacePatcherviewZoom"] = zoom;
    if (jbox_get_rect_for_view(box, view, &rect) != 0 || !saneRect(rect)) return;
    metrics["surfaceViewBoxRect"] = roundRect(rect);
    long x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    if (patcherview_canvas_to_screen(view, rect.x, rect.y, &x1, &y1) != 0 ||
        patcherview_canvas_to_screen(view, rect.x + rect.width, rect.y + rect.height, &x2, &y2) != 0)
        return;
    metrics["surfaceScreenRect"] =
        json::array({std::min(x1, x2), std::min(y1, y2), std::labs(x2 - x1), std::labs(y2 - y1)});
    const auto dpi = monitorDpiAt((x1 + x2) / 2, (y1 + y2) / 2);
    if (!dpi) return;
    metrics["monitorDpi"] = json::array({dpi->horizontal, dpi->vertical});
    metrics["monitorScale"] = json::array({dpi->horizontal / 96.0, dpi->vertical / 96.0});
}

}  // namespace

void quillex_ext::collectDockedUiMetrics() {
    const PopoutHandles found = findPopoutBoxes(hostHandle());
    json metrics = json::object();
    metrics["available"] = found.jweb != nullptr && found.dockedView != nullptr;
    metrics["surface"] = "top-level-jweb";
    readBoxRects(metrics, "surface", found.jweb);
    readBoxRects(metrics, "jweb", found.jweb);
    readViewMetrics(metrics, found.jweb, found.dockedView);
    sendToPage("bridge_trace", json{{"message", "[DockedUiMetrics] " + metrics.dump()}, {"uiMetrics", metrics}});
}

}  // namespace quillex
