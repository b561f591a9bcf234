#include "console.h"

#include "wide.h"

#include <windows.h>

#include <string>

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

void printToConsole(std::string_view text) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (!usable(out)) {
        if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
        out = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                          nullptr);
        if (!usable(out)) return;
    }
    write(out, text);
}

void writeToStandardError(std::string_view text) {
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (usable(error)) write(error, text);
}

}  // namespace pulsaro
