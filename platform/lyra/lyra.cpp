// The framework stand-in's message dispatch, outlets, timers and queues.
#include "platform/lyra/lyra.h"

#include <cinttypes>
#include <cstdio>
#include <exception>

namespace q37::lyra {

std::string atom_text(const t_atom& atom) {
    switch (atom.a_type) {
        case A_SYM:
            return atom.a_w.w_sym != nullptr && atom.a_w.w_sym->s_name != nullptr ? atom.a_w.w_sym->s_name : "";
        case A_LONG:
            return std::to_string(atom.a_w.w_long);
        case A_FLOAT: {
            const int length = std::snprintf(nullptr, 0, "%f", atom.a_w.w_float);
            std::string text(static_cast<std::size_t>(length), '\0');
            std::snprintf(text.data(), text.size() + 1, "%f", atom.a_w.w_float);
            return text;
        }
        default:
            return {};
    }
}

void object_base::post(std::string_view text) const {
    object_post(const_cast<object_base*>(this), std::string(text).c_str());
}

void object_base::error(std::string_view text) const {
    object_error(const_cast<object_base*>(this), std::string(text).c_str());
}

void object_base::handle(const char* name, const atoms& args) {
    const auto found = messages_.find(name);
    if (found == messages_.end()) {
        error(std::string("no handler for message ") + name);
        return;
    }
    try {
        (*found->second)(args);
    } catch (const std::exception& e) {
        error(std::string(name) + ": " + e.what());
    } catch (...) {
        error(std::string(name) + ": unknown exception");
    }
}

void object_base::add_message(const std::string& name, const std::function<void(const atoms&)>* handler) {
    messages_[name] = handler;
}

void object_base::remove_message(const std::string& name) { messages_.erase(name); }

outlet::outlet(object_base* owner, std::string description)
    : outlet_(outlet_new(static_cast<void*>(owner), description.c_str())) {}

outlet::~outlet() { outlet_free(outlet_); }

void outlet::send(std::string_view selector, std::initializer_list<std::string_view> texts) const {
    std::vector<std::string> owned(texts.begin(), texts.end());
    std::vector<t_symbol> symbols(owned.size());
    atoms args(owned.size());
    for (std::size_t i = 0; i < owned.size(); ++i) {
        symbols[i].s_name = owned[i].c_str();
        args[i].a_type = A_SYM;
        args[i].a_w.w_sym = &symbols[i];
    }
    outlet_anything(outlet_, gensym(std::string(selector).c_str()), static_cast<long>(args.size()), args.data());
}

void outlet::send(std::string_view selector, const std::string& first, const std::string& second) const {
    t_symbol symbols[2] = {{first.c_str()}, {second.c_str()}};
    t_atom args[2]{};
    for (int i = 0; i < 2; ++i) {
        args[i].a_type = A_SYM;
        args[i].a_w.w_sym = &symbols[i];
    }
    outlet_anything(outlet_, gensym(std::string(selector).c_str()), 2, args);
}

message::message(object_base* owner, std::string name, function handler)
    : owner_(owner), name_(std::move(name)), handler_(std::move(handler)) {
    owner_->add_message(name_, &handler_);
}

message::~message() { owner_->remove_message(name_); }

timer::timer(object_base* owner, std::function<void()> task, timer_options options)
    : owner_(owner), task_(std::move(task)), clock_(clock_new(this, &timer::fire)) {
    if (options == timer_options::defer_delivery) defer_ = qelem_new(this, &timer::run);
}

timer::~timer() {
    clock_free(clock_);
    if (defer_ != nullptr) qelem_free(defer_);
}

void timer::delay(double milliseconds) { clock_fdelay(clock_, milliseconds); }

void timer::stop() {
    clock_unset(clock_);
    if (defer_ != nullptr) qelem_unset(defer_);
}

void timer::fire(void* self) {
    auto* t = static_cast<timer*>(self);
    if (t->defer_ != nullptr) {
        qelem_set(t->defer_);
    } else {
        run(self);
    }
}

void timer::run(void* self) {
    auto* t = static_cast<timer*>(self);
    try {
        t->task_();
    } catch (const std::exception& e) {
        t->owner_->error(std::string("timer task: ") + e.what());
    } catch (...) {
        t->owner_->error("timer task: unknown exception");
    }
}

queue::queue(object_base* owner, std::function<void()> task)
    : owner_(owner), task_(std::move(task)), qelem_(qelem_new(this, &queue::run)) {}

queue::~queue() { qelem_free(qelem_); }

void queue::set() { qelem_set(qelem_); }
void queue::unset() { qelem_unset(qelem_); }

void queue::run(void* self) {
    auto* q = static_cast<queue*>(self);
    try {
        q->task_();
    } catch (const std::exception& e) {
        q->owner_->error(std::string("queue task: ") + e.what());
    } catch (...) {
        q->owner_->error("queue task: unknown exception");
    }
}

notification::notification(const atoms& args) {
    if (args.size() > 1) name = atom_text(args[1]);
    if (args.size() > 2 && args[2].a_type == A_LONG) {
        source = reinterpret_cast<void*>(static_cast<std::intptr_t>(args[2].a_w.w_long));
    }
    if (args.size() > 3 && args[3].a_type == A_LONG) {
        data = reinterpret_cast<void*>(static_cast<std::intptr_t>(args[3].a_w.w_long));
    }
}

namespace detail {

void dispatch(void* object, t_symbol* selector, long argc, t_atom* argv) {
    auto* target = static_cast<object_base*>(object);
    try {
        target->handle(selector->s_name, atoms(argv, argv + argc));
    } catch (...) {
        object_error(object, "message dispatch failed");
    }
}

void report_creation_failure(const char* reason) {
    vessa_set_create_error(reason);
    object_error(nullptr, (std::string("object creation failed: ") + reason).c_str());
}

}  // namespace detail

}  // namespace q37::lyra
