// The Win32 host beyond the contract every host keeps (host_contract_test.cpp): short names,
// files in use, devices, program starts the platform's way, the message queue and the
// diagnostics. Runs under Wine, or on Windows.

#include "common_support.h"
#include "host.h"
#include "program_starts.h"
#include "temp_drive.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace pulsaro;
using namespace pulsaro::test;
using namespace std::chrono_literals;

namespace {

using Names = std::vector<std::string>;

std::string shortNameOf(const fs::path& file) {
    std::wstring shortPath(MAX_PATH, L'\0');
    shortPath.resize(GetShortPathNameW(file.c_str(), shortPath.data(), MAX_PATH));
    return fs::path(shortPath).filename().string();
}

TEST(KillFiles, NeverMatchesAFileThroughItsShortName) {
    TempDrive t;
    const fs::path root = t.onDrive("root");
    fs::create_directories(root);
    writeFile(root / "Programmazione.txt", "long name");
    const std::string shortName = shortNameOf(root / "Programmazione.txt");
    if (shortName.empty() || shortName == "Programmazione.txt") {
        GTEST_SKIP() << "this file system gives no short names";
    }
    for (const std::string& pattern : {"c:\\root\\" + shortName, std::string(R"(c:\root\*~*)")}) {
        EXPECT_FALSE(KillFiles(pattern)) << pattern;
        EXPECT_EQ(listFolder(root), Names{"Programmazione.txt"}) << pattern;
    }
}

// The stand-in for the main application, as the build made it.
fs::path builtStandin() {
    return testProgramFolder() / DIST_FROM_TESTS / "Pulsaro_zentra.exe";
}

// A destination in use, as a reader holds a file (sharing reading only) and as the system holds a
// running program's file: the copy fails, and the file stays whole with no temporary beside it.
TEST(FileCopy, FailsOnADestinationInUseAndLeavesItWhole) {
    TempDrive t;
    fs::create_directories(t.onDrive("dest"));
    writeFile(t.dist() / "new.exe", "new");
    const fs::path app = t.onDrive("dest/app.exe");
    {
        writeFile(app, "old");
        HANDLE reader = CreateFileW(app.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(reader, INVALID_HANDLE_VALUE);
        EXPECT_FALSE(FileCopy("new.exe", R"(c:\dest\app.exe)")) << "held open for reading";
        CloseHandle(reader);
        EXPECT_EQ(readFile(app), "old");
    }
    {
        // The recorder waits for a release that never comes, until it is killed.
        fs::copy_file(helperProgram("args_recorder"), app, fs::copy_options::overwrite_existing);
        const std::string program = readFile(app);
        const ScopedEnv output("RECORDER_OUTPUT", (t.base() / "record.txt").string());
        const ScopedEnv release("RECORDER_RELEASE", (t.base() / "never").string());
        ChildProcess running(app, {});
        ASSERT_TRUE(eventually([&] { return fs::exists(t.base() / "record.txt"); }));
        EXPECT_FALSE(FileCopy("new.exe", R"(c:\dest\app.exe)")) << "a running program";
        running.kill();
        EXPECT_TRUE(readFile(app) == program);
    }
    EXPECT_EQ(listFolder(t.onDrive("dest")), Names{"app.exe"}) << "no temporary file left";
}

// The temporary file of a copy to `destination`, when there is one.
std::optional<fs::path> temporaryFileOf(const fs::path& destination) {
    const std::string prefix = "." + destination.filename().string() + ".partial-";
    for (const auto& entry : fs::directory_iterator(destination.parent_path())) {
        if (entry.path().filename().string().starts_with(prefix)) return entry.path();
    }
    return std::nullopt;
}

// A copy killed part-way leaves the old destination whole and nothing else: the system deletes
// the temporary file as the process goes. The copy is stopped while its temporary file holds part
// of the bytes, and only then killed, so the kill lands inside the copy every time.
TEST(FileCopy, KilledPartWayLeavesTheOldFileAndNothingElse) {
    TempDrive t;
    const std::string oldBytes = patternBytes(1000, 1);
    constexpr std::uintmax_t kNewSize = 64 << 20;
    writeFile(t.dist() / "big.bin", patternBytes(kNewSize, 2));
    const fs::path app = t.onDrive("dest/app.exe");
    fs::create_directories(app.parent_path());
    const auto partWay = [&] {
        std::error_code ec;
        const std::optional<fs::path> temporary = temporaryFileOf(app);
        const std::uintmax_t written = temporary ? fs::file_size(*temporary, ec) : 0;
        return !ec && written > 0 && written < kNewSize && fs::file_size(app, ec) != kNewSize;
    };
    bool caught = false;
    // The stop comes a moment after the bytes are seen; a copy may finish meanwhile.
    for (int attempt = 0; attempt < 20 && !caught; ++attempt) {
        writeFile(app, oldBytes);
        ChildProcess copy(helperProgram("file_copy_tool"), {"big.bin", R"(c:\dest\app.exe)"});
        ASSERT_TRUE(copy.started());
        caught = eventually(partWay, 60s) && copy.suspend() && partWay();
        copy.kill();
        if (!caught) continue;
        EXPECT_EQ(copy.exitCode(), 137u) << "ended by the kill";
        EXPECT_TRUE(readFile(app) == oldBytes) << "the old file is not whole";
        EXPECT_EQ(listFolder(app.parent_path()), Names{"app.exe"});
    }
    EXPECT_TRUE(caught) << "never caught the copy part-way";
}

TEST(FileCopy, RefusesADeviceAsSourceWithoutReadingIt) {
    TempDrive t;
    const OpResult result = FileCopy("NUL", R"(c:\copied)");
    EXPECT_EQ(result.code(), ErrorCode::rule(FailedRule::NotARegularFile)) << result.reason();
    EXPECT_FALSE(SameContents("NUL", "NUL"));
    EXPECT_EQ(listFolder(t.drive()), Names{});
}

TEST_F(ProgramStarts, ShellFindsABareNameThePlatformWay) {
    fs::copy_file(recorderProgram(), drive.dist() / "Besides.exe");
    fs::create_directories(drive.base() / "on_path");
    fs::copy_file(recorderProgram(), drive.base() / "on_path" / "pathprog.exe");
    const char* path = std::getenv("PATH");
    ScopedEnv pathEnv("PATH", (drive.base() / "on_path").string() + ";" + (path ? path : ""));
    struct Case {
        const char* commandLine;
        const char* argument;
    };
    for (const Case& c : {Case{"BESIDES first", "[first]"}, Case{"pathprog.EXE second", "[second]"},
                          Case{R"(c:\tools\recorder.exe third)", "[third]"}}) {
        fs::remove(output);
        ASSERT_TRUE(Shell(c.commandLine, kMinimizedFocus)) << c.commandLine;
        EXPECT_NE(recordHolding("finished").find(c.argument), std::string::npos) << c.commandLine;
    }
}

HWND visibleWindowTitled(const wchar_t* title) {
    HWND window = FindWindowW(nullptr, title);
    return window && IsWindowVisible(window) ? window : nullptr;
}

TEST_F(ProgramStarts, WindowStyleTwoStartsTheProgramMinimised) {
    if (GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) == 0) {
        GTEST_SKIP() << "no DISPLAY: Wine cannot show windows";
    }
    fs::create_directories(drive.onDrive("app"));
    fs::copy_file(builtStandin(), drive.onDrive("app/Pulsaro_zentra.exe"));
    const fs::path marker = drive.base() / "started.txt";
    ScopedEnv markerEnv("PULSARO_STANDIN_MARKER", marker.string());

    ASSERT_TRUE(Shell(R"(c:\app\Pulsaro_zentra.exe)", kMinimizedFocus));
    HWND window = nullptr;
    ASSERT_TRUE(eventually([&] { return (window = visibleWindowTitled(L"Pulsaro Zentra")); }));
    EXPECT_TRUE(IsIconic(window));
    EXPECT_EQ(linesOf(marker).size(), 1u);
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(eventually([] { return !visibleWindowTitled(L"Pulsaro Zentra"); }));
}

// A window of the test's own that counts the messages it is sent.
class CountingWindow {
  public:
    CountingWindow() {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = [](HWND window, UINT message, WPARAM w, LPARAM l) -> LRESULT {
            if (message == WM_APP) ++*reinterpret_cast<int*>(GetWindowLongPtrW(window, 0));
            return DefWindowProcW(window, message, w, l);
        };
        windowClass.cbWndExtra = sizeof(int*);
        windowClass.lpszClassName = L"PulsaroCountingWindow";
        RegisterClassW(&windowClass);
        window_ = CreateWindowW(L"PulsaroCountingWindow", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                nullptr, nullptr);
        SetWindowLongPtrW(window_, 0, reinterpret_cast<LONG_PTR>(&count));
    }
    ~CountingWindow() { DestroyWindow(window_); }
    HWND handle() const { return window_; }
    int count = 0;

