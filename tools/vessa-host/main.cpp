// vessa-host: loads a module, creates object 1 of its class and feeds it stdin, one message per line.
#include <dlfcn.h>

#include <cstdlib>
#include <iostream>
#include <string>

#include "tools/vessa-host/host_session.h"

namespace {

int usage() {
    std::cerr << "usage: vessa-host --module PATH [--appdata DIR] [--no-create] [--verbose]\n";
    return 2;
}

// The class a module registers is named after its file: ".../quillex.so" gives "quillex".
std::string classNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

}  // namespace

int main(int argc, char** argv) {
    std::string modulePath;
    std::string appdata;
    bool create = true;
    vessa_host::SessionOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--module" && i + 1 < argc) {
            modulePath = argv[++i];
        } else if (arg == "--appdata" && i + 1 < argc) {
            appdata = argv[++i];
        } else if (arg == "--no-create") {
            create = false;
        } else if (arg == "--verbose") {
            options.verbose = true;
        } else {
            return usage();
        }
    }
    if (modulePath.empty()) return usage();
    if (!appdata.empty()) ::setenv("APPDATA", appdata.c_str(), 1);

    vessa_claim_main_thread();
    void* module = ::dlopen(modulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        std::cerr << "vessa-host: cannot load " << modulePath << ": " << ::dlerror() << '\n';
        return 2;
    }
    auto* entry = reinterpret_cast<void (*)(void*)>(::dlsym(module, "ext_main"));
    if (entry == nullptr) {
        std::cerr << "vessa-host: " << modulePath << " has no ext_main\n";
        return 2;
    }
    entry(nullptr);
    t_class* cls = vessa_class_find(classNameOf(modulePath).c_str());
    if (cls == nullptr) {
        std::cerr << "vessa-host: " << modulePath << " registered no class " << classNameOf(modulePath) << '\n';
        return 2;
    }

    std::ios::sync_with_stdio(false);
    int status = 0;
    {
        vessa_host::HostSession session(cls, std::cout, std::cerr, options);
        if (create) session.createObject();
        std::string line;
        while (std::getline(std::cin, line)) session.runLine(line);
        session.finish();
        status = session.failed() ? 1 : 0;
    }
    std::cout.flush();
    // The module stays loaded: its static objects are torn down at exit.
    return status;
}
