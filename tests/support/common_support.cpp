#include "common_support.h"

#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>
#else
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;

namespace pulsaro::test {

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::vector<std::string> linesOf(const fs::path& file) {
    std::vector<std::string> lines;
    std::ifstream in(file, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        if (line.ends_with('\r')) line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// The C runtime's copy of the environment, which getenv reads, and the process's own, which
// started programs inherit, are set together.
void setEnvironment(const char* name, const std::optional<std::string>& value) {
#ifdef _WIN32
    _putenv_s(name, value ? value->c_str() : "");
#else
    if (value) {
        setenv(name, value->c_str(), 1);
    } else {
        unsetenv(name);
    }
#endif
}

ScopedEnv::ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name)) previous_ = old;
    setEnvironment(name, value);
}

ScopedEnv::~ScopedEnv() {
    setEnvironment(name_, previous_);
}

fs::path helperProgram(const std::string& name) {
#ifdef _WIN32
    return testProgramFolder() / (name + ".exe");
#else
    return testProgramFolder() / name;
#endif
}

#ifdef _WIN32

fs::path testProgramFolder() {
    std::wstring path(MAX_PATH, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return fs::path(path).parent_path();
}

ChildProcess::ChildProcess(const fs::path& program, const std::vector<std::string>& arguments) {
    std::wstring commandLine = L"\"" + program.wstring() + L"\"";
    for (const std::string& argument : arguments) {
        commandLine += L" \"" + fs::path(argument).wstring() + L"\"";
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &info)) {
        CloseHandle(info.hThread);
        process_ = info.hProcess;
    }
}

ChildProcess::~ChildProcess() {
    kill();
}

bool ChildProcess::started() const {
    return process_ != nullptr;
}

// A thread's context can be read only once it has stopped, so reading it waits for the stop.
bool ChildProcess::suspend() {
    if (!process_) return false;
    const DWORD id = GetProcessId(process_);
    HANDLE threads = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (threads == INVALID_HANDLE_VALUE) return false;
    bool stoppedOne = false;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(threads, &entry); more; more = Thread32Next(threads, &entry)) {
        if (entry.th32OwnerProcessID != id) continue;
        HANDLE thread =
            OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT, FALSE, entry.th32ThreadID);
        if (!thread) continue;
        CONTEXT context{};
        context.ContextFlags = CONTEXT_CONTROL;
        if (SuspendThread(thread) != static_cast<DWORD>(-1) && GetThreadContext(thread, &context)) {
            stoppedOne = true;
        }
        CloseHandle(thread);
    }
    CloseHandle(threads);
    return stoppedOne && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

void ChildProcess::kill() {
    if (!process_) return;
    TerminateProcess(process_, 137);
    WaitForSingleObject(process_, INFINITE);
    DWORD code = 0;
    if (GetExitCodeProcess(process_, &code)) exitCode_ = code;
    CloseHandle(process_);
    process_ = nullptr;
}

#else

fs::path testProgramFolder() {
    return fs::read_symlink("/proc/self/exe").parent_path();
}

ChildProcess::ChildProcess(const fs::path& program, const std::vector<std::string>& arguments) {
    std::vector<char*> argv = {const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
}

ChildProcess::~ChildProcess() {
    kill();
}

bool ChildProcess::started() const {
    return pid_ > 0;
}

bool ChildProcess::suspend() {
    int status = 0;
    return pid_ > 0 && ::kill(pid_, SIGSTOP) == 0 && ::waitpid(pid_, &status, WUNTRACED) == pid_ &&
           WIFSTOPPED(status);
}

void ChildProcess::kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    if (::waitpid(pid_, &status, 0) == pid_) {
        exitCode_ = WIFSIGNALED(status) ? 128u + static_cast<unsigned>(WTERMSIG(status))
                                        : static_cast<unsigned>(WEXITSTATUS(status));
    }
    pid_ = -1;
}

#endif

}  // namespace pulsaro::test
