#pragma once

#include "program.h"

#include <QString>
#include <QStringList>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

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

void writeFile(const std::filesystem::path& path, std::string_view bytes);
std::string readFile(const std::filesystem::path& path);
// The names in a folder, sorted, so tests can assert exactly what is left on disk.
std::vector<std::string> listFolder(const std::filesystem::path& folder);
// A deterministic byte pattern of the given size, different for each seed.
std::string patternBytes(std::size_t size, unsigned seed);

// Replaces the modal message box with a recorder for the lifetime of the object.
class RecordingMessageBox final : public MessageBoxHandler {
  public:
    RecordingMessageBox();
    ~RecordingMessageBox() override;
    void show(const QString& caption, const QString& message) override;

    QStringList captions;
    QStringList messages;

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
