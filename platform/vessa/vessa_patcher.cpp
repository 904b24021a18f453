// The stand-in host's patcher model: boxes, views, attachments and notifications, mouse, DPI and call failures.
#include "platform/vessa/vessa_patcher.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/vessa/vessa_simulation.h"

struct vessa_box {
    t_patcher* patcher = nullptr;
    std::string className;
    std::string name;
    t_rect rect{0, 0, 100, 20};
    std::map<t_patcherview*, t_rect> viewRects;
    bool hidden = false;
    long rendermode = 0;
};

struct vessa_view {
    t_patcher* patcher = nullptr;
    bool visible = false;
    bool locked = false;
    bool presentation = false;
    double zoom = 1.0;
    t_rect rect{0, 0, 0, 0};
    double chromeWidth = 0;
    double chromeHeight = 0;
};

struct vessa_patcher {
    void* object = nullptr;
    std::string title;
    std::vector<std::unique_ptr<vessa_box>> boxes;
    std::vector<std::unique_ptr<vessa_view>> views;
    std::vector<t_patcherview*> made;  // views made by "makeview", newest last
    long windowFlags = 0;
};

namespace {

struct Attribute {
    t_symbol* name;
};

struct Model {
    std::map<void*, std::unique_ptr<vessa_patcher>> patchers;
    std::vector<std::pair<void*, void*>> attachments;  // (client, target)
    std::set<std::string> failing;
    double chromeWidth = 0;
    double chromeHeight = 0;
    long mouseX = 0;
    long mouseY = 0;
    bool leftDown = false;
    unsigned dpiX = 0;
    unsigned dpiY = 0;
};

Model& model() {
    static Model* instance = new Model;
    return *instance;
}

const std::set<std::string>& knownCalls() {
    static const std::set<std::string> names = {"object_obex_lookup",
                                                "jpatcher_get_firstobject",
                                                "jbox_get_nextobject",
                                                "jbox_get_object",
                                                "object_classname",
                                                "getnamedbox",
                                                "jpatcher_get_firstview",
                                                "patcherview_get_nextview",
                                                "patcherview_get_visible",
                                                "patcherview_get_locked",
                                                "patcherview_get_presentation",
                                                "makeview",
                                                "object_attach_byptr_register",
                                                "object_detach_byptr",
                                                "jpatcher_set_title",
                                                "object_attr_setlong",
                                                "patcherview_set_locked",
                                                "patcherview_set_zoomfactor",
                                                "patcherview_get_zoomfactor",
                                                "window",
                                                "patcherview_set_visible",
                                                "patcherview_get_rect",
                                                "patcherview_set_rect",
                                                "visiblecanvasrect",
                                                "jbox_set_rect",
                                                "jbox_set_rect_for_view",
                                                "jbox_get_rect_for_view",
                                                "jbox_set_hidden",
                                                "jmouse_getposition_global",
                                                "jbox_get_rect_for_sym",
                                                "patcherview_canvas_to_screen",
                                                "object_free"};
    return names;
}

bool fails(const char* call) { return model().failing.contains(call); }

bool isView(const void* object) {
    for (const auto& [owner, patcher] : model().patchers)
        for (const auto& view : patcher->views)
            if (view.get() == object) return true;
    return false;
}

bool isBox(const void* object) {
    for (const auto& [owner, patcher] : model().patchers)
        for (const auto& box : patcher->boxes)
            if (box.get() == object) return true;
    return false;
}

void notifyClients(void* sender, const char* name, void* data) {
    std::vector<void*> clients;
    for (const auto& [client, target] : model().attachments)
        if (target == sender) clients.push_back(client);
    for (void* client : clients) {
        t_atom args[4];
        args[0].a_type = A_SYM;
        args[0].a_w.w_sym = gensym("nobox");
        args[1].a_type = A_SYM;
        args[1].a_w.w_sym = gensym(name);
        args[2].a_type = A_LONG;
        args[2].a_w.w_long = reinterpret_cast<std::intptr_t>(sender);
        args[3].a_type = A_LONG;
        args[3].a_w.w_long = reinterpret_cast<std::intptr_t>(data);
        vessa_object_send(client, "notify", 4, args);
    }
}

void notifyRect(t_patcherview* view) {
    static Attribute rectAttribute{gensym("rect")};
    notifyClients(view, "attr_modified", &rectAttribute);
}

t_patcherview* newestMade(void* object) {
    auto found = model().patchers.find(object);
    if (found == model().patchers.end() || found->second->made.empty()) return nullptr;
    return found->second->made.back();
}

void destroyView(t_patcherview* view) {
    t_patcher* patcher = view->patcher;
    notifyClients(view, "free", nullptr);
    for (auto& box : patcher->boxes) box->viewRects.erase(view);
    std::erase(patcher->made, view);
    std::erase_if(patcher->views, [view](const auto& held) { return held.get() == view; });
}

}  // namespace

