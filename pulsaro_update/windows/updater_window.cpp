#include "updater_window.h"

#include "hidden_window.h"
#include "program.h"
#include "texts.h"
#include "wide.h"

namespace {

constexpr wchar_t kWindowClass[] = L"PulsaroUpdaterForm";

}  // namespace

UpdaterWindow::UpdaterWindow(std::span<const pulsaro::P256PublicKey> updateKeys)
    : form(*this, Inet1, updateKeys) {
    pulsaro::setProgramTitle(pulsaro::texts::kUpdateTitle);
    const std::wstring caption = pulsaro::widen(pulsaro::texts::kWindowCaption);
    window_ = pulsaro::createHiddenWindow(kWindowClass, DefWindowProcW, caption.c_str(), nullptr);
}

UpdaterWindow::~UpdaterWindow() {
    Unload();
}

void UpdaterWindow::Unload() {
    if (window_) DestroyWindow(window_);
    window_ = nullptr;
}
