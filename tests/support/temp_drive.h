#pragma once

#include "op_result.h"
#include "program.h"

#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace pulsaro {
// Failure codes in test output: the domain and the value.
inline void PrintTo(const ErrorCode& code, std::ostream* out) {
    *out << "{domain " << static_cast<int>(code.domain) << ", value " << code.value << "}";
}
}  // namespace pulsaro

namespace pulsaro::test {

// A fresh temporary folder per test holding the mapped c:\ drive ("drive") and a distribution
// folder ("dist") that becomes the current folder. Restores the environment and the current
// folder and removes everything when it goes.
class TempDrive {
  public:
    TempDrive();
    ~TempDrive();
    TempDrive(const TempDrive&) = delete;
    TempDrive& operator=(const TempDrive&) = delete;

    const std::filesystem::path& base() const { return base_; }
    const std::filesystem::path& drive() const { return drive_; }
    const std::filesystem::path& dist() const { return dist_; }

    // The host path of a drive-relative path written with '/' ("pulsaro_zentra/QUORVIN").
    std::filesystem::path onDrive(std::string_view relative) const { return drive_ / relative; }

  private:
    std::filesystem::path base_;
    std::filesystem::path drive_;
    std::filesystem::path dist_;
    std::filesystem::path previousCwd_;
    std::string previousDrive_;
    bool hadDrive_ = false;
};

// Several drives at once, for programs run side by side. Each TempDrive restores what was set
// before it, so they go in the reverse of the order they came in.
class TempDrives {
  public:
    explicit TempDrives(std::size_t count);
    ~TempDrives();
    TempDrives(const TempDrives&) = delete;
    TempDrives& operator=(const TempDrives&) = delete;

    const TempDrive& operator[](std::size_t i) const { return *drives_[i]; }
    std::size_t size() const { return drives_.size(); }

  private:
    std::vector<std::unique_ptr<TempDrive>> drives_;
};

void writeFile(const std::filesystem::path& path, std::string_view bytes);
std::string readFile(const std::filesystem::path& path);
// The names in a folder, sorted, so tests can assert exactly what is left on disk.
std::vector<std::string> listFolder(const std::filesystem::path& folder);
// The first bytes of a Windows executable, as far as telling one goes: "MZ", and at 0x3C the
// offset of "PE\0\0".
std::string windowsProgramBytes();
// A deterministic byte pattern of the given size, different for each seed.
std::string patternBytes(std::size_t size, unsigned seed);

// Replaces the modal message box with a recorder for the lifetime of the object.
class RecordingMessageBox final : public MessageBoxHandler {
  public:
    RecordingMessageBox();
    ~RecordingMessageBox() override;
    void show(std::string_view caption, std::string_view message) override;

    std::vector<std::string> captions;
    std::vector<std::string> messages;

  private:
    MessageBoxHandler* previous_;
};

// Collects diagnostic lines instead of writing them to standard error.
class CapturedDiagnostics {
  public:
    CapturedDiagnostics();
    ~CapturedDiagnostics();
    std::vector<std::string> lines;

  private:
    DiagnosticSink previous_;
};

}  // namespace pulsaro::test
