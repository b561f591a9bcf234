#include "updater_window.h"

// windows.h (through updater_window.h) first: shellapi.h builds on its types.
#include <shellapi.h>

#include <string>
#include <string_view>

namespace {

constexpr std::string_view kHelp =
    "pulsaro_zentra_update.exe: fetches the newest Pulsaro Zentra from the product's FTP server\n"
    "and puts it in place of c:\\pulsaro_zentra\\pulsaro_zentra.exe, then says in a message\n"
    "whether it did. Exit status 0 when the application was replaced, 1 otherwise.\n"
    "Takes no arguments. PULSARO_UPDATE_URL (ftp://host[:port]) names another server;\n"
    "PULSARO_DRIVE_C names a folder that stands for c:\\.\n";
constexpr std::string_view kVersion = "pulsaro_zentra_update.exe 1.0 (Windows)\n";

std::wstring firstArgument() {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::wstring first = arguments && count > 1 ? arguments[1] : L"";
    LocalFree(arguments);
    return first;
}

// A program without a console of its own: the text goes to a redirected standard output, or
// else to the console of the program that started it, if there is one.
void print(std::string_view text) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) {
        if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
        out = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                          nullptr);
        if (out == INVALID_HANDLE_VALUE) return;
    }
    DWORD written = 0;
    WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

// The window is never shown: the load handler does all the work, and the program ends when it
// returns, with the status saying whether the application was replaced.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const std::wstring option = firstArgument();
    if (option == L"--help" || option == L"--version") {
        print(option == L"--help" ? kHelp : kVersion);
        return 0;
    }
    UpdaterWindow window;
    window.form.Form_Load();
    return window.form.exitStatus;
}
