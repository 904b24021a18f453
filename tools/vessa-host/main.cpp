// vessa-host: loads a module, creates object 1 of its class and feeds it stdin, one message per line.
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>
#else
#include <dlfcn.h>
#endif

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "tools/vessa-host/host_session.h"
#ifdef _WIN32
#include "platform/windows_text.h"
#endif

namespace {

int usage() {
    std::cerr << "usage: vessa-host --module PATH [--appdata DIR] [--no-create] [--verbose] [--unload]\n";
    return 2;
}

// The class a module registers is named after its file: ".../quillex.so" gives "quillex".
std::string classNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

#ifdef _WIN32
// Text the host program hands to the system: a path that is not valid UTF-8
// becomes empty, which every call refuses.
std::wstring wideFromUtf8(const std::string& text) { return quillex::platform::wideFromUtf8(text).value_or(L""); }

// The arguments in UTF-8 from the wide command line: argv is in the ANSI code
// page, which cannot name every folder.
std::vector<std::string> commandArguments(int, char**) {
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 0; i < count; ++i) args.push_back(quillex::platform::narrowFromWide(wide[i]).value_or(""));
    ::LocalFree(wide);
    return args;
}
#else
std::vector<std::string> commandArguments(int argc, char** argv) { return {argv, argv + argc}; }
#endif

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // Binary streams: LF line ends out, and the CR of a CRLF line is dropped
    // below, so one session gives the same bytes on both systems.
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stdin), _O_BINARY);
#endif
    const std::vector<std::string> args = commandArguments(argc, argv);
    std::string modulePath;
    std::string appdata;
    bool create = true;
    bool unload = false;
    vessa_host::SessionOptions options;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--module" && i + 1 < args.size()) {
            modulePath = args[++i];
        } else if (arg == "--appdata" && i + 1 < args.size()) {
            appdata = args[++i];
        } else if (arg == "--no-create") {
            create = false;
        } else if (arg == "--verbose") {
            options.verbose = true;
        } else if (arg == "--unload") {
            unload = true;
        } else {
            return usage();
        }
    }
    if (modulePath.empty()) return usage();
#ifdef _WIN32
    if (!appdata.empty()) ::_wputenv_s(L"APPDATA", wideFromUtf8(appdata).c_str());

    vessa_claim_main_thread();
    HMODULE module = ::LoadLibraryW(wideFromUtf8(modulePath).c_str());
    if (module == nullptr) {
        std::cerr << "vessa-host: cannot load " << modulePath << ": error " << ::GetLastError() << '\n';
        return 2;
    }
    auto* entry = reinterpret_cast<void (*)(void*)>(reinterpret_cast<void*>(::GetProcAddress(module, "ext_main")));
#else
    if (!appdata.empty()) ::setenv("APPDATA", appdata.c_str(), 1);

    vessa_claim_main_thread();
    void* module = ::dlopen(modulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        std::cerr << "vessa-host: cannot load " << modulePath << ": " << ::dlerror() << '\n';
        return 2;
    }
    auto* entry = reinterpret_cast<void (*)(void*)>(::dlsym(module, "ext_main"));
#endif
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
        while (std::getline(std::cin, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            session.runLine(line);
        }
        session.finish();
        status = session.failed() ? 1 : 0;
    }
    std::cout.flush();
    if (!unload) {
        // The module stays loaded: its static objects are torn down at exit.
        return status;
    }
    // Every object is freed: the module is unloaded, as by a host that closes it.
#ifdef _WIN32
    if (::FreeLibrary(module) == 0) {
        std::cerr << "vessa-host: cannot unload " << modulePath << ": error " << ::GetLastError() << '\n';
        return 1;
    }
    const bool stayed = ::GetModuleHandleW(wideFromUtf8(modulePath).c_str()) != nullptr;
#else
    if (::dlclose(module) != 0) {
        std::cerr << "vessa-host: cannot unload " << modulePath << ": " << ::dlerror() << '\n';
        return 1;
    }
    void* again = ::dlopen(modulePath.c_str(), RTLD_NOW | RTLD_NOLOAD);
    const bool stayed = again != nullptr;
    if (again != nullptr) ::dlclose(again);
#endif
    // A thread's pending thread_local destructors keep the module mapped until
    // that thread ends (glibc and mingw-w64 alike): the unload is then deferred.
    if (options.verbose) std::cout << (stayed ? "! unload-deferred\n" : "! unloaded\n") << std::flush;
    return status;
}
