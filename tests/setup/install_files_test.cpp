#include "form1.h"
#include "layout.h"
#include "temp_drive.h"

#include <QLabel>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace fs = std::filesystem;
using namespace pulsaro;
using namespace pulsaro::test;

namespace {

// Every distribution file, its content, and where "Passo 1" puts it below the drive.
struct DistFile {
    const char* source;
    const char* installed;
};
const DistFile kDistFiles[] = {
    {"AAA_QV.xls", "pulsaro_zentra/AAA_QV.xls"},
    {"MSWINSCK.OCX", "pulsaro_zentra/MSWINSCK.OCX"},
    {"MSINET.OCX", "pulsaro_zentra/MSINET.OCX"},
    {"MSCOMCTL.OCX", "pulsaro_zentra/MSCOMCTL.OCX"},
    {"Pulsaro_zentra.exe", "pulsaro_zentra/Pulsaro_zentra.exe"},
    {"coordinate_minipad.txt", "pulsaro_zentra/QUORVIN/coordinate_minipad.txt"},
    {"pulsaro_tol.txt", "pulsaro_zentra/pulsaro_tol.txt"},
    {"pulsaro_cfg_web2.txt", "pulsaro_zentra/pulsaro_cfg_web2.txt"},
    {"buy.wav", "pulsaro_zentra/buy.wav"},
    {"alarm.wav", "pulsaro_zentra/alarm.wav"},
    {"pulsaro_zentra_update.exe", "pulsaro_zentra/_Pulsaro/pulsaro_zentra_update.exe"},
};

std::string contentOf(const std::string& source, unsigned generation) {
    return source + " generation " + std::to_string(generation) + "\n" +
           patternBytes(3000 + source.size(), generation);
}

void fillDistribution(const TempDrive& t, unsigned generation) {
    for (const DistFile& f : kDistFiles)
        writeFile(t.dist() / f.source, contentOf(f.source, generation));
}

std::vector<std::string> rootListing() {
    return {"AAA_QV.xls",     "MSCOMCTL.OCX", "MSINET.OCX", "MSWINSCK.OCX", "Pulsaro_zentra.exe",
            "QUORVIN",        "_Pulsaro",     "alarm.wav",  "buy.wav",      "pulsaro_cfg_web2.txt",
            "pulsaro_tol.txt"};
}

void expectCompleteTree(const TempDrive& t, unsigned generation) {
    EXPECT_EQ(listFolder(t.onDrive("pulsaro_zentra")), rootListing());
    EXPECT_EQ(listFolder(t.onDrive("pulsaro_zentra/QUORVIN")),
              std::vector<std::string>{"coordinate_minipad.txt"});
    EXPECT_EQ(listFolder(t.onDrive("pulsaro_zentra/_Pulsaro")),
              std::vector<std::string>{"pulsaro_zentra_update.exe"});
    for (const DistFile& f : kDistFiles) {
        EXPECT_EQ(readFile(t.onDrive(f.installed)), contentOf(f.source, generation)) << f.installed;
    }
}

TEST(Passo1, InstallsTheCompleteTreeOnACleanDrive) {
    TempDrive t;
    fillDistribution(t, 1);
    CapturedDiagnostics diagnostics;
    Form1 form;
    ASSERT_FALSE(form.Picture5->isVisibleTo(&form));
    form.Command1_Click();
    expectCompleteTree(t, 1);
    EXPECT_TRUE(form.Picture5->isVisibleTo(&form));
    const fs::perms mode = fs::status(t.onDrive("pulsaro_zentra/Pulsaro_zentra.exe")).permissions();
    EXPECT_NE(mode & fs::perms::owner_exec, fs::perms::none);
    EXPECT_EQ(diagnostics.lines.size(), 2u) << "only the wipe of a root that is not there fails";
}

TEST(Passo1, ReinstallsOverACompleteInstallationAndIsIdempotent) {
    TempDrive t;
    fillDistribution(t, 1);
    Form1 form;
    form.Command1_Click();
    writeFile(t.onDrive("pulsaro_zentra/stray.log"), "left by the application");
    writeFile(t.onDrive("pulsaro_zentra/_Pulsaro/keep.txt"), "in a subfolder");
    fillDistribution(t, 2);
    form.Command1_Click();
    form.Command1_Click();
    EXPECT_EQ(listFolder(t.onDrive("pulsaro_zentra")), rootListing()) << "root files were wiped";
    EXPECT_EQ(listFolder(t.onDrive("pulsaro_zentra/_Pulsaro")),
              (std::vector<std::string>{"keep.txt", "pulsaro_zentra_update.exe"}));
    for (const DistFile& f : kDistFiles) {
        EXPECT_EQ(readFile(t.onDrive(f.installed)), contentOf(f.source, 2)) << f.installed;
    }
}

TEST(Passo1, AMissingSourceLeavesOnlyItsDestinationAbsent) {
    for (const DistFile& missing : {kDistFiles[0], kDistFiles[5], kDistFiles[10]}) {
        TempDrive t;
        fillDistribution(t, 1);
        Form1 form;
        form.Command1_Click();
        fillDistribution(t, 2);
        fs::remove(t.dist() / missing.source);
        CapturedDiagnostics diagnostics;
        form.Command1_Click();
        EXPECT_TRUE(form.Picture5->isVisibleTo(&form));
        for (const DistFile& f : kDistFiles) {
            if (std::string(f.source) == missing.source) continue;
            EXPECT_EQ(readFile(t.onDrive(f.installed)), contentOf(f.source, 2)) << f.installed;
        }
        const bool inRoot = fs::path(missing.installed).parent_path() == "pulsaro_zentra";
        if (inRoot) {
            EXPECT_FALSE(fs::exists(t.onDrive(missing.installed))) << "wiped and not copied again";
        } else {
            EXPECT_EQ(readFile(t.onDrive(missing.installed)), contentOf(missing.source, 1))
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