namespace vessa_simulation {

int leftButtonDown() noexcept { return model().leftDown ? 1 : 0; }

long monitorDpi(long, long, unsigned* horizontal, unsigned* vertical) noexcept {
    if (model().dpiX == 0 || horizontal == nullptr || vertical == nullptr) return 1;
    *horizontal = model().dpiX;
    *vertical = model().dpiY;
    return 0;
}

}  // namespace vessa_simulation

extern "C" {

long object_obex_lookup(void* object, t_symbol* key, t_patcher** result) {
    if (fails("object_obex_lookup") || result == nullptr || key == nullptr || std::strcmp(key->s_name, "#P") != 0)
        return 1;
    auto& slot = model().patchers[object];
    if (!slot) {
        slot = std::make_unique<vessa_patcher>();
        slot->object = object;
    }
    *result = slot.get();
    return 0;
}

t_box* jpatcher_get_firstobject(t_patcher* patcher) {
    if (fails("jpatcher_get_firstobject") || patcher == nullptr || patcher->boxes.empty()) return nullptr;
    return patcher->boxes.front().get();
}

t_box* jbox_get_nextobject(t_box* box) {
    if (fails("jbox_get_nextobject") || box == nullptr) return nullptr;
    auto& boxes = box->patcher->boxes;
    for (std::size_t i = 0; i + 1 < boxes.size(); ++i)
        if (boxes[i].get() == box) return boxes[i + 1].get();
    return nullptr;
}

void* jbox_get_object(t_box* box) { return fails("jbox_get_object") ? nullptr : box; }

t_symbol* object_classname(void* object) {
    if (fails("object_classname") || object == nullptr || !isBox(object)) return nullptr;
    return gensym(static_cast<t_box*>(object)->className.c_str());
}

t_box* patcher_getnamedbox(t_patcher* patcher, t_symbol* name) {
    if (fails("getnamedbox") || patcher == nullptr || name == nullptr) return nullptr;
    for (auto& box : patcher->boxes)
        if (box->name == name->s_name) return box.get();
    return nullptr;
}

void jpatcher_set_title(t_patcher* patcher, t_symbol* title) {
    if (!fails("jpatcher_set_title") && patcher != nullptr && title != nullptr) patcher->title = title->s_name;
}

long patcher_window(t_patcher* patcher, long argc, t_atom* argv) {
    if (fails("window") || patcher == nullptr || argc < 1 || argv == nullptr) return 1;
    ++patcher->windowFlags;
    return 0;
}

t_patcherview* jpatcher_get_firstview(t_patcher* patcher) {
    if (fails("jpatcher_get_firstview") || patcher == nullptr || patcher->views.empty()) return nullptr;
    return patcher->views.front().get();
}

t_patcherview* patcherview_get_nextview(t_patcherview* view) {
    if (fails("patcherview_get_nextview") || view == nullptr) return nullptr;
    auto& views = view->patcher->views;
    for (std::size_t i = 0; i + 1 < views.size(); ++i)
        if (views[i].get() == view) return views[i + 1].get();
    return nullptr;
}

t_patcherview* patcher_makeview(t_patcher* patcher) {
    if (fails("makeview") || patcher == nullptr) return nullptr;
    auto view = std::make_unique<vessa_view>();
    view->patcher = patcher;
    view->chromeWidth = model().chromeWidth;
    view->chromeHeight = model().chromeHeight;
    view->rect = {100, 100, 400 + view->chromeWidth, 300 + view->chromeHeight};
    patcher->views.push_back(std::move(view));
    patcher->made.push_back(patcher->views.back().get());
    return patcher->views.back().get();
}

long patcherview_get_visible(t_patcherview* view) {
    return !fails("patcherview_get_visible") && view != nullptr && view->visible ? 1 : 0;
}

long patcherview_set_visible(t_patcherview* view, long visible) {
    if (fails("patcherview_set_visible") || view == nullptr) return 1;
    view->visible = visible != 0;
    return 0;
}

long patcherview_get_locked(t_patcherview* view) {
    return !fails("patcherview_get_locked") && view != nullptr && view->locked ? 1 : 0;
}

long patcherview_set_locked(t_patcherview* view, long locked) {
    if (fails("patcherview_set_locked") || view == nullptr) return 1;
    view->locked = locked != 0;
    return 0;
}

long patcherview_get_presentation(t_patcherview* view) {
    return !fails("patcherview_get_presentation") && view != nullptr && view->presentation ? 1 : 0;
}

double patcherview_get_zoomfactor(t_patcherview* view) {
    return fails("patcherview_get_zoomfactor") || view == nullptr ? 0.0 : view->zoom;
}

long patcherview_set_zoomfactor(t_patcherview* view, double zoom) {
    if (fails("patcherview_set_zoomfactor") || view == nullptr) return 1;
    view->zoom = zoom;
    return 0;
}

long patcherview_get_rect(t_patcherview* view, t_rect* rect) {
    if (fails("patcherview_get_rect") || view == nullptr || rect == nullptr) return 1;
    *rect = view->rect;
    return 0;
}

long patcherview_set_rect(t_patcherview* view, const t_rect* rect) {
    if (fails("patcherview_set_rect") || view == nullptr || rect == nullptr) return 1;
    view->rect = *rect;
    notifyRect(view);
    return 0;
}

long patcherview_canvas_to_screen(t_patcherview* view, double x, double y, long* screenX, long* screenY) {
    if (fails("patcherview_canvas_to_screen") || view == nullptr || screenX == nullptr || screenY == nullptr) return 1;
    const double sx = x + view->rect.x + view->chromeWidth;
    const double sy = y + view->rect.y + view->chromeHeight;
    // Screens are far smaller than this; anything beyond is no point on one.
    if (!(std::abs(sx) < 1.0e9) || !(std::abs(sy) < 1.0e9)) return 1;
    *screenX = static_cast<long>(sx);
    *screenY = static_cast<long>(sy);
    return 0;
}

long object_attr_setlong(void* object, t_symbol* attribute, long value) {
    if (fails("object_attr_setlong") || object == nullptr || attribute == nullptr) return 1;
    const std::string name = attribute->s_name;
    if (name == "presentation" && isView(object)) {
        static_cast<t_patcherview*>(object)->presentation = value != 0;
        return 0;
    }
    if (name == "rendermode" && isBox(object)) {
        static_cast<t_box*>(object)->rendermode = value;
        return 0;
    }
    return 1;
}

long object_attr_get_rect(void* object, t_symbol* attribute, t_rect* rect) {
    if (fails("visiblecanvasrect") || object == nullptr || attribute == nullptr || rect == nullptr ||
        std::strcmp(attribute->s_name, "visiblecanvasrect") != 0 || !isView(object))
        return 1;
    const auto* view = static_cast<const t_patcherview*>(object);
    *rect = {0, 0, view->rect.width - view->chromeWidth, view->rect.height - view->chromeHeight};
    return 0;
}

t_symbol* object_attr_getname(void* attribute) {
    return attribute == nullptr ? nullptr : static_cast<Attribute*>(attribute)->name;
}

long jbox_set_rect(t_box* box, const t_rect* rect) {
    if (fails("jbox_set_rect") || box == nullptr || rect == nullptr) return 1;
    box->rect = *rect;
    return 0;
}

long jbox_set_rect_for_view(t_box* box, t_patcherview* view, const t_rect* rect) {
    if (fails("jbox_set_rect_for_view") || box == nullptr || view == nullptr || rect == nullptr) return 1;
    box->viewRects[view] = *rect;
    return 0;
}

long jbox_get_rect_for_view(t_box* box, t_patcherview* view, t_rect* rect) {
    if (fails("jbox_get_rect_for_view") || box == nullptr || view == nullptr || rect == nullptr) return 1;
    const auto found = box->viewRects.find(view);
    *rect = found == box->viewRects.end() ? box->rect : found->second;
    return 0;
}

long jbox_get_rect_for_sym(t_box* box, t_symbol* which, t_rect* rect) {
    if (fails("jbox_get_rect_for_sym") || box == nullptr || which == nullptr || rect == nullptr) return 1;
    if (std::strcmp(which->s_name, "patching_rect") != 0 && std::strcmp(which->s_name, "presentation_rect") != 0)
        return 1;
    *rect = box->rect;
    return 0;
}

long jbox_set_hidden(t_box* box, long hidden) {
    if (fails("jbox_set_hidden") || box == nullptr) return 1;
    box->hidden = hidden != 0;
    return 0;
}

long object_attach_byptr_register(void* client, void* target, t_symbol* nameSpace) {
    if (fails("object_attach_byptr_register") || client == nullptr || target == nullptr || nameSpace == nullptr)
        return 1;
    model().attachments.emplace_back(client, target);
    return 0;
}

long object_detach_byptr(void* client, void* target) {
    if (fails("object_detach_byptr") || client == nullptr || target == nullptr) return 1;
    auto& attachments = model().attachments;
    const auto found = std::find(attachments.begin(), attachments.end(), std::make_pair(client, target));
    if (found == attachments.end()) return 1;
    attachments.erase(found);
    return 0;
}

void object_free(void* object) {
    if (fails("object_free") || object == nullptr || !isView(object)) return;
    destroyView(static_cast<t_patcherview*>(object));
}

void jmouse_getposition_global(long* x, long* y) {
    if (x != nullptr) *x = model().mouseX;
    if (y != nullptr) *y = model().mouseY;
}

void vessa_patcher_setup(void* object, int pieces) {
    t_patcher* patcher = nullptr;
    const bool lookupFailing = model().failing.erase("object_obex_lookup") > 0;
    object_obex_lookup(object, gensym("#P"), &patcher);
    if (lookupFailing) model().failing.insert("object_obex_lookup");
    auto addBox = [patcher](const char* className, const char* name) {
        auto box = std::make_unique<vessa_box>();
        box->patcher = patcher;
        box->className = className;
        box->name = name;
        patcher->boxes.push_back(std::move(box));
    };
    if (pieces & VESSA_PATCHER_JWEB) {
        addBox("jweb", "");
        patcher->boxes.back()->rect = {0, 0, 1668, 358};
        patcher->boxes.back()->rendermode = 1;
    }
    if (pieces & VESSA_PATCHER_COVER) addBox("panel", "qx_popout_cover");
    if (pieces & VESSA_PATCHER_PLACEHOLDER) addBox("comment", "qx_popout_placeholder");
    if (pieces & VESSA_PATCHER_RETURN) addBox("textbutton", "qx_return_to_dock");
    if (pieces & VESSA_PATCHER_VIEW) {
        auto view = std::make_unique<vessa_view>();
        view->patcher = patcher;
        view->visible = view->locked = view->presentation = true;
        view->rect = {0, 0, 1668, 358};
        patcher->views.insert(patcher->views.begin(), std::move(view));
    }
}

void vessa_set_chrome(double width, double height) {
    model().chromeWidth = width;
    model().chromeHeight = height;
}

int vessa_window_resize(void* object, double width, double height) {
    t_patcherview* view = newestMade(object);
    if (view == nullptr) return 0;
    view->rect.width = width + view->chromeWidth;
    view->rect.height = height + view->chromeHeight;
    notifyRect(view);
    return 1;
}

int vessa_window_destroy(void* object) {
    t_patcherview* view = newestMade(object);
    if (view == nullptr) return 0;
    destroyView(view);
    return 1;
}

void vessa_set_mouse(long x, long y, int leftDown) {
    model().mouseX = x;
    model().mouseY = y;
    model().leftDown = leftDown != 0;
}

void vessa_set_dpi(unsigned horizontal, unsigned vertical) {
    model().dpiX = horizontal;
    model().dpiY = vertical;
}

int vessa_fail_call(const char* name, int failing) {
    if (name == nullptr || !knownCalls().contains(name)) return 0;
    if (failing)
        model().failing.insert(name);
    else
        model().failing.erase(name);
    return 1;
}

long vessa_live_views(void) {
    long count = 0;
    for (const auto& [owner, patcher] : model().patchers) count += static_cast<long>(patcher->made.size());
    return count;
}

long vessa_live_attachments(void) { return static_cast<long>(model().attachments.size()); }

void vessa_patcher_forget(void* object) { model().patchers.erase(object); }

}  // extern "C"
