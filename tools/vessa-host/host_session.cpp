// Line parsing, object bookkeeping and output of the stand-in host.
#include "tools/vessa-host/host_session.h"

#include "platform/vessa/vessa_patcher.h"
#include "tools/vessa-host/window_controls.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <thread>
#include <vector>

#include "platform/vessa/vessa_power.h"
#include "platform/vessa/vessa_services.h"

namespace vessa_host {
namespace {

std::vector<std::string> splitLine(std::string_view line) {
    std::vector<std::string> tokens;
    if (line.find('\t') != std::string_view::npos) {
        std::size_t start = 0;
        for (;;) {
            const std::size_t tab = line.find('\t', start);
            tokens.emplace_back(
                line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
            if (tab == std::string_view::npos) break;
            start = tab + 1;
        }
        return tokens;
    }
    std::size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ') {
            ++i;
            continue;
        }
        if (line[i] == '{' || line[i] == '[') {
            tokens.emplace_back(line.substr(i));
            break;
        }
        const std::size_t space = line.find(' ', i);
        const std::size_t end = space == std::string_view::npos ? line.size() : space;
        tokens.emplace_back(line.substr(i, end - i));
        i = end;
    }
    return tokens;
}

std::optional<std::int64_t> parseInteger(std::string_view text) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

std::optional<double> parseFloat(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || errno == ERANGE) return std::nullopt;
    return value;
}

// An amount of milliseconds to advance: finite and not negative (NaN and
// infinity have no end time).
std::optional<double> advanceAmount(const std::string& text) {
    const std::optional<double> amount = parseFloat(text);
    if (!amount || !std::isfinite(*amount) || *amount < 0.0) return std::nullopt;
    return amount;
}

// Atoms over texts that live as long as the call: symbols are not interned.
struct AtomList {
    std::vector<std::string> texts;
    std::vector<t_symbol> symbols;
    std::vector<t_atom> atoms;
};

std::optional<AtomList> toAtoms(const std::vector<std::string>& tokens) {
    AtomList list;
    list.texts.reserve(tokens.size());
    list.symbols.resize(tokens.size());
    list.atoms.resize(tokens.size());
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const std::string& token = tokens[i];
        t_atom& atom = list.atoms[i];
        if (token.starts_with("\\i")) {
            const auto value = parseInteger(std::string_view(token).substr(2));
            if (!value) return std::nullopt;
            atom.a_type = A_LONG;
            atom.a_w.w_long = *value;
            list.texts.emplace_back();
            continue;
        }
        if (token.starts_with("\\f")) {
            const auto value = parseFloat(token.substr(2));
            if (!value) return std::nullopt;
            atom.a_type = A_FLOAT;
            atom.a_w.w_float = *value;
            list.texts.emplace_back();
            continue;
        }
        list.texts.push_back(token.starts_with("\\s") ? token.substr(2) : token);
        atom.a_type = A_SYM;
    }
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        if (list.atoms[i].a_type != A_SYM) continue;
        list.symbols[i].s_name = list.texts[i].c_str();
        list.atoms[i].a_w.w_sym = &list.symbols[i];
    }
    return list;
}

std::string atomText(const t_atom& atom) {
    switch (atom.a_type) {
        case A_SYM:
            return atom.a_w.w_sym != nullptr && atom.a_w.w_sym->s_name != nullptr ? atom.a_w.w_sym->s_name : "";
        case A_LONG:
            return std::to_string(atom.a_w.w_long);
        case A_FLOAT: {
            char buffer[64];
            std::snprintf(buffer, sizeof buffer, "%g", atom.a_w.w_float);
            return buffer;
        }
        default:
            return {};
    }
}

}  // namespace

HostSession::HostSession(t_class* cls, std::ostream& out, std::ostream& console, SessionOptions options)
    : cls_(cls), out_(out), console_(console), options_(options) {
    // The mouse, DPI and power controls below feed the simulation: objects made
    // from now on use it instead of the system's services.
    vessa_simulate_system_services(1);
    vessa_set_outlet_hook(&HostSession::onOutlet, this);
    vessa_set_console_hook(&HostSession::onConsole, this);
}

HostSession::~HostSession() {
    vessa_set_outlet_hook(nullptr, nullptr);
    vessa_set_console_hook(nullptr, nullptr);
}

void HostSession::onOutlet(void* context, void* owner, t_symbol* selector, long argc, t_atom* argv) {
    auto* self = static_cast<HostSession*>(context);
    std::string line = self->prefixFor(owner);
    line += selector != nullptr && selector->s_name != nullptr ? selector->s_name : "";
    for (long i = 0; i < argc; ++i) {
        line += ' ';
        line += atomText(argv[i]);
    }
    line += '\n';
    self->out_ << line << std::flush;
}

void HostSession::onConsole(void* context, void* owner, int isError, const char* text) {
    auto* self = static_cast<HostSession*>(context);
    const auto found = self->numbers_.find(owner);
    std::string line = found == self->numbers_.end() ? "vessa" : "quillex " + std::to_string(found->second);
    line += isError ? " error: " : ": ";
    line += text;
    self->console_ << line << '\n' << std::flush;
}

