#include "command_line.h"
#include "drive.h"
#include "host.h"
#include "system_error.h"
#include "temporary_files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <system_error>

extern char** environ;

namespace fs = std::filesystem;

namespace pulsaro {

namespace {

bool isProgramFile(const fs::path& candidate) {
    struct stat info {};
    return ::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::optional<fs::path> findIn(const fs::path& folder, const std::string& name) {
    if (folder.empty()) return std::nullopt;
    for (const std::string& spelling : {name, name + ".exe"}) {
        const fs::path candidate = resolveEntry(folder, spelling);
        if (isProgramFile(candidate)) return candidate;
    }
    return std::nullopt;
}

fs::path mapped(const char* windowsFolder) {
    const HostPath folder = resolvePath(windowsFolder);
    return folder.ok() ? folder.path : fs::path();
}

// The platform's search order: the running program's folder, the current folder, the system
// folders, then PATH.
std::optional<fs::path> locateProgram(const std::string& program) {
    if (program.find_first_of("\\/:") != std::string::npos) {
        const HostPath given = resolvePathToFollow(program);
        if (!given.ok()) return std::nullopt;
        if (isProgramFile(given.path)) return given.path;
        const HostPath withExe = resolvePathToFollow(program + ".exe");
        if (withExe.ok() && isProgramFile(withExe.path)) return withExe.path;
        return std::nullopt;
    }
    std::error_code ec;
    std::vector<fs::path> folders{ownFolder(), fs::current_path(ec),
                                  mapped(R"(c:\windows\system32)"), mapped(R"(c:\windows)")};
    if (const char* path = std::getenv("PATH")) {
        std::string_view rest(path);
        while (!rest.empty()) {
            const std::size_t colon = rest.find(':');
            folders.emplace_back(std::string(rest.substr(0, colon)));
            rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        }
    }
    for (const fs::path& folder : folders) {
        if (auto found = findIn(folder, program)) return found;
    }
    return std::nullopt;
}

// Runs in the forked grandchild: only async-signal-safe calls until exec.
[[noreturn]] void execProgram(const char* path, char* const* argv, int reportFd) {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    signal(SIGPIPE, SIG_DFL);
    defaultTerminationSignals();
    execve(path, argv, environ);
    const int error = errno;
    [[maybe_unused]] const ssize_t written = write(reportFd, &error, sizeof error);
    _exit(127);
}

// Starts the program detached (double fork, so nothing is left to reap) and learns whether exec
// succeeded through a close-on-exec pipe: end of file means it did.
int spawnDetached(const fs::path& program, const std::vector<std::string_view>& tokens) {
    std::vector<std::string> args(tokens.begin(), tokens.end());
    args[0] = program.string();
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) return errno;
    const pid_t intermediate = ::fork();
    if (intermediate < 0) {
        const int error = errno;
        ::close(report[0]);
        ::close(report[1]);
        return error;
    }
    if (intermediate == 0) {
        ::setsid();
        const pid_t child = ::fork();
        if (child < 0) {
            const int error = errno;
            [[maybe_unused]] const ssize_t written = ::write(report[1], &error, sizeof error);
            _exit(127);
        }
        if (child > 0) _exit(0);
        execProgram(argv[0], argv.data(), report[1]);
    }
    ::close(report[1]);
    while (::waitpid(intermediate, nullptr, 0) < 0 && errno == EINTR) {
    }
    int childError = 0;
    ssize_t got;
    do {
        got = ::read(report[0], &childError, sizeof childError);
    } while (got < 0 && errno == EINTR);
    ::close(report[0]);
    return got == static_cast<ssize_t>(sizeof childError) ? childError : 0;
}

}  // namespace

OpResult Shell(std::string_view commandLine, int /*windowStyle: no effect on this host*/) noexcept
    try {
    const FailureOf fail("Shell", inQuotes(commandLine));
    const std::vector<std::string_view> tokens = splitCommandLine(commandLine);
    if (tokens.empty()) return fail(FailedRule::BadCommand, "empty command line");
    const std::string name(tokens[0]);
    const std::optional<fs::path> program = locateProgram(name);
    if (!program) return fail(FailedRule::ProgramNotFound, name + ": program not found");
    if (const int error = spawnDetached(*program, tokens); error != 0) {
        return systemFailure(fail, error, program->string());
    }
    return OpResult::success();
} catch (const std::exception& e) {
    return OpResult::failure("Shell", inQuotes(commandLine), e.what(), ErrorCode::system(ENOMEM));
}

}  // namespace pulsaro
