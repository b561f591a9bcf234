#pragma once

#include "op_result.h"

#include <QString>

#include <chrono>
#include <string_view>

class QWidget;

// The platform operations both programs are written in. Paths are Windows paths, mapped onto the
// host and resolved case-insensitively. No operation throws; each reports success or failure
// with the host's reason, and the action runner decides what happens next.
namespace pulsaro {

// Deletes every file (never a folder, never anything below a subfolder) in the pattern's folder
// whose name matches the pattern's last component. A link is removed itself; its target is never
// touched. Fails when no file matches, the folder is missing, or a matching file stays.
[[nodiscard]] OpResult KillFiles(std::string_view pattern) noexcept;

// Removes an empty folder.
[[nodiscard]] OpResult RemoveDir(std::string_view path) noexcept;

// Creates one folder; fails when it (in any letter case) exists or its parent does not.
[[nodiscard]] OpResult MakeDir(std::string_view path) noexcept;

// Replaces the destination whole and atomically with the source's bytes. A relative source is
// looked up in the current folder, then in the running program's own folder.
[[nodiscard]] OpResult FileCopy(std::string_view source, std::string_view destination) noexcept;

// Window style 2: minimised, taking the focus. It has no further effect on this host.
inline constexpr int kMinimizedFocus = 2;

// Starts the command line's program as a detached process and returns at once; fails when the
// program cannot be found or started.
[[nodiscard]] OpResult Shell(std::string_view commandLine, int windowStyle) noexcept;

// A modal message box with one OK button, no icon, and the program's title as caption.
void MsgBox(const QString& message);

// Lets every pending event of the program be handled, then returns without blocking.
void DoEvents();

// Handles events as DoEvents does, but sleeps until the next event arrives or maxWait has
// passed, whichever comes first.
void DoEventsWaiting(std::chrono::milliseconds maxWait);

// Seconds since local midnight.
float GetTimer();

// Closes the window; when no other window of the program is open, the program ends once the
// current handler returns to the event loop.
void Unload(QWidget& window);

}  // namespace pulsaro
