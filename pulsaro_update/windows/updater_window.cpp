#include "updater_window.h"

#include "program.h"
#include "texts.h"
#include "wide.h"

#include <system_error>

namespace {

constexpr wchar_t kWindowClass[] = L"PulsaroUpdaterForm";

void registerWindowClass(HINSTANCE instance) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                                "RegisterClassExW");
    }
}

}  // namespace

UpdaterWindow::UpdaterWindow() {
    pulsaro::setProgramTitle(pulsaro::texts::kUpdateTitle);
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    registerWindowClass(instance);
    const std::wstring caption = pulsaro::widen(pulsaro::texts::kWindowCaption);
    window_ = CreateWindowExW(0, kWindowClass, caption.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                              instance, nullptr);
    if (!window_) {
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                                "CreateWindowExW");
    }
}

UpdaterWindow::~UpdaterWindow() {
    Unload();
}

void UpdaterWindow::Unload() {
    if (window_) DestroyWindow(window_);
    window_ = nullptr;
}
