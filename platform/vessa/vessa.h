// Our stand-in for the patching host's C interface: symbols, atoms, classes, outlets, queues, clocks, threads.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
// The library's own build exports these; users link them through its import library.
#ifdef VESSA_BUILDING
#define VESSA_API __declspec(dllexport)
#else
#define VESSA_API
#endif
#else
#define VESSA_API __attribute__((visibility("default")))
#endif

typedef struct vessa_symbol {
    const char* s_name;
} t_symbol;

enum { A_NOTHING = 0, A_LONG = 1, A_FLOAT = 2, A_SYM = 3 };

typedef struct vessa_atom {
    long a_type;
    union {
        int64_t w_long;
        double w_float;
        t_symbol* w_sym;
    } a_w;
} t_atom;

typedef struct vessa_class t_class;
typedef struct vessa_outlet t_outlet;
typedef struct vessa_qelem t_qelem;
typedef struct vessa_clock t_clock;

typedef void* (*vessa_new_fn)(t_symbol* name, long argc, t_atom* argv);
typedef void (*vessa_free_fn)(void* object);
typedef void (*vessa_method_fn)(void* object, t_symbol* selector, long argc, t_atom* argv);
typedef void (*vessa_task_fn)(void* owner);

// ---- What a module sees -------------------------------------------------

// Interned symbol: one per distinct text for the life of the process.
VESSA_API t_symbol* gensym(const char* name);

VESSA_API t_class* class_new(const char* name, vessa_new_fn newFn, vessa_free_fn freeFn);
VESSA_API void class_addmethod(t_class* cls, vessa_method_fn method, const char* name);
// Makes the class creatable by name; 0 when a class of that name already exists.
VESSA_API int class_register(t_class* cls);

VESSA_API t_outlet* outlet_new(void* owner, const char* description);
VESSA_API void outlet_anything(t_outlet* outlet, t_symbol* selector, long argc, t_atom* argv);
VESSA_API void outlet_free(t_outlet* outlet);

// A queue runs its task once on the main thread after qelem_set.
VESSA_API t_qelem* qelem_new(void* owner, vessa_task_fn task);
VESSA_API void qelem_set(t_qelem* queue);
VESSA_API void qelem_unset(t_qelem* queue);
VESSA_API void qelem_free(t_qelem* queue);

// A clock runs its task in the scheduler after a delay in milliseconds.
VESSA_API t_clock* clock_new(void* owner, vessa_task_fn task);
VESSA_API void clock_fdelay(t_clock* clock, double milliseconds);
VESSA_API void clock_unset(t_clock* clock);
VESSA_API void clock_free(t_clock* clock);

// 1 on the main thread outside clock tasks.
VESSA_API int systhread_ismainthread(void);

// Console lines; `object` may be null.
VESSA_API void object_post(void* object, const char* text);
VESSA_API void object_error(void* object, const char* text);

// A creation function that gives no object leaves its reason here.
VESSA_API void vessa_set_create_error(const char* reason);

// Work in flight off the main thread: while any token is held, arms from
// other threads wait, so that their order does not depend on thread timing.
VESSA_API void vessa_background_acquire(void);
VESSA_API void vessa_background_release(void);

// ---- What the host program sees ----------------------------------------

typedef void (*vessa_outlet_hook)(void* context, void* owner, t_symbol* selector, long argc, t_atom* argv);
typedef void (*vessa_console_hook)(void* context, void* owner, int isError, const char* text);

// The calling thread becomes the main thread.
VESSA_API void vessa_claim_main_thread(void);
VESSA_API void vessa_set_outlet_hook(vessa_outlet_hook hook, void* context);
VESSA_API void vessa_set_console_hook(vessa_console_hook hook, void* context);

VESSA_API t_class* vessa_class_find(const char* name);
// 1 when the class registered a method of that name.
VESSA_API int vessa_class_responds(t_class* cls, const char* name);
// Null when the class refused; vessa_create_error then says why.
VESSA_API void* vessa_object_new(t_class* cls, long argc, t_atom* argv);
VESSA_API const char* vessa_create_error(void);
VESSA_API void vessa_object_free(void* object);
// 0 when the object's class has no method of that name.
VESSA_API int vessa_object_send(void* object, const char* message, long argc, t_atom* argv);

// Runs the earliest ready task; 0 when none was ready.
VESSA_API int vessa_step(void);
// Runs ready tasks until none is left, waiting for background work to hand
// over; 0 when that wait passed `timeoutSeconds`.
VESSA_API int vessa_settle(double timeoutSeconds);
// Moves virtual time forward, running each clock at its due time. -1, with
// nothing run and the time unchanged, when the end time is not finite (an
// infinite amount, or one the current time overflows with).
VESSA_API int vessa_advance(double milliseconds, double timeoutSeconds);
VESSA_API double vessa_now(void);

#ifdef __cplusplus
}
#endif
