#include "temp_drive.h"

#include "common_support.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace fs = std::filesystem;

namespace pulsaro::test {

namespace {

// A new folder of its own in the temporary folder, whoever else makes folders there.
fs::path newTemporaryFolder() {
    std::random_device entropy;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate =
            fs::temp_directory_path() / ("pulsaro-test-" + std::to_string(entropy()));
        if (fs::create_directory(candidate)) {
            fs::permissions(candidate, fs::perms::owner_all, fs::perm_options::replace);
            return fs::canonical(candidate);
        }
    }
    throw std::runtime_error("cannot make a temporary folder");
}

}  // namespace

TempDrive::TempDrive() {
    base_ = newTemporaryFolder();
    drive_ = base_ / "drive";
    dist_ = base_ / "dist";
    fs::create_directories(drive_);
    fs::create_directories(dist_);
    if (const char* old = std::getenv("PULSARO_DRIVE_C")) {
        hadDrive_ = true;
        previousDrive_ = old;
    }
    setEnvironment("PULSARO_DRIVE_C", drive_.string());
    previousCwd_ = fs::current_path();
    fs::current_path(dist_);
}

TempDrive::~TempDrive() {
    std::error_code ec;
    fs::current_path(previousCwd_, ec);
    setEnvironment("PULSARO_DRIVE_C",
                   hadDrive_ ? std::optional<std::string>(previousDrive_) : std::nullopt);
    if (fs::remove_all(base_, ec) == static_cast<std::uintmax_t>(-1)) {
        // A test left something read-only, which this host will not delete as it is.
        for (const auto& entry : fs::recursive_directory_iterator(base_, ec)) {
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
        }
        fs::remove_all(base_, ec);
    }
}

void writeFile(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> listFolder(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string patternBytes(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    unsigned state = seed * 2654435761u + 1;
    for (char& b : bytes) {
        state = state * 1103515245u + 12345u;
        b = static_cast<char>(state >> 16);
    }
    return bytes;
}

RecordingMessageBox::RecordingMessageBox() : previous_(setMessageBoxHandler(this)) {}
RecordingMessageBox::~RecordingMessageBox() {
    setMessageBoxHandler(previous_);
}
void RecordingMessageBox::show(std::string_view caption, std::string_view message) {
    captions.emplace_back(caption);
    messages.emplace_back(message);
}

CapturedDiagnostics::CapturedDiagnostics()
    : previous_(setDiagnosticSink([this](std::string_view line) { lines.emplace_back(line); })) {}
CapturedDiagnostics::~CapturedDiagnostics() {
    setDiagnosticSink(std::move(previous_));
}

}  // namespace pulsaro::test
