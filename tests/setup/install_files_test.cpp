#include "dist_files.h"
#include "layout.h"
#include "setup_window.h"
#include "temp_drive.h"

#include <QLabel>

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using namespace pulsaro;
using namespace pulsaro::test;

namespace {

TEST(Passo1, InstallsTheCompleteTreeOnACleanDrive) {
    TempDrive t;
    fillDistribution(t, 1);
    CapturedDiagnostics diagnostics;
    SetupWindow form;
    ASSERT_FALSE(form.element(setup::Element::Picture5)->isVisibleTo(&form));
    form.form().Command1_Click();
    expectCompleteTree(t, 1);
    EXPECT_TRUE(form.element(setup::Element::Picture5)->isVisibleTo(&form));
    const fs::perms mode = fs::status(t.onDrive("pulsaro_zentra/Pulsaro_zentra.exe")).permissions();
    EXPECT_NE(mode & fs::perms::owner_exec, fs::perms::none);
    EXPECT_EQ(diagnostics.lines, std::vector<std::string>{})
        << "the wipe of a root that is not there leaves nothing undone";
}

TEST(Passo1, ReinstallsOverACompleteInstallationAndIsIdempotent) {
    TempDrive t;
    fillDistribution(t, 1);
    SetupWindow form;
    form.form().Command1_Click();
    writeFile(t.onDrive("pulsaro_zentra/stray.log"), "left by the application");
    writeFile(t.onDrive("pulsaro_zentra/_Pulsaro/keep.txt"), "in a subfolder");
    fillDistribution(t, 2);
    CapturedDiagnostics diagnostics;
    form.form().Command1_Click();
    form.form().Command1_Click();
    EXPECT_EQ(diagnostics.lines, std::vector<std::string>{})
        << "the root kept for its subfolders and the folders already there leave nothing undone";
    EXPECT_EQ(listFolder(t.onDrive("pulsaro_zentra")), installedRootListing())
        << "root files were wiped";
    EXPECT_EQ(listFolder(t.onDrive("pulsaro_zentra/_Pulsaro")),
              (std::vector<std::string>{"keep.txt", "pulsaro_zentra_update.exe"}));
    for (const DistFile& f : kDistFiles) {
        EXPECT_EQ(readFile(t.onDrive(f.installed)), distContent(f.source, 2)) << f.installed;
    }
}

TEST(Passo1, AMissingSourceLeavesOnlyItsDestinationAbsent) {
    for (const DistFile& missing : {kDistFiles[0], kDistFiles[5], kDistFiles[10]}) {
        TempDrive t;
        fillDistribution(t, 1);
        SetupWindow form;
        form.form().Command1_Click();
        fillDistribution(t, 2);
        fs::remove(t.dist() / missing.source);
        CapturedDiagnostics diagnostics;
        form.form().Command1_Click();
        EXPECT_TRUE(form.element(setup::Element::Picture5)->isVisibleTo(&form));
        for (const DistFile& f : kDistFiles) {
            if (std::string(f.source) == missing.source) continue;
            EXPECT_EQ(readFile(t.onDrive(f.installed)), distContent(f.source, 2)) << f.installed;
        }
        const bool inRoot = fs::path(missing.installed).parent_path() == "pulsaro_zentra";
        if (inRoot) {
            EXPECT_FALSE(fs::exists(t.onDrive(missing.installed))) << "wiped and not copied again";
        } else {
            EXPECT_EQ(readFile(t.onDrive(missing.installed)), distContent(missing.source, 1))
                << "a subfolder file survives a failed copy unchanged";
        }
        ASSERT_EQ(diagnostics.lines.size(), 1u) << "only the copy that could not be made is said";
        const std::string said = diagnostics.lines[0];
        EXPECT_EQ(said.rfind("pulsaro_setup: could not copy \"" + std::string(missing.source) +
                                 "\" to \"c:\\pulsaro_zentra\\",
                             0),
                  0u)
            << said;
        EXPECT_TRUE(said.ends_with(": No such file or directory")) << said;
    }
}

}  // namespace
