// The stand-in host's scheduler and registry: a deterministic main thread in virtual time.
#include "platform/vessa/vessa.h"

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

struct vessa_class {
    std::string name;
    vessa_new_fn newFn = nullptr;
    vessa_free_fn freeFn = nullptr;
    std::unordered_map<std::string, vessa_method_fn> methods;
};

struct vessa_outlet {
    void* owner = nullptr;
    std::string description;
};

namespace {

enum class TaskKind { Queue, Clock };

struct Task {
    TaskKind kind;
    void* owner;
    vessa_task_fn fn;
    bool armed = false;
    std::pair<double, std::uint64_t> key{};  // due time, arming order
};

}  // namespace

struct vessa_qelem : Task {};
struct vessa_clock : Task {};

namespace {

struct PendingArm {
    Task* task;
    double delay;
};

struct Scheduler {
    std::mutex mutex;
    std::condition_variable backgroundDone;
    std::thread::id mainThread;
    double now = 0.0;
    std::uint64_t nextOrder = 0;
    std::map<std::pair<double, std::uint64_t>, Task*> armed;
    std::vector<PendingArm> incoming;  // arms made off the main thread, not yet applied
    int background = 0;

    std::unordered_map<std::string, t_symbol*> symbols;
    std::unordered_map<std::string, std::unique_ptr<vessa_class>> classes;
    std::unordered_map<void*, vessa_class*> objects;
    std::string createError;

    vessa_outlet_hook outletHook = nullptr;
    void* outletContext = nullptr;
    vessa_console_hook consoleHook = nullptr;
    void* consoleContext = nullptr;
};

// Never destroyed: a worker may still release a token while the process exits.
Scheduler& scheduler() {
    static Scheduler* instance = new Scheduler;
    return *instance;
}

thread_local bool insideClockTask = false;

bool onMainThread(const Scheduler& s) {
    return s.mainThread == std::thread::id{} || s.mainThread == std::this_thread::get_id();
}

// Caller holds the mutex.
void armLocked(Scheduler& s, Task* task, double delay) {
    if (task->armed) {
        if (task->kind == TaskKind::Queue) return;  // a set queue runs once
        s.armed.erase(task->key);                   // re-arming moves a clock
    }
    task->key = {s.now + (delay > 0.0 ? delay : 0.0), s.nextOrder++};
    task->armed = true;
    s.armed.emplace(task->key, task);
}

void arm(Task* task, double delay) {
    if (task == nullptr) return;
    Scheduler& s = scheduler();
    std::lock_guard lock(s.mutex);
    if (onMainThread(s)) {
        armLocked(s, task, delay);
    } else {
        s.incoming.push_back({task, delay});
        s.backgroundDone.notify_all();
    }
}

void unset(Task* task) {
    if (task == nullptr) return;
    Scheduler& s = scheduler();
    std::lock_guard lock(s.mutex);
    if (task->armed) s.armed.erase(task->key);
    task->armed = false;
    std::erase_if(s.incoming, [task](const PendingArm& arm) { return arm.task == task; });
}

// Caller holds the mutex.
void applyIncomingLocked(Scheduler& s) {
    std::vector<PendingArm> arms;
    arms.swap(s.incoming);
    for (const PendingArm& pending : arms) armLocked(s, pending.task, pending.delay);
}

// Runs the earliest task due now; false when none is.
bool runOneReady() {
    Scheduler& s = scheduler();
    Task* task = nullptr;
    {
        std::lock_guard lock(s.mutex);
        if (s.armed.empty() || s.armed.begin()->first.first > s.now) return false;
        task = s.armed.begin()->second;
        s.armed.erase(s.armed.begin());
        task->armed = false;
    }
    const bool clock = task->kind == TaskKind::Clock;
    insideClockTask = clock;
    task->fn(task->owner);
    insideClockTask = false;
    return true;
}

void post(void* object, int isError, const char* text) {
    Scheduler& s = scheduler();
    if (s.consoleHook != nullptr) {
        s.consoleHook(s.consoleContext, object, isError, text == nullptr ? "" : text);
    } else {
        std::fprintf(stderr, "%s%s\n", isError ? "error: " : "", text == nullptr ? "" : text);
    }
}

}  // namespace

