// Tells what a window of another program shows, for tests that drive the Windows programs from
// outside them: one line for each visible child window of the first top-level window with the
// given caption (and, when a program is named, of that program: the windows of every Wine
// process share one desktop, whatever X display each is on), "<class>\t<text>" in their order, in
// UTF-8; a picture control that holds an icon is "Icon", one that holds none is left out, as it
// shows nothing. Waits up to 20 s for the window.
// With --answer it then presses Enter there, as a user would: the window first made the
// foreground one, which the key reaches (the windows of every Wine process share one).
// Usage: window_probe [--answer] CAPTION [PROGRAM]
//        exit status 0, or 1 when no such window appeared.

#include "wide.h"

#include <windows.h>

#include <string>
#include <string_view>

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

// The full path of the program a window belongs to; empty when it cannot be known.
std::wstring programOf(HWND window) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    const HANDLE handle = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process);
    if (!handle) return {};
    std::wstring path(MAX_PATH * 4, L'\0');
    DWORD length = static_cast<DWORD>(path.size());
    const bool known = QueryFullProcessImageNameW(handle, 0, path.data(), &length);
    CloseHandle(handle);
    path.resize(known ? length : 0);
    return path;
}

struct Wanted {
    const wchar_t* caption;
    const wchar_t* program;  // nullptr: any
    HWND found = nullptr;
};

BOOL CALLBACK takeIfWanted(HWND window, LPARAM parameter) {
    auto& wanted = *reinterpret_cast<Wanted*>(parameter);
    wchar_t caption[256] = {};
    GetWindowTextW(window, caption, 256);
    if (CompareStringOrdinal(caption, -1, wanted.caption, -1, FALSE) != CSTR_EQUAL) return TRUE;
    if (wanted.program && CompareStringOrdinal(programOf(window).c_str(), -1, wanted.program, -1,
                                               TRUE) != CSTR_EQUAL) {
        return TRUE;
    }
    wanted.found = window;
    return FALSE;
}

HWND waitForWindow(const wchar_t* caption, const wchar_t* program) {
    for (int tries = 0; tries < 400; ++tries) {
        Wanted wanted{caption, program};
        EnumWindows(&takeIfWanted, reinterpret_cast<LPARAM>(&wanted));
        if (wanted.found) return wanted.found;
        Sleep(50);
    }
    return nullptr;
}

void pressEnterIn(HWND window) {
    SetForegroundWindow(window);
    INPUT keys[2] = {};
    for (INPUT& key : keys) {
        key.type = INPUT_KEYBOARD;
        key.ki.wVk = VK_RETURN;
    }
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const bool answer = argc > 1 && std::wstring_view(argv[1]) == L"--answer";
    const int first = answer ? 2 : 1;
    if (argc - first != 1 && argc - first != 2) return 2;
    HWND window = waitForWindow(argv[first], argc - first == 2 ? argv[first + 1] : nullptr);
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
    if (answer) pressEnterIn(window);
    return 0;
}