  private:
    HWND window_;
};

TEST(DoEvents, HandlesEveryPendingMessageAndLeavesTheQuitForTheProgramsLoop) {
    CountingWindow counter;
    for (int i = 0; i < 3; ++i) PostMessageW(counter.handle(), WM_APP, 0, 0);
    PostQuitMessage(7);
    DoEvents();
    EXPECT_EQ(counter.count, 3);
    MSG quit;
    ASSERT_TRUE(PeekMessageW(&quit, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(quit.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(quit.wParam, 7u);
}

double cpuSeconds() {
    FILETIME created, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    const auto seconds = [](FILETIME t) {
        return static_cast<double>(ULARGE_INTEGER{{t.dwLowDateTime, t.dwHighDateTime}}.QuadPart) /
               1e7;
    };
    return seconds(kernel) + seconds(user);
}

TEST(DoEventsWaiting, SleepsUntilItsTimeWhenNothingHappens) {
    const double start = GetTimer();
    const double cpuBefore = cpuSeconds();
    DoEventsWaiting(500ms);
    EXPECT_GE(GetTimer() - start, 0.49);
    EXPECT_LT(cpuSeconds() - cpuBefore, 0.25) << "the wait spun instead of sleeping";
}

TEST(DoEventsWaiting, HandlesWhatOtherThreadsSendItMessagesAndQueuedWork) {
    CountingWindow counter;
    std::atomic<bool> workRan = false;
    HANDLE self = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &self, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    std::thread sender([&] {
        std::this_thread::sleep_for(100ms);
        PostMessageW(counter.handle(), WM_APP, 0, 0);
        QueueUserAPC([](ULONG_PTR flag) { *reinterpret_cast<std::atomic<bool>*>(flag) = true; },
                     self, reinterpret_cast<ULONG_PTR>(&workRan));
    });
    const double deadline = GetTimer() + 30;
    while ((counter.count == 0 || !workRan) && GetTimer() < deadline) DoEventsWaiting(10s);
    sender.join();
    CloseHandle(self);
    EXPECT_EQ(counter.count, 1);
    EXPECT_TRUE(workRan);
}

TEST(WriteHostDiagnostic, WritesTheLineInUtf8ToStandardError) {
    TempDrive t;
    const fs::path file = t.base() / "stderr.txt";
    HANDLE captured = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(captured, INVALID_HANDLE_VALUE);
    HANDLE previous = GetStdHandle(STD_ERROR_HANDLE);
    SetStdHandle(STD_ERROR_HANDLE, captured);
    WriteHostDiagnostic("pulsaro_test: Shell \"c:\\\xC3\xA8\": not found");
    SetStdHandle(STD_ERROR_HANDLE, previous);
    CloseHandle(captured);
    EXPECT_EQ(readFile(file), "pulsaro_test: Shell \"c:\\\xC3\xA8\": not found\r\n");
}

}  // namespace