extern "C" {

t_symbol* gensym(const char* name) {
    Scheduler& s = scheduler();
    std::lock_guard lock(s.mutex);
    std::string key(name == nullptr ? "" : name);
    auto found = s.symbols.find(key);
    if (found != s.symbols.end()) return found->second;
    auto* symbol = new t_symbol;  // symbols live as long as the process
    auto inserted = s.symbols.emplace(std::move(key), symbol).first;
    symbol->s_name = inserted->first.c_str();
    return symbol;
}

t_class* class_new(const char* name, vessa_new_fn newFn, vessa_free_fn freeFn) {
    Scheduler& s = scheduler();
    {
        std::lock_guard lock(s.mutex);
        if (s.mainThread == std::thread::id{}) s.mainThread = std::this_thread::get_id();
    }
    auto* cls = new vessa_class;
    cls->name = name == nullptr ? "" : name;
    cls->newFn = newFn;
    cls->freeFn = freeFn;
    return cls;
}

void class_addmethod(t_class* cls, vessa_method_fn method, const char* name) {
    if (cls != nullptr && name != nullptr) cls->methods[name] = method;
}

int class_register(t_class* cls) {
    Scheduler& s = scheduler();
    std::lock_guard lock(s.mutex);
    std::unique_ptr<vessa_class> owned(cls);
    if (s.classes.contains(cls->name)) {
        owned.release();  // the caller keeps the refused class
        return 0;
    }
    s.classes.emplace(cls->name, std::move(owned));
    return 1;
}

t_outlet* outlet_new(void* owner, const char* description) {
    return new vessa_outlet{owner, description == nullptr ? "" : description};
}

void outlet_anything(t_outlet* outlet, t_symbol* selector, long argc, t_atom* argv) {
    Scheduler& s = scheduler();
    if (outlet != nullptr && s.outletHook != nullptr)
        s.outletHook(s.outletContext, outlet->owner, selector, argc, argv);
}

void outlet_free(t_outlet* outlet) { delete outlet; }

t_qelem* qelem_new(void* owner, vessa_task_fn task) {
    auto* queue = new vessa_qelem;
    queue->kind = TaskKind::Queue;
    queue->owner = owner;
    queue->fn = task;
    return queue;
}

void qelem_set(t_qelem* queue) { arm(queue, 0.0); }
void qelem_unset(t_qelem* queue) { unset(queue); }
void qelem_free(t_qelem* queue) {
    unset(queue);
    delete queue;
}

t_clock* clock_new(void* owner, vessa_task_fn task) {
    auto* clock = new vessa_clock;
    clock->kind = TaskKind::Clock;
    clock->owner = owner;
    clock->fn = task;
    return clock;
}

void clock_fdelay(t_clock* clock, double milliseconds) { arm(clock, milliseconds); }
void clock_unset(t_clock* clock) { unset(clock); }
void clock_free(t_clock* clock) {
    unset(clock);
    delete clock;
}

int systhread_ismainthread(void) {
    Scheduler& s = scheduler();
    std::lock_guard lock(s.mutex);
    return s.mainThread == std::this_thread::get_id() && !insideClockTask ? 1 : 0;
}

void object_post(void* object, const char* text) { post(object, 0, text); }
void object_error(void* object, const char* text) { post(object, 1, text); }

void vessa_set_create_error(const char* reason) {
    Scheduler& s = scheduler();
    std::lock_guard lock(s.mutex);
    s.createError = reason == nullptr ? "" : reason;
}

void vessa_background_acquire(void) {
    Scheduler& s = scheduler();
    std::lock_guard lock(s.mutex);
    ++s.background;
}

void vessa_background_release(void) {
    Scheduler& s = scheduler();
    std::lock_guard lock(s.mutex);
    if (s.background > 0) --s.background;
    s.backgroundDone.notify_all();
}

void vessa_claim_main_thread(void) {
    Scheduler& s = scheduler();
    std::lock_guard lock(s.mutex);
    s.mainThread = std::this_thread::get_id();
}

void vessa_set_outlet_hook(vessa_outlet_hook hook, void* context) {
    Scheduler& s = scheduler();
    s.outletHook = hook;
    s.outletContext = context;
}

void vessa_set_console_hook(vessa_console_hook hook, void* context) {
    Scheduler& s = scheduler();
    s.consoleHook = hook;
    s.consoleContext = context;
}

t_class* vessa_class_find(const char* name) {
    Scheduler& s = scheduler();
    std::lock_guard lock(s.mutex);
    auto found = s.classes.find(name == nullptr ? "" : name);
    return found == s.classes.end() ? nullptr : found->second.get();
}

int vessa_class_responds(t_class* cls, const char* name) {
    return cls != nullptr && name != nullptr && cls->methods.contains(name) ? 1 : 0;
}

void* vessa_object_new(t_class* cls, long argc, t_atom* argv) {
    if (cls == nullptr) return nullptr;
    Scheduler& s = scheduler();
    {
        std::lock_guard lock(s.mutex);
        s.createError.clear();
    }
    void* object = cls->newFn(gensym(cls->name.c_str()), argc, argv);
    if (object != nullptr) {
        std::lock_guard lock(s.mutex);
        s.objects[object] = cls;
    }
    return object;
}

const char* vessa_create_error(void) {
    Scheduler& s = scheduler();
    std::lock_guard lock(s.mutex);
    return s.createError.c_str();
}

void vessa_object_free(void* object) {
    Scheduler& s = scheduler();
    vessa_class* cls = nullptr;
    {
        std::lock_guard lock(s.mutex);
        auto found = s.objects.find(object);
        if (found == s.objects.end()) return;
        cls = found->second;
        s.objects.erase(found);
    }
    if (cls->freeFn != nullptr) cls->freeFn(object);
}

int vessa_object_send(void* object, const char* message, long argc, t_atom* argv) {
    Scheduler& s = scheduler();
    vessa_class* cls = nullptr;
    {
        std::lock_guard lock(s.mutex);
        auto found = s.objects.find(object);
        if (found == s.objects.end()) return 0;
        cls = found->second;
    }
    auto method = cls->methods.find(message == nullptr ? "" : message);
    if (method == cls->methods.end()) return 0;
    method->second(object, gensym(message), argc, argv);
    return 1;
}

int vessa_step(void) {
    if (runOneReady()) return 1;
    Scheduler& s = scheduler();
    {
        std::lock_guard lock(s.mutex);
        if (s.background > 0 || s.incoming.empty()) return 0;
        applyIncomingLocked(s);
    }
    return runOneReady() ? 1 : 0;
}

int vessa_settle(double timeoutSeconds) {
    Scheduler& s = scheduler();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    for (;;) {
        while (runOneReady()) {}
        std::unique_lock lock(s.mutex);
        if (!s.backgroundDone.wait_until(lock, deadline, [&s] { return s.background == 0; })) return 0;
        if (s.incoming.empty()) return 1;
        applyIncomingLocked(s);
    }
}

int vessa_advance(double milliseconds, double timeoutSeconds) {
    Scheduler& s = scheduler();
    double target = 0.0;
    {
        std::lock_guard lock(s.mutex);
        target = s.now + (milliseconds > 0.0 ? milliseconds : 0.0);
    }
    // An infinite amount, or one whose sum overflows, has no end: refused
    // before anything runs, so a clock that re-arms itself cannot spin forever.
    if (!std::isfinite(target)) return -1;
    for (;;) {
        if (vessa_settle(timeoutSeconds) == 0) return 0;
        std::lock_guard lock(s.mutex);
        if (s.armed.empty() || s.armed.begin()->first.first > target) break;
        s.now = s.armed.begin()->first.first;
    }
    {
        std::lock_guard lock(s.mutex);
        s.now = target;
    }
    return vessa_settle(timeoutSeconds);
}

double vessa_now(void) {
    Scheduler& s = scheduler();
    std::lock_guard lock(s.mutex);
    return s.now;
}

}  // extern "C"
