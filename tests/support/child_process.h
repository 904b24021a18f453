// Helper programs as child processes: start with arguments, read their output lines, kill, wait.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillex::testing {

// The exit code a killed process reports on Windows, where a kill is
// TerminateProcess with a code of the killer's choosing; 128 + SIGKILL, as a
// POSIX shell shows a killed process.
inline constexpr unsigned kKilledExitCode = 137;

// The path of a helper program built beside the running test (tests/helpers/NAME.cpp).
std::string helperProgram(const std::string& name);

// How a child ended: killed (SIGKILL, or TerminateProcess with kKilledExitCode),
// else its exit code.
struct ChildExit {
    bool killed = false;
    int code = -1;
};

// One running child. Its standard output comes back here line by line; its
// standard input is a pipe that stays open until closeInput. A child still
// running when the object goes is killed and waited for.
class ChildProcess {
public:
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments);
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    bool started() const { return started_; }
    // The next whole line the child wrote, without its line end; no value
    // once the child has gone and every line was read (a cut last line is dropped).
    std::optional<std::string> readLine();
    // The child reads end of file from its standard input.
    void closeInput();
    // SIGKILL, or TerminateProcess with kKilledExitCode.
    void kill();
    // Waits for the child to end; once ended, answers the same again.
    ChildExit wait();

private:
    bool started_ = false;
    std::optional<ChildExit> exit_;
    std::string pending_;
    bool outputEnded_ = false;
#ifdef _WIN32
    void* process_ = nullptr;
    void* output_ = nullptr;
    void* input_ = nullptr;
#else
    int pid_ = -1;
    int output_ = -1;
    int input_ = -1;
#endif
};

#ifdef _WIN32
// The command line that starts `program` with `arguments` (UTF-8), each quoted
// as the runtime's parser reads it back.
std::wstring commandLineOf(const std::string& program, const std::vector<std::string>& arguments);
#endif

// For helper programs: the arguments as UTF-8, whatever the system's code page.
std::vector<std::string> programArguments(int argc, char** argv);

// For helper programs: writes one line to standard output and flushes it.
void writeLine(const std::string& line);

// For helper programs: ends this process at once, as a kill from outside
// would; no destructor, flush or exit handler runs.
[[noreturn]] void killThisProcess();

}  // namespace quillex::testing
