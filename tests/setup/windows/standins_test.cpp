// The Windows stand-ins as the setup uses them: the controls registered and unregistered with the
// platform's regsvr32, the application started with arguments and a show state. Runs under Wine
// (or Windows) in the folder that holds the stand-ins.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

std::wstring inCurrentFolder(const std::wstring& name) {
    std::wstring folder(MAX_PATH, L'\0');
    folder.resize(::GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data()));
    return folder + L"\\" + name;
}

std::string narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

// A started process, ended when the object goes if it is still running.
class Process {
  public:
    Process(const std::wstring& commandLine, WORD showState, HANDLE output = nullptr) {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = showState;
        if (output) {
            startup.dwFlags |= STARTF_USESTDHANDLES;
            startup.hStdOutput = output;
            startup.hStdError = output;
        }
        std::wstring mutableLine = commandLine;
        started_ = ::CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr,
                                    output != nullptr, 0, nullptr, nullptr, &startup, &info_);
    }
    ~Process() {
        if (!started_) return;
        if (::WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(info_.hProcess, 99);
        }
        ::CloseHandle(info_.hThread);
        ::CloseHandle(info_.hProcess);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool started() const { return started_; }
    DWORD id() const { return info_.dwProcessId; }

    // The exit code, or nothing if the process still runs at the deadline.
    std::optional<DWORD> wait(std::chrono::milliseconds timeout) const {
        if (::WaitForSingleObject(info_.hProcess, static_cast<DWORD>(timeout.count())) !=
            WAIT_OBJECT_0) {
            return std::nullopt;
        }
        DWORD code = 0;
        ::GetExitCodeProcess(info_.hProcess, &code);
        return code;
    }

  private:
    PROCESS_INFORMATION info_{};
    bool started_ = false;
};

constexpr auto kTimeout = std::chrono::seconds(20);

struct Finished {
    std::optional<DWORD> exitCode;
    std::string output;
};

Finished runToEnd(const std::wstring& commandLine) {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) return {};
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    Process process(commandLine, SW_HIDE, writeEnd);
    ::CloseHandle(writeEnd);
    Finished finished;
    char buffer[512];
    DWORD got = 0;
    while (process.started() && ::ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got) {
        finished.output.append(buffer, got);
    }
    ::CloseHandle(readEnd);
    if (process.started()) finished.exitCode = process.wait(kTimeout);
    return finished;
}

