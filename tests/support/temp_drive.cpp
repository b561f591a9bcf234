#include "temp_drive.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace fs = std::filesystem;

namespace pulsaro::test {

TempDrive::TempDrive() {
    std::string templ = (fs::temp_directory_path() / "pulsaro-test-XXXXXX").string();
    if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
    base_ = fs::canonical(templ);
    drive_ = base_ / "drive";
    dist_ = base_ / "dist";
    fs::create_directories(drive_);
    fs::create_directories(dist_);
    if (const char* old = std::getenv("PULSARO_DRIVE_C")) {
        hadDrive_ = true;
        previousDrive_ = old;
    }
    setenv("PULSARO_DRIVE_C", drive_.c_str(), 1);
    previousCwd_ = fs::current_path();
    fs::current_path(dist_);
}

TempDrive::~TempDrive() {
    std::error_code ec;
    fs::current_path(previousCwd_, ec);
    if (hadDrive_) {
        setenv("PULSARO_DRIVE_C", previousDrive_.c_str(), 1);
    } else {
        unsetenv("PULSARO_DRIVE_C");
    }
    fs::remove_all(base_, ec);
}

TempDrives::TempDrives(std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) drives_.push_back(std::make_unique<TempDrive>());
}

TempDrives::~TempDrives() {
    while (!drives_.empty()) drives_.pop_back();
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

std::string windowsProgramBytes() {
    std::string bytes(0x80, '\0');
    bytes.replace(0, 2, "MZ");
    bytes[0x3C] = 0x40;
    bytes.replace(0x40, 4, std::string("PE\0\0", 4));
    return bytes;
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