std::string HostSession::prefixFor(void* owner) const {
    const auto found = numbers_.find(owner);
    if (found == numbers_.end() || found->second == 1) return {};
    return "@" + std::to_string(found->second) + " ";
}

void HostSession::notice(const std::string& text) { out_ << "! " << text << '\n' << std::flush; }

void HostSession::createObject() {
    const int number = nextNumber_++;
    selected_ = number;
    void* object = nullptr;
    try {
        object = vessa_object_new(cls_, 0, nullptr);
    } catch (const std::exception& e) {
        failed_ = true;
        notice(std::string("exception ") + e.what());
    }
    if (object == nullptr) {
        notice("create-failed " + std::to_string(number) + " " + vessa_create_error());
        return;
    }
    objects_[number] = object;
    numbers_[object] = number;
    if (options_.verbose) notice("created " + std::to_string(number));
}

void HostSession::freeObject(int number) {
    const auto found = objects_.find(number);
    void* object = found->second;
    objects_.erase(found);
    try {
        vessa_object_free(object);
    } catch (const std::exception& e) {
        failed_ = true;
        notice(std::string("exception ") + e.what());
    }
    numbers_.erase(object);
    vessa_patcher_forget(object);
    if (options_.verbose) notice("freed " + std::to_string(number));
}

void HostSession::settle() {
    if (vessa_settle(options_.timeoutSeconds) == 0) {
        failed_ = true;
        notice("timeout");
    }
}

void HostSession::control(std::string_view line) {
    const std::vector<std::string> words = splitLine(line);
    const std::string& name = words.front();
    const std::optional<std::int64_t> parsed = words.size() == 2 ? parseInteger(words[1]) : std::nullopt;
    const int number = parsed && *parsed > 0 && *parsed < 1000000 ? static_cast<int>(*parsed) : 0;
    if (name == ":hold" && words.size() == 1) {
        hold_ = true;
    } else if (name == ":go" && words.size() == 1) {
        settle();
        hold_ = false;
    } else if (name == ":step" && words.size() == 1) {
        vessa_step();
    } else if (name == ":advance" && words.size() == 2 && advanceAmount(words[1])) {
        const int advanced = vessa_advance(*advanceAmount(words[1]), options_.timeoutSeconds);
        if (advanced < 0) {  // the end time overflows the clock
            notice("bad-line " + std::string(line));
        } else if (advanced == 0) {
            failed_ = true;
            notice("timeout");
        }
    } else if (name == ":power" && words.size() == 2 && parseInteger(words[1]) && *parseInteger(words[1]) >= 0 &&
               *parseInteger(words[1]) <= 0xFFFFFFFFLL) {
        // The system calls power callbacks on a thread of its own; their arms apply at the next settle.
        const auto eventType = static_cast<std::uint32_t>(*parseInteger(words[1]));
        std::thread system([eventType] { vessa_power_broadcast(eventType); });
        system.join();
        if (!hold_) settle();
    } else if (name == ":power-fail-next" && words.size() == 1) {
        vessa_power_fail_next_registration();
    } else if (name == ":new" && words.size() == 1) {
        createObject();
        if (!hold_) settle();
    } else if (name == ":select" && objects_.contains(number)) {
        selected_ = number;
    } else if (name == ":free" && (words.size() == 1 || number != 0)) {
        const int target = words.size() == 1 ? selected_ : number;
        if (!objects_.contains(target)) {
            notice("bad-line " + std::string(line));
            return;
        }
        freeObject(target);
        if (!hold_) settle();
    } else if (std::string reply; runWindowControl(words, object(selected_), reply)) {
        if (!reply.empty()) notice(reply);
        if (!hold_) settle();
    } else {
        notice("bad-line " + std::string(line));
    }
}

void HostSession::runLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#' || line.find_first_not_of(" \t") == std::string_view::npos) return;
    if (line.front() == ':') {
        control(line);
        return;
    }
    const auto object = objects_.find(selected_);
    auto atoms = toAtoms(splitLine(line));
    if (object == objects_.end() || !atoms || atoms->atoms.empty()) {
        notice("bad-line " + std::string(line));
        return;
    }
    const bool named = atoms->atoms.front().a_type == A_SYM && atoms->texts.front() != "anything" &&
                       vessa_class_responds(cls_, atoms->texts.front().c_str()) != 0;
    try {
        if (named) {
            vessa_object_send(object->second, atoms->texts.front().c_str(), static_cast<long>(atoms->atoms.size() - 1),
                              atoms->atoms.data() + 1);
        } else {
            vessa_object_send(object->second, "anything", static_cast<long>(atoms->atoms.size()), atoms->atoms.data());
        }
    } catch (const std::exception& e) {
        failed_ = true;
        notice(std::string("exception ") + e.what());
    } catch (...) {
        failed_ = true;
        notice("exception unknown");
    }
    if (!hold_) settle();
}

void HostSession::finish() {
    settle();
    while (!objects_.empty()) freeObject(objects_.begin()->first);
    settle();
}

}  // namespace vessa_host
