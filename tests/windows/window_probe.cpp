// Tells what a window of another program shows, for tests that drive the Windows programs from
// outside them: one line for each visible child window of the first top-level window with the
// given caption, "<class>\t<text>" in their order, in UTF-8; a picture control that holds an
// icon is "Icon", one that holds none is left out, as it shows nothing. Waits up to 20 s for the
// window.
// Usage: window_probe CAPTION     exit status 0, or 1 when no such window appeared.

#include "wide.h"

#include <windows.h>

#include <string>

namespace {

constexpr UINT kAnswerWithin = 5000;

// Asked of the window itself, as its own program holds the text.
std::wstring textOf(HWND window) {
    DWORD_PTR length = 0;
    SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kAnswerWithin, &length);
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_ABORTIFHUNG, kAnswerWithin, &copied);
    text.resize(copied);
    return text;
}

bool holdsIcon(HWND window) {
    DWORD_PTR icon = 0;
    SendMessageTimeoutW(window, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, kAnswerWithin, &icon);
    return icon != 0;
}

bool isPictureControl(HWND window) {
    return (GetWindowLongW(window, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
}

std::wstring classOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

HWND waitForWindow(const wchar_t* caption) {
    for (int tries = 0; tries < 400; ++tries) {
        if (HWND window = FindWindowW(nullptr, caption)) return window;
        Sleep(50);
    }
    return nullptr;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    HWND window = waitForWindow(argv[1]);
    if (!window) return 1;
    std::string report;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child)) continue;
        const std::wstring kind = classOf(child);
        if (CompareStringOrdinal(kind.c_str(), -1, L"Static", -1, TRUE) == CSTR_EQUAL &&
            isPictureControl(child)) {
            if (holdsIcon(child)) report += "Icon\n";
            continue;
        }
        report += pulsaro::narrow(kind + L"\t" + textOf(child)) + "\n";
    }
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), report.data(), static_cast<DWORD>(report.size()),
              &written, nullptr);
    return 0;
}
