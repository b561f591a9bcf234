// The Wine prefix the Linux tests share: what scripts/wine_prefix.sh sets up in it, how the
// fixture reports a Windows program's end, and paths given to Windows programs.

#include "wine_prefix.h"

#include <string>

namespace pulsaro::test {
namespace {

const struct {
    const char* host;
    const char* windows;
} kPaths[] = {
    {"/", "Z:\\"},
    {"/tmp/with space/MSWINSCK.OCX", "Z:\\tmp\\with space\\MSWINSCK.OCX"},
    {"/tmp/x/../y/./marker.txt", "Z:\\tmp\\y\\marker.txt"},
};

TEST(WindowsPath, MapsHostPathsOntoTheZDrive) {
    for (const auto& path : kPaths) EXPECT_EQ(windowsPath(path.host), path.windows) << path.host;
    EXPECT_EQ(windowsPath("relative/file"),
              windowsPath(std::filesystem::current_path() / "relative/file"));
}

using WinePrefix = WinePrefixTest;

TEST_F(WinePrefix, WindowsPathsAreTheOnesWineUses) {
    for (const auto& path : kPaths) {
        const ProgramRun run = wine({"winepath", "-w", path.host});
        EXPECT_EQ(run.exitCode, 0) << run.output;
        EXPECT_EQ(run.output, windowsPath(path.host) + "\n") << path.host;
    }
}

TEST_F(WinePrefix, HasTheSettingsThatKeepWindowTestsFastAndCrashesFromHanging) {
    const struct {
        const char* key;
        const char* value;
        const char* expected;
    } settings[] = {
        {"HKCU\\Software\\Wine\\X11 Driver", "Managed", "REG_SZ    N"},
        {"HKCU\\Software\\Wine\\WineDbg", "ShowCrashDialog", "REG_DWORD    0x0"},
    };
    for (const auto& setting : settings) {
        const ProgramRun run = wine({"reg", "query", setting.key, "/v", setting.value});
        EXPECT_EQ(run.exitCode, 0) << run.output;
        EXPECT_NE(run.output.find(setting.expected), std::string::npos) << run.output;
    }
}

TEST_F(WinePrefix, ReportsTheProgramsExitCodeAndOutput) {
    const ProgramRun run = wine({"cmd", "/c", "echo started& exit 3"});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.output, "started\r\n");
}

TEST_F(WinePrefix, RegQueryListsAKeyAndFailsForAnAbsentOne) {
    const struct {
        const char* key;
        int exitCode;
        const char* output;
    } queries[] = {
        {"HKCU\\Software\\Wine\\WineDbg", 0, "ShowCrashDialog"},
        {"HKCU\\Software\\PulsaroNoSuchKey", 1, "Unable to find"},
    };
    for (const auto& query : queries) {
        const ProgramRun run = regQuery(query.key);
        EXPECT_EQ(run.exitCode, query.exitCode) << query.key;
        EXPECT_NE(run.output.find(query.output), std::string::npos) << run.output;
    }
}

TEST_F(WinePrefix, KillsAProgramThatOutlivesItsDeadline) {
    const auto started = std::chrono::steady_clock::now();
    const ProgramRun run = wine({"ping", "-n", "30", "127.0.0.1"}, {}, std::chrono::seconds(2));
    EXPECT_EQ(run.exitCode, -1);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
}

}  // namespace
}  // namespace pulsaro::test
