#pragma once

#include <windows.h>

namespace pulsaro {

// Makes a window of this program that is never shown, of a class of its own handled by
// `procedure` (registered on first use); with HWND_MESSAGE as parent it only takes messages.
// Throws std::system_error when the system cannot make it.
HWND createHiddenWindow(const wchar_t* className, WNDPROC procedure, const wchar_t* caption,
                        HWND parent);

}  // namespace pulsaro
