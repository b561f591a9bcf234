#include "wine_prefix.h"

#include "hermetic.h"

#include <fcntl.h>
#include <paths.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#ifndef PULSARO_WINE_PREFIX_SCRIPT
#error "The build defines PULSARO_WINE_PREFIX_SCRIPT as the path of scripts/wine_prefix.sh"
#endif

namespace pulsaro::test {
namespace {

namespace fs = std::filesystem;

// The first executable NAME in a ':'-separated list of folders; empty when there is none.
fs::path findProgram(const std::string& name, const std::string& folders) {
    std::istringstream list(folders);
    for (std::string folder; std::getline(list, folder, ':');) {
        if (folder.empty()) continue;
        fs::path candidate = fs::path(folder) / name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

std::string variable(const std::vector<std::string>& environment, const std::string& name) {
    for (const std::string& entry : environment) {
        if (entry.starts_with(name + "=")) return entry.substr(name.size() + 1);
    }
    return {};
}

std::vector<char*> nullTerminated(const std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (const std::string& s : strings) pointers.push_back(const_cast<char*>(s.c_str()));
    pointers.push_back(nullptr);
    return pointers;
}

int waitUntil(pid_t pid, std::chrono::steady_clock::time_point deadline) {
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string readAll(std::FILE* file) {
    std::string content;
    std::rewind(file);
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
        content.append(buffer, got);
    }
    return content;
}

// Runs PROGRAM, found on the PATH of ENVIRONMENT, with exactly that environment. The output goes
// to an unnamed temporary file, not a pipe: a wineserver and Wine's services started by the run
// keep its descriptors for a while after it ends, and reading a pipe to its end would wait.
ProgramRun run(const std::string& program, const std::vector<std::string>& arguments,
               const std::vector<std::string>& environment, std::chrono::seconds timeout) {
    ProgramRun result;
    const fs::path path = findProgram(program, variable(environment, "PATH"));
    std::FILE* output = std::tmpfile();
    if (path.empty() || !output) {
        result.output = program + " not found or no temporary file";
        if (output) std::fclose(output);
        return result;
    }
    std::vector<std::string> argvStrings{path.string()};
    argvStrings.insert(argvStrings.end(), arguments.begin(), arguments.end());
    const std::vector<char*> argv = nullTerminated(argvStrings);
    const std::vector<char*> envp = nullTerminated(environment);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int nothing = ::open("/dev/null", O_RDONLY);
        ::dup2(nothing, 0);
        ::dup2(::fileno(output), 1);
        ::dup2(::fileno(output), 2);
        ::close(nothing);
        ::close(::fileno(output));
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    if (pid > 0) result.exitCode = waitUntil(pid, std::chrono::steady_clock::now() + timeout);
    result.output = readAll(output);
    std::fclose(output);
    return result;
}

// Made once per test process; the lock keeps processes started together from making it twice.
std::string preparePrefix(const fs::path& prefix, const std::vector<std::string>& environment) {
    std::error_code ignored;
    fs::create_directories(prefix.parent_path(), ignored);
    const std::string lockPath = prefix.string() + ".lock";
    const int lock = ::open(lockPath.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0644);
    if (lock < 0 || ::flock(lock, LOCK_EX) != 0) return "cannot lock " + lockPath;
    const ProgramRun made = run("bash", {PULSARO_WINE_PREFIX_SCRIPT, prefix.string()}, environment,
                                std::chrono::minutes(10));
    ::close(lock);
    return made.exitCode == 0 ? "" : "wine_prefix.sh failed:\n" + made.output;
}

}  // namespace

void WinePrefixTest::SetUp() {
    wineProgram_ = toolPath("wine");
    if (wineProgram_.empty())
        GTEST_SKIP() << "wine is not installed (Debian packages wine, wine64)";
    const char* prefix = std::getenv("PULSARO_WINE_PREFIX");
    ASSERT_TRUE(prefix && *prefix) << "PULSARO_WINE_PREFIX names no folder for the Wine prefix";
    prefix_ = fs::absolute(prefix);
    static const std::string failure = preparePrefix(prefix_, environment());
    ASSERT_EQ(failure, "");
    SetUpInPrefix();
}

std::vector<std::string> WinePrefixTest::environment() const {
    const std::string home = (prefix_ / "home").string();
    return {"PATH=" + wineProgram_.parent_path().string() + ":" + _PATH_DEFPATH,
            "HOME=" + home,
            "XDG_CONFIG_HOME=" + home + "/.config",
            "XDG_DATA_HOME=" + home + "/.local/share",
            "XDG_CACHE_HOME=" + home + "/.cache",
            "WINEPREFIX=" + prefix_.string(),
            "WINEDEBUG=-all"};
}

// The first program of a Wine session starts its desktop on the display that program has, and
// without one no later program of the session can open a window. So every program gets the
// prefix's own display when scripts/wine_prefix.sh --start-server made one, and a test that
// shows windows elsewhere names its own display in extraEnvironment.
std::vector<std::string> WinePrefixTest::environmentWith(
    const std::vector<std::string>& extraEnvironment) const {
    std::vector<std::string> environment = this->environment();
    std::ifstream displayFile(prefix_ / "display");
    if (std::string number; std::getline(displayFile, number) && !number.empty()) {
        environment.push_back("DISPLAY=:" + number);
    }
    for (const std::string& extra : extraEnvironment) {
        const std::string name = extra.substr(0, extra.find('=') + 1);
        std::erase_if(environment, [&](const std::string& e) { return e.starts_with(name); });
        environment.push_back(extra);
    }
    return environment;
}

ProgramRun WinePrefixTest::wine(const std::vector<std::string>& arguments,
                                const std::vector<std::string>& extraEnvironment,
                                std::chrono::seconds timeout) const {
    return run(wineProgram_.filename().string(), arguments, environmentWith(extraEnvironment),
               timeout);
}

ProgramRun WinePrefixTest::regQuery(const std::string& key) const {
    return wine({"reg", "query", key});
}

std::vector<std::string> probedParts(const std::string& probed) {
    std::vector<std::string> lines;
    std::istringstream in(probed);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    std::ranges::sort(lines);
    return lines;
}

std::string windowsPath(const std::filesystem::path& hostPath) {
    std::string path = std::filesystem::absolute(hostPath).lexically_normal().string();
    std::replace(path.begin(), path.end(), '/', '\\');
    return "Z:" + path;
}

std::string lowerCase(std::string text) {
    std::ranges::transform(text, text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

}  // namespace pulsaro::test
