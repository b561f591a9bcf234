// Windows stand-in for the main application the installer ships. It proves that it was started
// (a line in the file named by PULSARO_STANDIN_MARKER, with its process id) and then opens a
// small window in the show state it was started with, unless PULSARO_STANDIN_EXIT asks it to end
// at once.

// windows.h first: the other Windows headers build on its types.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr wchar_t kTitle[] = L"Pulsaro Zentra";

constexpr std::string_view kHelp =
    "Pulsaro_zentra.exe: stand-in for the Pulsaro Zentra application.\n"
    "Appends \"started pid=<pid> arguments=<n>\" to the file named by PULSARO_STANDIN_MARKER,\n"
    "then opens its window; ends at once instead when PULSARO_STANDIN_EXIT is set.\n";
constexpr std::string_view kVersion = "Pulsaro_zentra.exe stand-in 1.0\n";

bool environmentSet(const wchar_t* name) {
    // The size needed counts the terminator, so a variable set to "" still answers 1.
    return ::GetEnvironmentVariableW(name, nullptr, 0) > 0;
}

std::wstring environment(const wchar_t* name) {
    std::wstring value(::GetEnvironmentVariableW(name, nullptr, 0), L'\0');
    if (value.empty()) return value;
    value.resize(::GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size())));
    return value;
}

// The arguments after the program's name.
std::vector<std::wstring> arguments() {
    int count = 0;
    wchar_t** split = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::wstring> result;
    for (int i = 1; split && i < count; ++i) result.emplace_back(split[i]);
    ::LocalFree(split);
    return result;
}

void recordStart(int argumentCount) {
    const std::wstring marker = environment(L"PULSARO_STANDIN_MARKER");
    if (marker.empty()) return;
    // Appending in one write keeps lines whole when several stand-ins start at once.
    HANDLE file =
        ::CreateFileW(marker.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    char line[64];
    const int length = std::snprintf(line, sizeof line, "started pid=%lu arguments=%d\n",
                                     ::GetCurrentProcessId(), argumentCount);
    DWORD written = 0;
    ::WriteFile(file, line, static_cast<DWORD>(length), &written, nullptr);
    ::CloseHandle(file);
}

// A GUI program has no console of its own: the text goes to a redirected standard output, or
// else to the console of the program that started it, if there is one.
void print(std::string_view text) {
    HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) {
        if (!::AttachConsole(ATTACH_PARENT_PROCESS)) return;
        out = ::CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                            nullptr);
        if (out == INVALID_HANDLE_VALUE) return;
    }
    DWORD written = 0;
    ::WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = ::BeginPaint(window, &paint);
            RECT client;
            ::GetClientRect(window, &client);
            ::DrawTextW(dc, kTitle, -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
            ::EndPaint(window, &paint);
            return 0;
        }
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
        default:
            return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

int runWindow(HINSTANCE instance, int showState) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"PulsaroZentraStandin";
    if (!::RegisterClassExW(&windowClass)) return 1;
    HWND window =
        ::CreateWindowExW(0, windowClass.lpszClassName, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                          CW_USEDEFAULT, 320, 120, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    ::ShowWindow(window, showState);
    ::UpdateWindow(window);
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showState) {
    const std::vector<std::wstring> args = arguments();
    const std::wstring first = args.empty() ? L"" : args.front();
    if (first == L"--help" || first == L"--version") {
        print(first == L"--help" ? kHelp : kVersion);
        return 0;
    }
    recordStart(static_cast<int>(args.size()));
    if (environmentSet(L"PULSARO_STANDIN_EXIT")) return 0;
    return runWindow(instance, showState);
}
