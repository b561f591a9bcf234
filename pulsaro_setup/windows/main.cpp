#include "console.h"
#include "setup_window.h"
#include "wide.h"

#include <windows.h>

#include <shellapi.h>

#include <exception>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view kHelp =
    "setup_pulsaro_zentra.exe: installs Pulsaro Zentra into c:\\pulsaro_zentra.\n"
    "Run it from the folder that holds the distribution files and press the buttons in order:\n"
    "\"Passo 1\" copies the files, \"Passo 2\" registers the controls, \"Avvia Pulsaro\" starts\n"
    "the application. PULSARO_DRIVE_C, when set, names a folder that stands for c:\\.\n";
constexpr std::string_view kVersion = "setup_pulsaro_zentra.exe 1.0\n";

std::wstring firstArgument() {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::wstring first = arguments && count > 1 ? arguments[1] : L"";
    LocalFree(arguments);
    return first;
}

int runMessageLoop(SetupWindow& window) {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (window.handleKeyboard(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showState) {
    const std::wstring first = firstArgument();
    if (first == L"--help" || first == L"--version") {
        pulsaro::printToConsole(first == L"--help" ? kHelp : kVersion);
        return 0;
    }
    try {
        SetupWindow window(instance);
        window.open(showState);
        return runMessageLoop(window);
    } catch (const std::exception& e) {
        MessageBoxW(nullptr, pulsaro::widen(e.what()).c_str(), L"setup_pulsaro_zentra",
                    MB_OK | MB_ICONERROR);
        return 1;
    }
}
