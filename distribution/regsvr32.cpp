// Stand-in for the platform's control registration tool. It registers a control stand-in by
// recording the control's resolved path in a registration list on the mapped drive, and with /u
// removes it again. /s leaves out the confirmation. A refusal is one line on standard error and a
// non-zero exit code, numbered as the platform's tool numbers them.

#include "about.h"
#include "drive.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr const char* kRegistrationList = R"(c:\windows\system32\pulsaro_registered_controls.txt)";
constexpr const char* kControlSignature = "PULSARO-CONTROL-STANDIN 1";

enum Exit { kOk = 0, kBadArguments = 1, kCannotLoad = 3, kNotAControl = 4, kListFailed = 5 };

struct Request {
    std::string control;
    bool silent = false;
    bool unregister = false;
};

int refuse(Exit code, const std::string& reason) {
    std::fprintf(stderr, "regsvr32: %s\n", reason.c_str());
    return code;
}

std::optional<Request> parseArguments(int argc, char** argv, std::string& why) {
    Request request;
    int controls = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "/s" || arg == "/S" || arg == "-s") {
            request.silent = true;
        } else if (arg == "/u" || arg == "/U" || arg == "-u") {
            request.unregister = true;
        } else if (!arg.empty() && (arg[0] == '/' || arg[0] == '-')) {
            why = "unknown switch " + arg;
            return std::nullopt;
        } else {
            request.control = arg;
            ++controls;
        }
    }
    if (controls != 1) {
        why = "usage: regsvr32 [/u] [/s] control_file";
        return std::nullopt;
    }
    return request;
}

bool isControlStandIn(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string firstLine;
    std::getline(in, firstLine);
    if (!firstLine.empty() && firstLine.back() == '\r') firstLine.pop_back();
    return firstLine == kControlSignature;
}

std::vector<std::string> readEntries(const fs::path& list) {
    std::vector<std::string> entries;
    std::ifstream in(list);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) entries.push_back(line);
    }
    return entries;
}

// Readers never see a half-written list: the new one is written beside it and renamed over it.
bool writeEntries(const fs::path& list, const std::vector<std::string>& entries) {
    const fs::path temporary = list.string() + ".tmp";
    {
        std::ofstream out(temporary, std::ios::trunc);
        for (const std::string& entry : entries) out << entry << '\n';
        out.flush();
        if (!out) return false;
    }
    std::error_code ec;
    fs::rename(temporary, list, ec);
    return !ec;
}

// Concurrent registrations take turns on a lock file beside the list, which itself is replaced
// by each update and so cannot carry the lock.
class ListLock {
  public:
    explicit ListLock(const fs::path& list)
        : fd_(::open((list.string() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
        while (fd_ >= 0 && ::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~ListLock() {
        if (fd_ >= 0) ::close(fd_);
    }
    ListLock(const ListLock&) = delete;
    ListLock& operator=(const ListLock&) = delete;
    bool held() const { return fd_ >= 0; }

  private:
    int fd_;
};

bool updateList(const fs::path& list, const std::string& entry, bool unregister) {
    std::error_code ec;
    fs::create_directories(list.parent_path(), ec);
    const ListLock lock(list);
    if (!lock.held()) return false;
    std::vector<std::string> entries = readEntries(list);
    const bool present = std::ranges::find(entries, entry) != entries.end();
    if (unregister) {
        if (!present) return true;
        std::erase(entries, entry);
    } else {
        if (present) return true;
        entries.push_back(entry);
    }
    return writeEntries(list, entries);
}

constexpr pulsaro::About kAbout{
    "regsvr32", "[/u] [/s] control_file | -h | --help | /? | --version",
    "Stands in for the control registration tool on a drive that is not a Wine prefix: records\n"
    "the control's path in c:\\windows\\system32\\pulsaro_registered_controls.txt (/u removes\n"
    "it; /s prints nothing). Exit status: 0 done, 1 bad arguments, 3 file missing, 4 not a\n"
    "control, 5 list not writable.\n"};

}  // namespace

int main(int argc, char** argv) {
    if (const std::optional<int> answered = pulsaro::answerAboutRequest(argc, argv, kAbout)) {
        return *answered;
    }
    std::string why;
    const std::optional<Request> request = parseArguments(argc, argv, why);
    if (!request) return refuse(kBadArguments, why);

    const pulsaro::MappedPath control = pulsaro::mapPath(request->control);
    if (!control.ok()) return refuse(kCannotLoad, request->control + ": " + control.error);
    std::error_code ec;
    if (!fs::is_regular_file(control.path, ec)) {
        return refuse(kCannotLoad, request->control + ": the control file does not exist");
    }
    if (!isControlStandIn(control.path)) {
        return refuse(kNotAControl, request->control + ": not a control file");
    }

    const pulsaro::MappedPath list = pulsaro::mapPath(kRegistrationList);
    if (!list.ok()) return refuse(kListFailed, "registration list: " + list.error);
    if (!updateList(list.path, control.path.string(), request->unregister)) {
        return refuse(kListFailed, "cannot update the registration list " + list.path.string());
    }
    if (!request->silent) {
        std::printf("%s in %s succeeded.\n",
                    request->unregister ? "DllUnregisterServer" : "DllRegisterServer",
                    request->control.c_str());
    }
    return kOk;
}
