// Child processes through fork and exec with pipes on POSIX, CreateProcessW with inherited pipe handles on Windows.
#include "support/child_process.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "platform/file_system.h"
#include "platform/module_path.h"

#ifdef _WIN32
#include <windows.h>
// After <windows.h>, which it needs.
#include <shellapi.h>

#include "platform/windows_text.h"
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace quillex::testing {

std::string helperProgram(const std::string& name) {
#ifdef _WIN32
    const std::string file = "quillex_" + name + ".exe";
#else
    const std::string file = "quillex_" + name;
#endif
    return platform::joinPath(platform::parentDirectory(platform::ownModuleFilePath()), file);
}

void writeLine(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

#ifdef _WIN32

namespace {

// One argument as the runtime's command-line parser reads it back: quoted
// when it holds a blank or a quote, with the backslashes before a quote doubled.
void appendQuoted(std::wstring& line, const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line += argument;
        return;
    }
    line += L'"';
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

std::wstring wide(const std::string& text) { return platform::wideFromUtf8(text).value_or(std::wstring()); }

}  // namespace

std::wstring commandLineOf(const std::string& program, const std::vector<std::string>& arguments) {
    std::wstring commandLine;
    appendQuoted(commandLine, wide(program));
    for (const std::string& argument : arguments) {
        commandLine += L' ';
        appendQuoted(commandLine, wide(argument));
    }
    return commandLine;
}

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments) {
    // Only the child's ends are inheritable, and only while it starts: the
    // tests start children one at a time, so no child holds another's pipe.
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE outputRead = nullptr;
    HANDLE outputWrite = nullptr;
    HANDLE inputRead = nullptr;
    HANDLE inputWrite = nullptr;
    if (::CreatePipe(&outputRead, &outputWrite, &inheritable, 0) == 0) return;
    if (::CreatePipe(&inputRead, &inputWrite, &inheritable, 0) == 0) {
        ::CloseHandle(outputRead);
        ::CloseHandle(outputWrite);
        return;
    }
    ::SetHandleInformation(outputRead, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(inputWrite, HANDLE_FLAG_INHERIT, 0);

    const std::wstring application = wide(program);
    std::wstring commandLine = commandLineOf(program, arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inputRead;
    startup.hStdOutput = outputWrite;
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info{};
    const BOOL created = ::CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                          nullptr, &startup, &info);
    ::CloseHandle(outputWrite);
    ::CloseHandle(inputRead);
    if (created == 0) {
        ::CloseHandle(outputRead);
        ::CloseHandle(inputWrite);
        return;
    }
    ::CloseHandle(info.hThread);
    process_ = info.hProcess;
    output_ = outputRead;
    input_ = inputWrite;
    started_ = true;
}

ChildProcess::~ChildProcess() {
    if (started_ && !exit_) {
        kill();
        wait();
    }
    closeInput();
    if (output_ != nullptr) ::CloseHandle(output_);
    if (process_ != nullptr) ::CloseHandle(process_);
}

std::optional<std::string> ChildProcess::readLine() {
    for (;;) {
        if (const std::size_t end = pending_.find('\n'); end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();  // the child's stdout is in text mode
            return line;
        }
        if (outputEnded_ || output_ == nullptr) return std::nullopt;
        char buffer[4096];
        DWORD got = 0;
        if (::ReadFile(output_, buffer, sizeof buffer, &got, nullptr) == 0 || got == 0) {
            outputEnded_ = true;  // every write end is closed: the child has gone
            continue;
        }
        pending_.append(buffer, got);
    }
}

void ChildProcess::closeInput() {
    if (input_ != nullptr) ::CloseHandle(std::exchange(input_, nullptr));
}

void ChildProcess::kill() {
    if (started_ && !exit_) ::TerminateProcess(process_, kKilledExitCode);
}

ChildExit ChildProcess::wait() {
    if (exit_) return *exit_;
    if (!started_) return {};
    // TerminateProcess only starts the end: the wait sees it finished, with
    // every handle of the child closed and its locks released.
    ::WaitForSingleObject(process_, INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(process_, &code);
    exit_ = ChildExit{code == kKilledExitCode, static_cast<int>(code)};
    return *exit_;
}

std::vector<std::string> programArguments(int, char**) {
    // The narrow arguments are in the ANSI code page: take the wide ones.
    int count = 0;
    wchar_t** wideArguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) arguments.push_back(platform::narrowFromWide(wideArguments[i]).value_or(""));
    ::LocalFree(wideArguments);
    return arguments;
}

void killThisProcess() {
    ::TerminateProcess(::GetCurrentProcess(), kKilledExitCode);
    std::_Exit(static_cast<int>(kKilledExitCode));  // not reached: the call does not return for this process
}

#else

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments) {
    // Close-on-exec everywhere: a child keeps only its own two ends, as 0 and 1.
    int output[2];
    int input[2];
    if (::pipe2(output, O_CLOEXEC) != 0) return;
    if (::pipe2(input, O_CLOEXEC) != 0) {
        ::close(output[0]);
        ::close(output[1]);
        return;
    }
    std::vector<const char*> argv = {program.c_str()};
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::dup2(input[0], 0) < 0 || ::dup2(output[1], 1) < 0) ::_exit(127);
        ::execv(program.c_str(), const_cast<char* const*>(argv.data()));
        ::_exit(127);
    }
    ::close(output[1]);
    ::close(input[0]);
    if (pid < 0) {
        ::close(output[0]);
        ::close(input[1]);
        return;
    }
    pid_ = pid;
    output_ = output[0];
    input_ = input[1];
    started_ = true;
}

ChildProcess::~ChildProcess() {
    if (started_ && !exit_) {
        kill();
        wait();
    }
    closeInput();
    if (output_ >= 0) ::close(output_);
}

std::optional<std::string> ChildProcess::readLine() {
    for (;;) {
        if (const std::size_t end = pending_.find('\n'); end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            return line;
        }
        if (outputEnded_ || output_ < 0) return std::nullopt;
        char buffer[4096];
        const ssize_t got = ::read(output_, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            outputEnded_ = true;  // every write end is closed: the child has gone
            continue;
        }
        pending_.append(buffer, static_cast<std::size_t>(got));
    }
}

void ChildProcess::closeInput() {
    if (input_ >= 0) ::close(std::exchange(input_, -1));
}

void ChildProcess::kill() {
    if (started_ && !exit_) ::kill(pid_, SIGKILL);
}

ChildExit ChildProcess::wait() {
    if (exit_) return *exit_;
    if (!started_) return {};
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {}
    const bool killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    exit_ = ChildExit{killed, WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status)};
    return *exit_;
}

std::vector<std::string> programArguments(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

void killThisProcess() {
    ::raise(SIGKILL);
    std::_Exit(128 + SIGKILL);  // not reached
}

#endif

}  // namespace quillex::testing
