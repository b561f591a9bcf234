#include "hidden_window.h"

#include <system_error>

namespace pulsaro {
namespace {

[[noreturn]] void throwLastError(const char* call) {
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), call);
}

}  // namespace

HWND createHiddenWindow(const wchar_t* className, WNDPROC procedure, const wchar_t* caption,
                        HWND parent) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = className;
    if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        throwLastError("RegisterClassExW");
    }
    const HWND window =
        CreateWindowExW(0, className, caption, 0, 0, 0, 0, 0, parent, nullptr, instance, nullptr);
    if (!window) throwLastError("CreateWindowExW");
    return window;
}

}  // namespace pulsaro