std::optional<std::wstring> registryDefault(const std::wstring& key) {
    wchar_t value[1024];
    DWORD size = sizeof value;
    if (::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value,
                       &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::wstring(value);
}

struct Control {
    const wchar_t* file;
    const wchar_t* progId;
    const wchar_t* classId;
};

void PrintTo(const Control& control, std::ostream* out) {
    *out << narrow(control.file);
}

// The class ids are fixed: what the setup registers must be found again by the updater.
const Control kControls[] = {
    {L"MSWINSCK.OCX", L"PulsaroStandin.MSWINSCK", L"{0A050457-FA11-4DBA-824F-F0C5FACEC438}"},
    {L"MSINET.OCX", L"PulsaroStandin.MSINET", L"{E568302E-582F-4F27-B8AF-7474F0D34126}"},
    {L"MSCOMCTL.OCX", L"PulsaroStandin.MSCOMCTL", L"{F552CDC3-BB1D-4F8A-B023-81B5EA4116FB}"},
};

class ControlRegistration : public ::testing::TestWithParam<Control> {
  protected:
    std::optional<DWORD> regsvr32(const std::wstring& options) {
        return Process(L"regsvr32.exe /s " + options + L"\"" + path_ + L"\"", SW_HIDE)
            .wait(kTimeout);
    }
    std::optional<std::wstring> progIdClass() const {
        return registryDefault(std::wstring(L"Software\\Classes\\") + GetParam().progId +
                               L"\\CLSID");
    }
    std::optional<std::wstring> server() const {
        return registryDefault(std::wstring(L"Software\\Classes\\CLSID\\") + GetParam().classId +
                               L"\\InprocServer32");
    }
    void TearDown() override { regsvr32(L"/u "); }

    const std::wstring path_ = inCurrentFolder(GetParam().file);
};

TEST_P(ControlRegistration, RegistersItsOwnPathPerUserAndUnregistersCleanly) {
    ASSERT_EQ(regsvr32(L""), 0u);
    EXPECT_EQ(progIdClass(), GetParam().classId);
    const std::optional<std::wstring> registered = server();
    ASSERT_TRUE(registered);
    EXPECT_EQ(::CompareStringOrdinal(registered->c_str(), -1, path_.c_str(), -1, TRUE), CSTR_EQUAL)
        << narrow(*registered) << " is not " << narrow(path_);

    ASSERT_EQ(regsvr32(L"/u "), 0u);
    EXPECT_FALSE(progIdClass());
    EXPECT_FALSE(server());
    EXPECT_EQ(regsvr32(L"/u "), 0u) << "unregistering what is not registered fails";
}

INSTANTIATE_TEST_SUITE_P(Controls, ControlRegistration, ::testing::ValuesIn(kControls),
                         [](const auto& instance) {
                             const std::string file = narrow(instance.param.file);
                             return file.substr(0, file.find('.'));
                         });

// Each test gets a marker file of its own; the variables the stand-in reads are restored.
class Application : public ::testing::Test {
  protected:
    void SetUp() override {
        wchar_t folder[MAX_PATH];
        ASSERT_TRUE(::GetTempPathW(MAX_PATH, folder));
        wchar_t file[MAX_PATH];
        ASSERT_TRUE(::GetTempFileNameW(folder, L"pzm", 0, file));
        marker_ = file;
        ::DeleteFileW(file);
        ::SetEnvironmentVariableW(L"PULSARO_STANDIN_MARKER", marker_.c_str());
    }
    void TearDown() override {
        ::SetEnvironmentVariableW(L"PULSARO_STANDIN_MARKER", nullptr);
        ::SetEnvironmentVariableW(L"PULSARO_STANDIN_EXIT", nullptr);
        ::DeleteFileW(marker_.c_str());
    }

    std::wstring commandLine(const std::wstring& arguments) const {
        return L"\"" + inCurrentFolder(L"Pulsaro_zentra.exe") + L"\" " + arguments;
    }
    std::string marker() const {
        std::string content;
        HANDLE file = ::CreateFileW(marker_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return content;
        char buffer[512];
        DWORD got = 0;
        while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got) {
            content.append(buffer, got);
        }
        ::CloseHandle(file);
        return content;
    }
    static std::string startLine(DWORD pid, int arguments) {
        return "started pid=" + std::to_string(pid) + " arguments=" + std::to_string(arguments) +
               "\n";
    }

    std::wstring marker_;
};

TEST_F(Application, RecordsEachStartWithItsArgumentCountAndEndsAtOnceWhenAsked) {
    ::SetEnvironmentVariableW(L"PULSARO_STANDIN_EXIT", L"");
    const struct {
        const wchar_t* arguments;
        int count;
    } starts[] = {{L"", 0}, {L"/S", 1}, {L"\"c:\\with space\\x\" -v", 2}};
    std::string expected;
    for (const auto& start : starts) {
        Process process(commandLine(start.arguments), SW_SHOWNORMAL);
        ASSERT_TRUE(process.started());
        EXPECT_EQ(process.wait(kTimeout), 0u) << narrow(start.arguments);
        expected += startLine(process.id(), start.count);
    }
    EXPECT_EQ(marker(), expected);
}

TEST_F(Application, HelpAndVersionPrintAndStartNothing) {
    for (const wchar_t* option : {L"--help", L"--version"}) {
        const Finished finished = runToEnd(commandLine(option));
        EXPECT_EQ(finished.exitCode, 0u) << narrow(option);
        EXPECT_NE(finished.output.find("Pulsaro_zentra.exe"), std::string::npos)
            << narrow(option) << " printed: " << finished.output;
    }
    EXPECT_EQ(marker(), "");
}

HWND windowOf(DWORD pid) {
    struct Search {
        DWORD pid;
        HWND found;
    } search{pid, nullptr};
    ::EnumWindows(
        [](HWND window, LPARAM parameter) -> BOOL {
            auto* s = reinterpret_cast<Search*>(parameter);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            if (owner != s->pid || !::IsWindowVisible(window)) return TRUE;
            s->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND waitForWindow(DWORD pid) {
    const auto deadline = std::chrono::steady_clock::now() + kTimeout;
    for (; std::chrono::steady_clock::now() < deadline;
         std::this_thread::sleep_for(std::chrono::milliseconds(20))) {
        if (HWND window = windowOf(pid)) return window;
    }
    return nullptr;
}

TEST_F(Application, OpensItsWindowInTheShowStateItIsStartedWithAndEndsWhenClosed) {
    if (::GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) == 0) {
        GTEST_SKIP() << "no DISPLAY: Wine cannot show windows (run under Xvfb)";
    }
    const struct {
        WORD showState;
        bool minimised;
        bool maximised;
    } states[] = {{SW_SHOWNORMAL, false, false},
                  {SW_SHOWMINIMIZED, true, false},
                  {SW_SHOWMAXIMIZED, false, true}};
    for (const auto& state : states) {
        SCOPED_TRACE("show state " + std::to_string(state.showState));
        Process process(commandLine(L""), state.showState);
        ASSERT_TRUE(process.started());
        HWND window = waitForWindow(process.id());
        ASSERT_TRUE(window);
        wchar_t title[64];
        ::GetWindowTextW(window, title, 64);
        EXPECT_STREQ(title, L"Pulsaro Zentra");
        EXPECT_EQ(::IsIconic(window) != FALSE, state.minimised);
        EXPECT_EQ(::IsZoomed(window) != FALSE, state.maximised);
        ::PostMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(process.wait(kTimeout), 0u);
        EXPECT_NE(marker().find(startLine(process.id(), 0)), std::string::npos);
    }
}

}  // namespace
