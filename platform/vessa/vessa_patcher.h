// Our stand-in for the host's patcher model: boxes, views (windows), attachments, the mouse and the monitor DPI.
#pragma once

#include "platform/vessa/vessa.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct vessa_rect {
    double x, y, width, height;
} t_rect;

typedef struct vessa_patcher t_patcher;
typedef struct vessa_box t_box;
typedef struct vessa_view t_patcherview;

// Calls that return long answer 0 on success. Until the host program sets a
// patcher up, an object's patcher has no boxes and no views.

// The patcher holding the object (key "#P").
VESSA_API long object_obex_lookup(void* object, t_symbol* key, t_patcher** result);
VESSA_API t_box* jpatcher_get_firstobject(t_patcher* patcher);
VESSA_API t_box* jbox_get_nextobject(t_box* box);
// A box's object is the box itself here; its class name is the box's class.
VESSA_API void* jbox_get_object(t_box* box);
VESSA_API t_symbol* object_classname(void* object);
VESSA_API t_box* patcher_getnamedbox(t_patcher* patcher, t_symbol* name);
VESSA_API void jpatcher_set_title(t_patcher* patcher, t_symbol* title);
// Window flags of the patcher's newest view: ("flags", "float") then ("exec").
VESSA_API long patcher_window(t_patcher* patcher, long argc, t_atom* argv);

VESSA_API t_patcherview* jpatcher_get_firstview(t_patcher* patcher);
VESSA_API t_patcherview* patcherview_get_nextview(t_patcherview* view);
// A new view of the patcher (hidden, unlocked, not in presentation), or null.
VESSA_API t_patcherview* patcher_makeview(t_patcher* patcher);
VESSA_API long patcherview_get_visible(t_patcherview* view);
VESSA_API long patcherview_set_visible(t_patcherview* view, long visible);
VESSA_API long patcherview_get_locked(t_patcherview* view);
VESSA_API long patcherview_set_locked(t_patcherview* view, long locked);
VESSA_API long patcherview_get_presentation(t_patcherview* view);
VESSA_API double patcherview_get_zoomfactor(t_patcherview* view);
VESSA_API long patcherview_set_zoomfactor(t_patcherview* view, double zoom);
VESSA_API long patcherview_get_rect(t_patcherview* view, t_rect* rect);
// Sets the window rectangle; attached clients get "attr_modified" for "rect" before it returns.
VESSA_API long patcherview_set_rect(t_patcherview* view, const t_rect* rect);
VESSA_API long patcherview_canvas_to_screen(t_patcherview* view, double x, double y, long* screenX, long* screenY);
// "presentation" of a view, "rendermode" of a box.
VESSA_API long object_attr_setlong(void* object, t_symbol* attribute, long value);
// "visiblecanvasrect" of a view: its rectangle less the chrome.
VESSA_API long object_attr_get_rect(void* object, t_symbol* attribute, t_rect* rect);
// The name of the attribute an "attr_modified" notification carries as its data.
VESSA_API t_symbol* object_attr_getname(void* attribute);

VESSA_API long jbox_set_rect(t_box* box, const t_rect* rect);
VESSA_API long jbox_set_rect_for_view(t_box* box, t_patcherview* view, const t_rect* rect);
VESSA_API long jbox_get_rect_for_view(t_box* box, t_patcherview* view, t_rect* rect);
// "patching_rect" or "presentation_rect".
VESSA_API long jbox_get_rect_for_sym(t_box* box, t_symbol* which, t_rect* rect);
VESSA_API long jbox_set_hidden(t_box* box, long hidden);

// The client receives the view's notifications through its "notify" message.
VESSA_API long object_attach_byptr_register(void* client, void* target, t_symbol* nameSpace);
VESSA_API long object_detach_byptr(void* client, void* target);
// Frees a view: attached clients get "free" first.
VESSA_API void object_free(void* object);

VESSA_API void jmouse_getposition_global(long* x, long* y);
// The left button and the monitor DPI reach a module through the simulated
// system services (vessa_services.h).

// ---- What the host program sees ----------------------------------------

enum {
    VESSA_PATCHER_JWEB = 1,
    VESSA_PATCHER_COVER = 2,
    VESSA_PATCHER_PLACEHOLDER = 4,
    VESSA_PATCHER_RETURN = 8,
    VESSA_PATCHER_VIEW = 16,
    VESSA_PATCHER_ALL = 31
};
// Gives the object's patcher the pieces named by the flags (docked view: visible,
// locked, in presentation, zoom 1, rect 0 0 1668 358).
VESSA_API void vessa_patcher_setup(void* object, int pieces);
// The chrome of views made from now on.
VESSA_API void vessa_set_chrome(double width, double height);
// The user resizes the object's newest made view to a canvas of width x height; 0 when it has none.
VESSA_API int vessa_window_resize(void* object, double width, double height);
// The user destroys the object's newest made view; 0 when it has none.
VESSA_API int vessa_window_destroy(void* object);
// The simulated mouse and monitor DPI (vessa_services.h).
VESSA_API void vessa_set_mouse(long x, long y, int leftDown);
VESSA_API void vessa_set_dpi(unsigned horizontal, unsigned vertical);  // 0 0: no DPI service
// Makes the named call fail (or work again); 0 for an unknown name.
VESSA_API int vessa_fail_call(const char* name, int failing);
VESSA_API long vessa_live_views(void);
VESSA_API long vessa_live_attachments(void);
// Drops the object's patcher and its views once the object is gone; attachments stay counted.
VESSA_API void vessa_patcher_forget(void* object);

#ifdef __cplusplus
}
#endif
