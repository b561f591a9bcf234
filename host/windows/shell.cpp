#include "command_line.h"
#include "drive.h"
#include "host.h"
#include "operation_calls.h"
#include "system_error.h"
#include "wide.h"

#include <windows.h>

#include <string>
#include <vector>

namespace pulsaro {
namespace {

// One field of a command line as the started program's own parser (CommandLineToArgvW, the C
// runtime) reads it back whole: quoted when it holds a blank, with the backslashes before a quote
// doubled.
std::wstring quoted(const std::wstring& field) {
    if (!field.empty() && field.find_first_of(L" \t\"") == std::wstring::npos) return field;
    std::wstring result = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : field) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        result.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        result.push_back(c);
    }
    result.append(2 * backslashes, L'\\');
    result.push_back(L'"');
    return result;
}

// The started program knows nothing of a mapped drive, so a c:\ path among its fields is given
// to it mapped, as every operation here maps its own paths.
std::wstring field(std::string_view text, std::string& error) {
    if (!isOnDriveC(text)) return quoted(widen(text));
    const MappedPath mapped = mapPath(text);
    if (!mapped.ok()) error = mapped.error;
    return quoted(mapped.path);
}

// The fields of the core's tokenizer, one space apart, so runs of spaces never make an empty
// argument. A program named without a folder is left for CreateProcessW to find the platform's
// way: the program's own folder, the current folder, the system folders, then PATH, with ".exe"
// appended.
std::wstring buildCommandLine(const std::vector<std::string_view>& fields, std::string& error) {
    std::wstring commandLine;
    for (std::string_view text : fields) {
        if (!commandLine.empty()) commandLine.push_back(L' ');
        commandLine += field(text, error);
    }
    return commandLine;
}

// Window styles are the show states of the same numbers (2: minimised, taking the focus).
WORD showState(int windowStyle) {
    switch (windowStyle) {
        case SW_HIDE:
        case SW_SHOWNORMAL:
        case SW_SHOWMINIMIZED:
        case SW_SHOWMAXIMIZED:
        case SW_SHOWNOACTIVATE:
        case SW_SHOWMINNOACTIVE:
            return static_cast<WORD>(windowStyle);
        default:
            return SW_SHOWNORMAL;
    }
}

}  // namespace

OpResult Shell(std::string_view commandLine, int windowStyle) noexcept {
    return runOperation(
        calls::shell(commandLine), kOutOfMemory, [&](const FailureOf& fail) -> OpResult {
            const std::vector<std::string_view> fields = splitCommandLine(commandLine);
            if (fields.empty()) return fail(FailedRule::BadCommand, "empty command line");
            std::string mappingError;
            std::wstring line = buildCommandLine(fields, mappingError);
            if (!mappingError.empty()) return fail(FailedRule::OutsideDrive, mappingError);

            STARTUPINFOW startup{};
            startup.cb = sizeof startup;
            startup.dwFlags = STARTF_USESHOWWINDOW;
            startup.wShowWindow = showState(windowStyle);
            PROCESS_INFORMATION started{};
            if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE,
                                CREATE_DEFAULT_ERROR_MODE, nullptr, nullptr, &startup, &started)) {
                return systemFailure(fail, GetLastError(), std::string(fields.front()));
            }
            // Never waited for nor watched.
            CloseHandle(started.hThread);
            CloseHandle(started.hProcess);
            return fail.success();
        });
}

}  // namespace pulsaro
