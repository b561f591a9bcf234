// The setup on a drive that is a Wine prefix's drive_c, with the Windows stand-ins in place of the
// vendor's files: "Avvia Pulsaro" starts the Windows application through Wine, and "Passo 2"
// reaches Wine's own regsvr32, which registers the controls in the prefix's registry.

#include "hermetic.h"
#include "process_support.h"
#include "setup_window.h"
#include "temp_drive.h"
#include "wine_prefix.h"

#include <QTest>

#include <optional>

namespace fs = std::filesystem;
using namespace pulsaro;
using namespace pulsaro::test;
using namespace std::chrono_literals;

namespace {

// Wine starts a program in a few seconds, or in many more on a loaded machine.
constexpr auto kWineStart = 90s;

class SetupUnderWine : public WinePrefixTest {
  protected:
    void SetUpInPrefix() override {
        if (!fs::exists(standIns / "Pulsaro_zentra.exe")) {
            GTEST_SKIP() << "the Windows stand-ins were not built: mingw-w64 "
                            "(g++-mingw-w64-x86-64-posix) is not installed";
        }
        fs::remove_all(installRoot());
        fs::create_directories(installRoot());
        wineOnPath.emplace(toolPath("wine"), "wine");
        onPrefixDrive.emplace("PULSARO_DRIVE_C", (prefix() / "drive_c").string());
    }
    void TearDown() override {
        wineOnPath.reset();
        if (!prefix().empty()) fs::remove_all(installRoot());
    }

    fs::path installRoot() const { return prefix() / "drive_c" / "pulsaro_zentra"; }

    const fs::path standIns = PULSARO_WINDOWS_STANDINS_DIR;
    std::optional<OnPath> wineOnPath;  // where Shell looks for it
    TempDrive folders;  // the current folder, as the distribution folder, and a scratch folder
    std::optional<ScopedEnv> onPrefixDrive;
    const ScopedEnv quietWine{"WINEDEBUG", "-all"};
    CapturedDiagnostics diagnostics;
    RecordingMessageBox messages;
};

TEST_F(SetupUnderWine, AvviaPulsaroStartsTheWindowsApplicationThroughWine) {
    fs::copy_file(standIns / "Pulsaro_zentra.exe", installRoot() / "Pulsaro_zentra.exe");
    const fs::path marker = folders.base() / "started.txt";
    const ScopedEnv markerEnv("PULSARO_STANDIN_MARKER", windowsPath(marker));
    const ScopedEnv exitEnv("PULSARO_STANDIN_EXIT", "1");
    SetupWindow form;
    form.show();

    QTest::mouseClick(form.element(setup::Element::Command4), Qt::LeftButton);

    EXPECT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(diagnostics.lines, std::vector<std::string>{});
    ASSERT_TRUE(eventually([&] { return !linesOf(marker).empty(); }, kWineStart))
        << "the Windows application did not record its start";
    const std::string start = linesOf(marker)[0];
    EXPECT_TRUE(start.starts_with("started pid=") && start.ends_with(" arguments=0")) << start;
}

TEST_F(SetupUnderWine, Passo2RegistersTheControlsWithWinesOwnRegsvr32) {
    const struct {
        const char* file;
        const char* classId;
        const char* registeredAs;  // the path in the registration command line
    } controls[] = {
        {"MSWINSCK.OCX", "{0A050457-FA11-4DBA-824F-F0C5FACEC438}",
         R"(c:\pulsaro_zentra\MSWINSCK.OCX)"},
        {"MSINET.OCX", "{E568302E-582F-4F27-B8AF-7474F0D34126}", R"(c:\pulsaro_zentra\MSinet.ocx)"},
        {"MSCOMCTL.OCX", "{F552CDC3-BB1D-4F8A-B023-81B5EA4116FB}",
         R"(c:\pulsaro_zentra\mscomctl.ocx)"},
    };
    const auto serverKey = [](const char* classId) {
        return std::string(R"(HKCU\Software\Classes\CLSID\)") + classId + R"(\InprocServer32)";
    };
    for (const auto& control : controls) {
        fs::copy_file(standIns / control.file, installRoot() / control.file);
        wine({"reg", "delete", std::string(R"(HKCU\Software\Classes\CLSID\)") + control.classId,
              "/f"});
        ASSERT_EQ(regQuery(serverKey(control.classId)).exitCode, 1) << "registered before the test";
    }
    // Our regsvr32 stand-in sits beside the setup as in the distribution folder; on a Wine
    // prefix's drive it must not be the one found.
    fs::create_directories(folders.dist() / "system_standins");
    fs::create_symlink(builtDistribution() / "system_standins" / "regsvr32",
                       folders.dist() / "system_standins" / "regsvr32");
    SetupWindow form;
    form.show();

    QTest::mouseClick(form.element(setup::Element::Command6), Qt::LeftButton);

    EXPECT_TRUE(form.element(setup::Element::Picture7)->isVisible());
    EXPECT_EQ(diagnostics.lines, std::vector<std::string>{});
    for (const auto& control : controls) {
        SCOPED_TRACE(control.file);
        ProgramRun query;
        EXPECT_TRUE(
            eventually([&] { return (query = regQuery(serverKey(control.classId))).exitCode == 0; },
                       kWineStart));
        EXPECT_NE(lowerCase(query.output).find(lowerCase(control.registeredAs)), std::string::npos)
            << query.output;
    }
    EXPECT_FALSE(fs::exists(prefix() / "drive_c/windows/system32/pulsaro_registered_controls.txt"))
        << "the stand-in registered the controls";
}

}  // namespace
