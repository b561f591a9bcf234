#include "console.h"
#include "texts.h"
#include "updater_window.h"
#include "wide.h"

#include <windows.h>

#include <shellapi.h>

#include <exception>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view kHelp =
    "pulsaro_zentra_update.exe: fetches the newest Pulsaro Zentra from the product's FTP server\n"
    "and puts it in place of c:\\pulsaro_zentra\\pulsaro_zentra.exe, then says in a message\n"
    "whether it did. Exit status 0 when the application was replaced, 1 otherwise.\n"
    "Takes no arguments. PULSARO_UPDATE_URL (ftp://host[:port]) names another server;\n"
    "PULSARO_DRIVE_C names a folder that stands for c:\\.\n";
constexpr std::string_view kVersion = "pulsaro_zentra_update.exe 1.0\n";

std::wstring firstArgument() {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::wstring first = arguments && count > 1 ? arguments[1] : L"";
    LocalFree(arguments);
    return first;
}

}  // namespace

// The window is never shown: the load handler does all the work, and the program ends when it
// returns, with the status saying whether the application was replaced.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const std::wstring option = firstArgument();
    if (option == L"--help" || option == L"--version") {
        pulsaro::printToConsole(option == L"--help" ? kHelp : kVersion);
        return 0;
    }
    try {
        UpdaterWindow window;
        window.form.Form_Load();
        return window.form.exitStatus;
    } catch (const std::exception& e) {
        MessageBoxW(nullptr, pulsaro::widen(e.what()).c_str(),
                    pulsaro::widen(pulsaro::texts::kUpdateTitle).c_str(), MB_OK | MB_ICONERROR);
        return 1;
    }
}
