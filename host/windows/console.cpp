#include "console.h"

#include "wide.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace pulsaro {

namespace {

bool usable(HANDLE handle) {
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

void write(HANDLE out, std::string_view text) {
    DWORD written = 0;
    DWORD mode = 0;
    // A console shows UTF-16 as it is; a file or pipe takes the bytes.
    if (GetConsoleMode(out, &mode)) {
        const std::wstring wide = widen(text);
        WriteConsoleW(out, wide.c_str(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

void connectStandardOutput() {
    if (usable(GetStdHandle(STD_OUTPUT_HANDLE)) || !AttachConsole(ATTACH_PARENT_PROCESS)) return;
    FILE* console = nullptr;
    _wfreopen_s(&console, L"CONOUT$", L"w", stdout);
}

std::optional<int> answerAboutRequest(const About& about) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 0; wide && i < count; ++i) arguments.push_back(narrow(wide[i]));
    LocalFree(wide);
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    connectStandardOutput();
    return answerAboutRequest(static_cast<int>(argv.size()), argv.data(), about);
}

void writeToStandardError(std::string_view text) {
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (usable(error)) write(error, text);
}

}  // namespace pulsaro
