#pragma once

#include "handle.h"

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace pulsaro {

// The file a copy or a download writes beside its target, ".<target>.partial-<pid>-<tag><n>",
// which takes the target's place in one rename only when it is complete. Until then the system
// deletes it as soon as its handle closes, so neither a failure nor a killed process leaves it
// behind.
class TemporaryFile {
  public:
    TemporaryFile() = default;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Creates the file in the target's folder; the Win32 error, or 0.
    DWORD create(const std::wstring& target, std::wstring_view tag);
    DWORD write(const char* data, std::size_t size);

    // Replaces the target with the file, flushed to the disk first when asked; the Win32 error,
    // or 0. On failure the file is gone and the target untouched.
    DWORD commit(bool flush);

  private:
    std::wstring target_;
    std::wstring path_;
    Handle file_;  // closing it deletes the file until commit
};

// A process killed between a commit's last write and its rename leaves its temporary file; the
// next writer to the same target removes it, leaving alone those of processes still running.
void removeAbandonedTemporaries(const std::wstring& target);

}  // namespace pulsaro
