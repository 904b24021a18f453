// Our stand-in for the host's object framework: object base, inlet, outlet, message, timer, queue, class registration.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/vessa/vessa.h"

namespace q37::lyra {

using atoms = std::vector<t_atom>;

// An atom as text: a symbol's name, an integer's decimal digits, a float in
// fixed point with six decimals; nothing for an empty atom.
std::string atom_text(const t_atom& atom);

class object_base {
public:
    object_base() = default;
    object_base(const object_base&) = delete;
    object_base& operator=(const object_base&) = delete;
    virtual ~object_base() = default;

    // Console lines attributed to this object.
    void post(std::string_view text) const;
    void error(std::string_view text) const;

    // Runs the handler registered under `name`; any exception becomes a console line.
    void handle(const char* name, const atoms& args);

    void add_message(const std::string& name, const std::function<void(const atoms&)>* handler);
    void remove_message(const std::string& name);

private:
    std::unordered_map<std::string, const std::function<void(const atoms&)>*> messages_;
};

// The base of every object class of a module.
template <class T>
class object : public object_base {};

class inlet {
public:
    inlet(object_base* owner, std::string description) : owner_(owner), description_(std::move(description)) {}
    const std::string& description() const { return description_; }

private:
    object_base* owner_;
    std::string description_;
};

class outlet {
public:
    outlet(object_base* owner, std::string description);
    ~outlet();
    outlet(const outlet&) = delete;
    outlet& operator=(const outlet&) = delete;

    // One host message: the selector, then each text as a symbol atom. The
    // texts are not interned; the receiver reads them during the call.
    void send(std::string_view selector, std::initializer_list<std::string_view> texts) const;
    // The same for two texts that are already strings, without copying them.
    void send(std::string_view selector, const std::string& first, const std::string& second) const;

private:
    t_outlet* outlet_;
};

class message {
public:
    using function = std::function<void(const atoms&)>;
    message(object_base* owner, std::string name, function handler);
    ~message();
    message(const message&) = delete;
    message& operator=(const message&) = delete;

private:
    object_base* owner_;
    std::string name_;
    function handler_;
};

enum class timer_options { run_in_scheduler, defer_delivery };

// A clock with a task; a deferring timer hands the task to the main thread
// through a queue when the clock fires.
class timer {
public:
    timer(object_base* owner, std::function<void()> task, timer_options options = timer_options::run_in_scheduler);
    ~timer();
    timer(const timer&) = delete;
    timer& operator=(const timer&) = delete;

    void delay(double milliseconds);  // any thread
    void stop();

private:
    static void fire(void* self);
    static void run(void* self);

    object_base* owner_;
    std::function<void()> task_;
    t_clock* clock_;
    t_qelem* defer_ = nullptr;
};

// A host queue: set() runs the task once on the main thread.
class queue {
public:
    queue(object_base* owner, std::function<void()> task);
    ~queue();
    queue(const queue&) = delete;
    queue& operator=(const queue&) = delete;

    void set();  // any thread
    void unset();

private:
    static void run(void* self);

    object_base* owner_;
    std::function<void()> task_;
    t_qelem* qelem_;
};

// A host notification split into its sender, its name and its data; the
// message carries (subscription name, notification name, sender, data).
struct notification {
    explicit notification(const atoms& args);
    void* source = nullptr;
    std::string name;
    void* data = nullptr;
};

namespace detail {
void dispatch(void* object, t_symbol* selector, long argc, t_atom* argv);
void report_creation_failure(const char* reason);
}  // namespace detail

// Registers the class under `name` with the messages T lists, in their order.
// No instance is built here: construction happens only when the host asks.
template <class T>
bool register_class(const char* name) {
    t_class* cls = class_new(
        name,
        [](t_symbol*, long argc, t_atom* argv) -> void* {
            try {
                T* instance = new T(atoms(argv, argv + argc));
                return static_cast<object_base*>(instance);
            } catch (const std::exception& e) {
                detail::report_creation_failure(e.what());
            } catch (...) {
                detail::report_creation_failure("unknown exception");
            }
            return nullptr;
        },
        [](void* object) { delete static_cast<T*>(static_cast<object_base*>(object)); });
    for (const char* message : T::message_names()) class_addmethod(cls, &detail::dispatch, message);
    return class_register(cls) != 0;
}

}  // namespace q37::lyra
