#include "drive.h"
#include "host.h"
#include "process_support.h"
#include "temp_drive.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

namespace fs = std::filesystem;
using namespace pulsaro;
using namespace pulsaro::test;

namespace {

TEST(DriveRoot, FollowsTheConfiguredFolderAndItsFallbacks) {
    TempDrive t;
    const fs::path configured = t.base() / "elsewhere" / "c";
    {
        ScopedEnv drive("PULSARO_DRIVE_C", configured.c_str());
        ScopedEnv prefix("WINEPREFIX", (t.base() / "prefix").c_str());
        const MappedPath root = driveRoot();
        ASSERT_TRUE(root.ok()) << root.error;
        EXPECT_EQ(root.path, configured);
        EXPECT_TRUE(fs::is_directory(configured)) << "a drive root always exists";
    }
    struct Fallback {
        const char* name;
        std::optional<std::string> winePrefix, dataHome, home;
        fs::path expected;
    };
    const fs::path base = t.base();
    const Fallback fallbacks[] = {
        {"the Wine prefix's drive", (base / "prefix").string(), (base / "data").string(),
         std::nullopt, base / "prefix" / "drive_c"},
        {"the XDG data folder", std::nullopt, (base / "data").string(), std::nullopt,
         base / "data" / "pulsaro" / "drive_c"},
        {"the home folder", "", std::nullopt, (base / "home").string(),
         base / "home" / ".local" / "share" / "pulsaro" / "drive_c"},
    };
    for (const Fallback& f : fallbacks) {
        SCOPED_TRACE(f.name);
        ScopedEnv drive("PULSARO_DRIVE_C", std::nullopt);
        ScopedEnv prefix("WINEPREFIX", f.winePrefix);
        ScopedEnv data("XDG_DATA_HOME", f.dataHome);
        ScopedEnv home("HOME", f.home);
        EXPECT_EQ(driveRoot().path, f.expected);
    }
}

TEST(WinePrefixOf, IsTheDrivesParentWhenThatHoldsWinesRegistry) {
    TempDrive t;
    fs::create_directories(t.base() / "prefix" / "drive_c");
    writeFile(t.base() / "prefix" / "system.reg", "WINE REGISTRY Version 2\n");
    fs::create_directories(t.base() / "folder_reg" / "system.reg");
    fs::create_directories(t.base() / "folder_reg" / "drive_c");
    EXPECT_EQ(winePrefixOf(t.base() / "prefix" / "drive_c"), t.base() / "prefix");
    EXPECT_EQ(winePrefixOf(t.drive()), fs::path()) << "a drive folder of its own";
    EXPECT_EQ(winePrefixOf(t.base() / "folder_reg" / "drive_c"), fs::path())
        << "system.reg must be a file";
}

TEST(ResolvePath, MapsWindowsSpellingsOntoTheDrive) {
    TempDrive t;
    fs::create_directories(t.onDrive("Pulsaro_Zentra/_Pulsaro"));
    struct Case {
        const char* windows;
        fs::path expected;
    };
    const Case cases[] = {
        {R"(c:\pulsaro_zentra\_pulsaro\x.exe)", t.onDrive("Pulsaro_Zentra/_Pulsaro/x.exe")},
        {R"(C:\PULSARO_ZENTRA\_PULSARO)", t.onDrive("Pulsaro_Zentra/_Pulsaro")},
        {"c:/pulsaro_zentra//_pulsaro/", t.onDrive("Pulsaro_Zentra/_Pulsaro")},
        {R"(c:\new\folder)", t.onDrive("new/folder")},
        {R"(c:\)", t.drive()},
        {"relative.txt", t.dist() / "relative.txt"},
    };
    for (const Case& c : cases) {
        const MappedPath got = mapPath(c.windows);
        ASSERT_TRUE(got.ok()) << c.windows << ": " << got.error;
        EXPECT_EQ(got.path, c.expected) << c.windows;
    }
}

TEST(ResolvePath, RefusesWhatLeavesTheDrive) {
    TempDrive t;
    fs::create_directories(t.onDrive("pulsaro_zentra"));
    fs::create_directories(t.base() / "outside");
    fs::create_directory_symlink(t.base() / "outside", t.onDrive("pulsaro_zentra/_Pulsaro"));
    fs::create_directory_symlink("/", t.onDrive("pulsaro_zentra/QUORVIN"));
    fs::create_directory_symlink(t.onDrive("pulsaro_zentra"), t.onDrive("inside_link"));
    for (const char* refused : {R"(d:\file)", R"(\\server\share\f)", R"(c:\pulsaro_zentra\..\..\x)",
                                R"(c:\pulsaro_zentra\_pulsaro\x.exe)",
                                R"(c:\pulsaro_zentra\quorvin\coordinate_minipad.txt)"}) {
        EXPECT_FALSE(mapPath(refused).ok()) << refused;
    }
    EXPECT_TRUE(mapPath(R"(c:\inside_link\x)").ok()) << "a link that stays on the drive is fine";
}

TEST(ResolvePath, PicksTheFirstMatchInByteOrderAndPrefersAnExactOne) {
    TempDrive t;
    for (const char* name : {"_pulsaro", "_Pulsaro", "_PULSARO"})
        fs::create_directory(t.onDrive(name));
    EXPECT_EQ(mapPath(R"(c:\_PuLsArO)").path, t.onDrive("_PULSARO"));
    EXPECT_EQ(mapPath(R"(c:\_pulsaro)").path, t.onDrive("_pulsaro"));
    EXPECT_EQ(mapPath(R"(c:\_Pulsaro)").path, t.onDrive("_Pulsaro"));
}

// The programs write one folder or file in different letter cases in different places; on this
// case-sensitive host each must still be one entry.
TEST(ResolvePath, DifferentSpellingsOfTheInstallTreeMeetInOneEntry) {
    TempDrive t;
    writeFile(t.dist() / "src", "bytes");
    ASSERT_TRUE(MakeDir(R"(c:\pulsaro_zentra)"));
    ASSERT_TRUE(MakeDir(R"(c:\pulsaro_zentra\_Pulsaro)"));
    ASSERT_TRUE(MakeDir(R"(c:\pulsaro_zentra\QUORVIN)"));
    ASSERT_TRUE(FileCopy("src", R"(c:\pulsaro_zentra\_pulsaro\pulsaro_zentra_update.exe)"));
    ASSERT_TRUE(FileCopy("src", R"(c:\pulsaro_zentra\quorvin\coordinate_minipad.txt)"));
    ASSERT_TRUE(FileCopy("src", R"(c:\pulsaro_zentra\Pulsaro_zentra.exe)"));
    ASSERT_TRUE(FileCopy("src", R"(c:\pulsaro_zentra\pulsaro_zentra.exe)"));
    EXPECT_FALSE(MakeDir(R"(c:\pulsaro_zentra\_pulsaro)")) << "no second folder differing in case";

    EXPECT_EQ(listFolder(t.onDrive("pulsaro_zentra")),
              (std::vector<std::string>{"Pulsaro_zentra.exe", "QUORVIN", "_Pulsaro"}));
    EXPECT_EQ(listFolder(t.onDrive("pulsaro_zentra/_Pulsaro")),
              std::vector<std::string>{"pulsaro_zentra_update.exe"});
    EXPECT_EQ(listFolder(t.onDrive("pulsaro_zentra/QUORVIN")),
              std::vector<std::string>{"coordinate_minipad.txt"});
    ASSERT_TRUE(KillFiles(R"(c:\pulsaro_zentra\pulsaro_zentra.exe)"));
    EXPECT_FALSE(fs::exists(t.onDrive("pulsaro_zentra/Pulsaro_zentra.exe")));
}

}  // namespace
