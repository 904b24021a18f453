// Scratch folders and host program runs: posix_spawn natively, CreateProcessW on Windows.
#include "support/host_program.h"

#include <cerrno>
#include <random>
#include <system_error>

#include "support/child_process.h"

#ifdef _WIN32
#include <windows.h>
// psapi.h needs windows.h first.
#include <psapi.h>

#include "platform/windows_text.h"
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

extern char** environ;
#endif

namespace quillex::testing {
namespace {

#ifdef _WIN32
long peakKilobytes = 0;
#endif

}  // namespace

std::filesystem::path makeScratchFolder(const std::string& prefix) {
    std::random_device device;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (;;) {
        const std::filesystem::path folder = base / (prefix + std::to_string(device()) + std::to_string(device()));
        if (std::filesystem::create_directory(folder)) return folder;
    }
}

std::string moduleFileName() {
#ifdef _WIN32
    return "quillex.dll";
#else
    return "quillex.so";
#endif
}

#ifdef _WIN32

int runHostProgram(const std::vector<std::string>& arguments, const std::filesystem::path& input,
                   const std::filesystem::path& output) {
    const std::filesystem::path program = std::filesystem::current_path() / "vessa-host.exe";
    std::vector<std::string> words{"--module", moduleFileName()};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::wstring commandLine = commandLineOf(platform::narrowFromWide(program.wstring()).value_or(""), words);
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE in = ::CreateFileW(input.wstring().c_str(), GENERIC_READ, FILE_SHARE_READ, &inherit, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE out = ::CreateFileW(output.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    int status = -1;
    if (in != INVALID_HANDLE_VALUE && out != INVALID_HANDLE_VALUE) {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = in;
        startup.hStdOutput = out;
        startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
        PROCESS_INFORMATION process{};
        if (::CreateProcessW(program.wstring().c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                             &startup, &process)) {
            // The peak is read while the program runs: an ended process may
            // report none (wine). It only grows, so the last reading is the closest.
            for (;;) {
                const DWORD waited = ::WaitForSingleObject(process.hProcess, 5);
                PROCESS_MEMORY_COUNTERS counters{};
                if (::GetProcessMemoryInfo(process.hProcess, &counters, sizeof counters)) {
                    const long kilobytes = static_cast<long>(counters.PeakWorkingSetSize / 1024);
                    if (kilobytes > peakKilobytes) peakKilobytes = kilobytes;
                }
                if (waited != WAIT_TIMEOUT) break;
            }
            DWORD code = 0;
            if (::GetExitCodeProcess(process.hProcess, &code)) status = static_cast<int>(code);
            ::CloseHandle(process.hThread);
            ::CloseHandle(process.hProcess);
        }
    }
    if (in != INVALID_HANDLE_VALUE) ::CloseHandle(in);
    if (out != INVALID_HANDLE_VALUE) ::CloseHandle(out);
    return status;
}

long hostProgramPeakKilobytes() { return peakKilobytes; }

#else

int runHostProgram(const std::vector<std::string>& arguments, const std::filesystem::path& input,
                   const std::filesystem::path& output) {
    const std::string program = (std::filesystem::current_path() / "vessa-host").string();
    const std::string module = "./" + moduleFileName();
    std::vector<std::string> words{program, "--module", module};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDONLY, 0);
    ::posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t child = 0;
    const int spawned = ::posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

long hostProgramPeakKilobytes() {
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss;
}

#endif

}  // namespace quillex::testing
