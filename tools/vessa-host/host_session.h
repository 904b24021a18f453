// One stand-in host session: objects of one class driven by text lines, outlet calls printed as lines.
#pragma once

#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/vessa/vessa.h"

namespace vessa_host {

struct SessionOptions {
    bool verbose = false;
    double timeoutSeconds = 10.0;  // cap on one wait for background work
};

// Line format: a line holding a TAB splits on single TABs, else on spaces,
// where a token starting with "{" or "[" runs to the end of the line. Atoms:
// \iN integer, \fX float, \sTEXT symbol, anything else a symbol. The first
// atom names the message; a name the class does not register (or "anything")
// goes to "anything" as atom 0. Lines starting with ":" are controls; ":power
// EVENT" raises a system power event on a thread of its own and
// ":power-fail-next" makes the next power registration fail. A session offers
// the simulated mouse, DPI and power services to the objects made after it
// starts, in place of the system's.
class HostSession {
public:
    HostSession(t_class* cls, std::ostream& out, std::ostream& console, SessionOptions options = {});
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    // Creates the next numbered object and selects it.
    void createObject();
    // Runs one input line, then settles unless held.
    void runLine(std::string_view line);
    // Settles, frees every object, settles again.
    void finish();
    // True once an exception reached the host or a settle timed out.
    bool failed() const { return failed_; }
    // The live object of that number, or null.
    void* object(int number) const {
        const auto found = objects_.find(number);
        return found == objects_.end() ? nullptr : found->second;
    }

private:
    static void onOutlet(void* context, void* owner, t_symbol* selector, long argc, t_atom* argv);
    static void onConsole(void* context, void* owner, int isError, const char* text);
    void control(std::string_view line);
    void settle();
    void freeObject(int number);
    void notice(const std::string& text);
    std::string prefixFor(void* owner) const;

    t_class* cls_;
    std::ostream& out_;
    std::ostream& console_;
    SessionOptions options_;
    std::map<int, void*> objects_;
    std::unordered_map<void*, int> numbers_;
    int nextNumber_ = 1;
    int selected_ = 1;
    bool hold_ = false;
    bool failed_ = false;
};

}  // namespace vessa_host
