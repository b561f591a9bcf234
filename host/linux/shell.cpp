#include "command_line.h"
#include "drive.h"
#include "host.h"
#include "operation_calls.h"
#include "system_error.h"
#include "temporary_files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>

extern char** environ;

namespace fs = std::filesystem;

namespace pulsaro {

namespace {

// Where the distribution keeps this host's stand-ins for the platform's own programs (regsvr32).
constexpr const char* kSystemStandIns = "system_standins";

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
    const MappedPath folder = mapPath(windowsFolder);
    return folder.ok() ? folder.path : fs::path();
}

std::vector<fs::path> pathFolders() {
    std::vector<fs::path> folders;
    const char* path = std::getenv("PATH");
    std::string_view rest(path ? path : "");
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        folders.emplace_back(std::string(rest.substr(0, colon)));
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    }
    return folders;
}

// The Wine prefix whose drive_c is the mapped drive; empty when the drive is not one.
fs::path drivePrefix() {
    const MappedPath root = driveRoot();
    return root.ok() ? winePrefixOf(root.path) : fs::path();
}

// The platform's search order: the running program's folder, the current folder, the system
// folders, then PATH. On a drive that is not a Wine prefix there is no platform program in the
// system folders, so the distribution's stand-ins come next, found as its files are: in the
// current folder, then beside the running program. On a Wine prefix's drive they are never
// searched, and Wine's own programs in its system folder are found instead.
std::optional<fs::path> locateProgram(const std::string& program) {
    if (program.find_first_of("\\/:") != std::string::npos) {
        const MappedPath given = mapPathToFollow(program);
        if (!given.ok()) return std::nullopt;
        if (isProgramFile(given.path)) return given.path;
        const MappedPath withExe = mapPathToFollow(program + ".exe");
        if (withExe.ok() && isProgramFile(withExe.path)) return withExe.path;
        return std::nullopt;
    }
    std::error_code ec;
    const fs::path current = fs::current_path(ec);
    std::vector<fs::path> folders{ownFolder(), current, mapped(R"(c:\windows\system32)"),
                                  mapped(R"(c:\windows)")};
    if (drivePrefix().empty()) {
        folders.push_back(current / kSystemStandIns);
        folders.push_back(ownFolder() / kSystemStandIns);
    }
    for (fs::path& folder : pathFolders()) folders.push_back(std::move(folder));
    for (const fs::path& folder : folders) {
        if (auto found = findIn(folder, program)) return found;
    }
    return std::nullopt;
}

// A Windows executable: the "MZ" header whose offset at 0x3C leads to the "PE\0\0" signature.
bool isWindowsProgram(const fs::path& program) {
    std::ifstream in(program, std::ios::binary);
    std::array<unsigned char, 64> header{};
    if (!in.read(reinterpret_cast<char*>(header.data()), header.size())) return false;
    if (header[0] != 'M' || header[1] != 'Z') return false;
    const std::uint32_t peOffset = header[0x3C] | header[0x3D] << 8 | header[0x3E] << 16 |
                                   static_cast<std::uint32_t>(header[0x3F]) << 24;
    std::array<char, 4> signature{};
    in.seekg(peOffset);
    return in.read(signature.data(), signature.size()) &&
           signature == std::array<char, 4>{'P', 'E', '\0', '\0'};
}

std::optional<fs::path> findWine() {
    for (const fs::path& folder : pathFolders()) {
        const fs::path candidate = folder / "wine";
        if (isProgramFile(candidate) && ::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return std::nullopt;
}

// What is executed: the program itself, or Wine with the program as its first argument and, when
// the drive is a Wine prefix's, that prefix, so the program's c:\ is the drive the setup fills.
struct Launch {
    fs::path executable;
    std::vector<std::string> arguments;  // argv, the first naming the executable
    fs::path winePrefix;                 // replaces the inherited WINEPREFIX when set
};

Launch nativeLaunch(const fs::path& program, const std::vector<std::string_view>& tokens) {
    Launch launch{program, {tokens.begin(), tokens.end()}, {}};
    launch.arguments[0] = program.string();
    return launch;
}

Launch wineLaunch(const fs::path& wine, const fs::path& program,
                  const std::vector<std::string_view>& tokens) {
    Launch launch{wine, {wine.string(), program.string()}, drivePrefix()};
    launch.arguments.insert(launch.arguments.end(), tokens.begin() + 1, tokens.end());
    return launch;
}

std::vector<std::string> environmentFor(const Launch& launch) {
    constexpr std::string_view kPrefixVariable = "WINEPREFIX=";
    std::vector<std::string> result;
    for (char** entry = environ; *entry; ++entry) {
        const std::string_view variable(*entry);
        if (launch.winePrefix.empty() || !variable.starts_with(kPrefixVariable)) {
            result.emplace_back(variable);
        }
    }
    if (!launch.winePrefix.empty()) {
        result.push_back(std::string(kPrefixVariable) + launch.winePrefix.string());
    }
    return result;
}

std::vector<char*> pointersTo(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Runs in the forked grandchild: only async-signal-safe calls until exec.
[[noreturn]] void execProgram(const char* path, char* const* argv, char* const* envp,
                              int reportFd) {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    signal(SIGPIPE, SIG_DFL);
    defaultTerminationSignals();
    execve(path, argv, envp);
    const int error = errno;
    [[maybe_unused]] const ssize_t written = write(reportFd, &error, sizeof error);
    _exit(127);
}

// Starts the program detached (double fork, so nothing is left to reap) and learns whether exec
// succeeded through a close-on-exec pipe: end of file means it did.
int spawnDetached(Launch launch) {
    std::vector<std::string> environment = environmentFor(launch);
    const std::vector<char*> argv = pointersTo(launch.arguments);
    const std::vector<char*> envp = pointersTo(environment);

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
        execProgram(launch.executable.c_str(), argv.data(), envp.data(), report[1]);
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

// The window style has no effect on this host, for Windows programs under Wine as well: asking
// Wine for it means starting the program through its "start" command, which parses the command
// line again by its own rules.
OpResult Shell(std::string_view commandLine, int /*windowStyle*/) noexcept {
    return runOperation(
        calls::shell(commandLine), kOutOfMemory, [&](const FailureOf& fail) -> OpResult {
            const std::vector<std::string_view> tokens = splitCommandLine(commandLine);
            if (tokens.empty()) return fail(FailedRule::BadCommand, "empty command line");
            const std::string name(tokens[0]);
            const std::optional<fs::path> program = locateProgram(name);
            if (!program) return fail(FailedRule::ProgramNotFound, name + ": program not found");
            Launch launch = nativeLaunch(*program, tokens);
            if (isWindowsProgram(*program)) {
                const std::optional<fs::path> wine = findWine();
                if (!wine) {
                    return fail(FailedRule::NeedsWine,
                                program->string() +
                                    ": a Windows program, and Wine is needed to start "
                                    "it (no wine on PATH)");
                }
                launch = wineLaunch(*wine, *program, tokens);
            }
            if (const int error = spawnDetached(launch); error != 0) {
                return systemFailure(fail, error, launch.executable.string());
            }
            return fail.success();
        });
}

}  // namespace pulsaro
