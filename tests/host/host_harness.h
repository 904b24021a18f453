// In-process stand-in host for tests: the class registered once, sessions whose output lines are collected.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/quillex_ext.h"
#include "support/environment.h"
#include "support/host_program.h"
#include "tools/vessa-host/host_session.h"

namespace quillex::testing {

// A scratch data folder for this test process, removed at exit.
inline const std::string& scratchAppData() {
    // Never destroyed: the exit handler that removes the folder still reads it.
    static const std::string* folder = [] {
        auto* path = new std::string(makeScratchFolder("quillex-host-").string());
        setEnvironment("APPDATA", *path);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(scratchAppData(), ignored);
        });
        return path;
    }();
    return *folder;
}

inline t_class* quillexClass() {
    static t_class* cls = [] {
        scratchAppData();
        vessa_claim_main_thread();
        registerQuillexClass();
        return vessa_class_find("quillex");
    }();
    return cls;
}

// One session with object 1 created; `run` feeds lines and returns the lines printed since.
class HostHarness {
public:
    HostHarness() : session_(quillexClass(), out_, console_) { session_.createObject(); }
    ~HostHarness() { session_.finish(); }

    std::vector<std::string> run(const std::vector<std::string>& lines) {
        for (const std::string& line : lines) session_.runLine(line);
        return take();
    }
    std::vector<std::string> run(const std::string& line) { return run(std::vector<std::string>{line}); }

    std::vector<std::string> take() {
        std::vector<std::string> lines;
        std::istringstream in(out_.str());
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        out_.str({});
        return lines;
    }
    std::string console() const { return console_.str(); }
    vessa_host::HostSession& session() { return session_; }

private:
    std::ostringstream out_;
    std::ostringstream console_;
    vessa_host::HostSession session_;
};

// Runs `body` on object `number` of the session, as a message body would; settles nothing.
template <class Body>
void withObject(HostHarness& host, Body body, int number = 1) {
    auto* base = static_cast<q37::lyra::object_base*>(host.session().object(number));
    body(*static_cast<quillex_ext*>(base));
}

// "toJweb TYPE JSON" split into its parts.
struct OutletLine {
    std::string selector;
    std::string type;
    std::string text;
    nlohmann::json json() const { return nlohmann::json::parse(text); }
};

inline OutletLine splitOutletLine(const std::string& line) {
    OutletLine result;
    const std::size_t first = line.find(' ');
    const std::size_t second = line.find(' ', first + 1);
    result.selector = line.substr(0, first);
    result.type = line.substr(first + 1, second - first - 1);
    result.text = second == std::string::npos ? std::string() : line.substr(second + 1);
    return result;
}

// Outlet lines with chunk frames joined back: each entry is "SELECTOR TYPE TEXT".
inline std::vector<std::string> joinFrames(const std::vector<std::string>& lines) {
    std::vector<std::string> whole;
    std::string pending;
    for (const std::string& raw : lines) {
        const OutletLine line = splitOutletLine(raw);
        if (line.type != "__qx_chunk" && line.type != "__qx_native_to_bridge_chunk") {
            whole.push_back(raw);
            continue;
        }
        const nlohmann::json frame = line.json();
        pending += frame["chunk"].get<std::string>();
        if (frame["index"].get<std::size_t>() + 1 == frame["total"].get<std::size_t>()) {
            whole.push_back(line.selector + " " + frame["type"].get<std::string>() + " " + pending);
            pending.clear();
        }
    }
    return whole;
}

}  // namespace quillex::testing
