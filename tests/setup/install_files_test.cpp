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
    EXPECT_EQ(diagnostics.lines.size(), 2u) << "only the wipe of a root that is not there fails";
}

TEST(Passo1, ReinstallsOverACompleteInstallationAndIsIdempotent) {
    TempDrive t;
    fillDistribution(t, 1);
    SetupWindow form;
    form.form().Command1_Click();
    writeFile(t.onDrive("pulsaro_zentra/stray.log"), "left by the application");
    writeFile(t.onDrive("pulsaro_zentra/_Pulsaro/keep.txt"), "in a subfolder");
    fillDistribution(t, 2);
    form.form().Command1_Click();
    form.form().Command1_Click();
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
        bool reported = false;
        for (const std::string& line : diagnostics.lines) {
            reported |= line.find(std::string("FileCopy \"") + missing.source) != std::string::npos;
        }
        EXPECT_TRUE(reported) << missing.source;
    }
}

}  // namespace
