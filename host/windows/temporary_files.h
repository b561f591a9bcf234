#pragma once

#include "handle.h"

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace pulsaro {

// Who writes a temporary file: a download's name says so ("d" before its number), so that a
// leftover can be told from a copy's.
enum class TemporaryWriter { Copy, Download };

// The file a copy or a download writes beside its target, ".<target>.partial-<pid>-<n>" for a
// copy and ".<target>.partial-<pid>-d<n>" for a download, which takes the target's place in one
// rename only when it is complete. Until then the system deletes it as soon as its handle closes,
// so neither a failure nor a killed process leaves it behind.
class TemporaryFile {
  public:
    TemporaryFile() = default;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Creates the file in the target's folder, first removing abandoned temporary files of the
    // same target; the Win32 error, or 0.
    DWORD create(const std::wstring& target, TemporaryWriter writer);
    DWORD write(const char* data, std::size_t size);

    // Has the disk hold every byte written; the Win32 error, or 0.
    DWORD flushToDisk();
    // Puts the file in the target's place at once and closes it; the Win32 error, or 0. On
    // failure the file is gone and the target untouched.
    DWORD replaceTarget();

  private:
    std::wstring target_;
    std::wstring path_;
    Handle file_;  // closing it deletes the file until it replaces the target
};

}  // namespace pulsaro
