// Faults of the host injected under "Passo 1" and its copies: a full disk, sources that are
// folders, FIFOs or sockets or cannot be read, destinations that are read-only, folders or FIFOs.
// Each copy that meets one fails as a recorded step without waiting, leaves what was at its
// destination whole, and leaves no temporary file; every other step still does its work.

#include "action.h"
#include "host.h"
#include "host_faults.h"
#include "hostile_support.h"
#include "layout.h"
#include "setup_window.h"
#include "temp_drive.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace pulsaro;
using namespace pulsaro::test;

namespace {

constexpr std::size_t kMiB = 1 << 20;

// Lets a child process that gave up root reach the test's folders.
void openToOthers(const TempDrive& t) {
    fs::permissions(t.base(), fs::perms(0755));
    fs::permissions(t.dist(), fs::perms(0777));
}

struct CopyFault {
    const char* description;
    std::function<void(const TempDrive&)> inject;
    bool asOrdinaryUser;
};

const CopyFault kCopyFaults[] = {
    {"the source is a folder",
     [](const TempDrive& t) {
         fs::remove(t.dist() / "new.exe");
         fs::create_directory(t.dist() / "new.exe");
         writeFile(t.dist() / "new.exe" / "inside", "inside");
     },
     false},
    {"the source cannot be opened for reading",
     [](const TempDrive& t) { fs::permissions(t.dist() / "new.exe", fs::perms::none); }, true},
    {"reading the source fails",
     [](const TempDrive& t) {
         fs::remove(t.dist() / "new.exe");
         makeUnreadableByIoError(t.dist() / "new.exe");
     },
     false},
    {"the destination is read-only",
     [](const TempDrive& t) {
         fs::permissions(t.onDrive("pulsaro_zentra/_Pulsaro/pulsaro_zentra_update.exe"),
                         fs::perms(0444));
     },
     false},
    {"the destination is a folder",
     [](const TempDrive& t) {
         const fs::path destination =
             t.onDrive("pulsaro_zentra/_Pulsaro/pulsaro_zentra_update.exe");
         fs::remove(destination);
         fs::create_directory(destination);
         writeFile(destination / "kept", "kept");
     },
     false},
    {"the destination's folder cannot be written",
     [](const TempDrive& t) {
         fs::permissions(t.onDrive("pulsaro_zentra/_Pulsaro"), fs::perms(0555));
     },
     true},
};

void prepareCopy(const TempDrive& t) {
    openToOthers(t);
    fs::create_directories(t.onDrive("pulsaro_zentra/_Pulsaro"));
    fs::permissions(t.onDrive("pulsaro_zentra/_Pulsaro"), fs::perms(0777));
    writeFile(t.onDrive("pulsaro_zentra/_Pulsaro/pulsaro_zentra_update.exe"), "old updater");
    writeFile(t.dist() / "new.exe", patternBytes(200000, 7));
}

bool copyNewUpdater() {
    return FileCopy("new.exe", layout::kUpdater).ok();
}

// Without a fault the same copy works, also for an ordinary user: the faults below are what
// makes each of them fail.
TEST(CopyFaults, WithoutAFaultTheCopyWorksForAnOrdinaryUserToo) {
    TempDrive t;
    prepareCopy(t);
    EXPECT_TRUE(asOrdinaryUser(copyNewUpdater));
    EXPECT_EQ(readFile(t.onDrive("pulsaro_zentra/_Pulsaro/pulsaro_zentra_update.exe")),
              patternBytes(200000, 7));
}

TEST(CopyFaults, AFailedCopyLeavesTheDriveExactlyAsItWas) {
    for (const CopyFault& fault : kCopyFaults) {
        SCOPED_TRACE(fault.description);
        TempDrive t;
        prepareCopy(t);
        fault.inject(t);
        const auto before = treeSnapshot(t.drive());

        const bool copied =
            fault.asOrdinaryUser ? asOrdinaryUser(copyNewUpdater) : copyNewUpdater();

        EXPECT_FALSE(copied);
        EXPECT_EQ(treeSnapshot(t.drive()), before);
    }
}

// A reinstallation from a distribution folder that went bad in four ways: only those four copies
// fail, and the files they would have replaced in the subfolders stay whole.
TEST(CopyFaults, Passo1CopiesEverythingElseAndKeepsWhatItCannotReplace) {
    TempDrive t;
    fillDistribution(t, 1);
    SetupWindow form;
    form.form().Command1_Click();
    fillDistribution(t, 2);
    fs::remove(t.dist() / "AAA_QV.xls");
    fs::create_directory(t.dist() / "AAA_QV.xls");
    fs::remove(t.dist() / "buy.wav");
    makeUnreadableByIoError(t.dist() / "buy.wav");
    const fs::path updater = t.onDrive("pulsaro_zentra/_Pulsaro/pulsaro_zentra_update.exe");
    fs::permissions(updater, fs::perms(0444));
    const fs::path minipad = t.onDrive("pulsaro_zentra/QUORVIN/coordinate_minipad.txt");
    fs::remove(minipad);
    fs::create_directory(minipad);
    writeFile(minipad / "kept", "kept");
    CapturedDiagnostics diagnostics;

    form.form().Command1_Click();

    for (const char* failed :
         {"AAA_QV.xls", "buy.wav", "pulsaro_zentra_update.exe", "coordinate_minipad.txt"}) {
        EXPECT_TRUE(anyLineHolds(diagnostics.lines, {"could not copy", failed})) << failed;
    }
    EXPECT_EQ(diagnostics.lines.size(), 4u) << "the four copies, and nothing of the kept folders";
    EXPECT_EQ(readFile(updater), distContent("pulsaro_zentra_update.exe", 1));
    EXPECT_EQ(listFolder(minipad), std::vector<std::string>{"kept"});
    for (const DistFile& f : kDistFiles) {
        const std::string source = f.source;
        if (source == "AAA_QV.xls" || source == "buy.wav") {
            EXPECT_FALSE(fs::exists(t.onDrive(f.installed))) << "wiped and not copied again";
        } else if (source != "pulsaro_zentra_update.exe" && source != "coordinate_minipad.txt") {
            EXPECT_EQ(readFile(t.onDrive(f.installed)), distContent(f.source, 2)) << f.installed;
        }
    }
    EXPECT_EQ(leftoverTemporaries(t.drive()), std::vector<std::string>{});
    EXPECT_TRUE(form.element(setup::Element::Picture5)->isVisibleTo(&form));
}

struct SpecialFileCase {
    const char* description;
    const char* special;  // below the drive, made a FIFO (or a socket when it ends in ".sock")
    std::function<ErrorCode()> operation;
};

ErrorCode codeOf(const OpResult& result) {
    return result.code();
}

// The answer of SameContents in the form of the other operations' codes.
ErrorCode sameContentsCode(bool same) {
    return same ? ErrorCode{} : ErrorCode::rule(FailedRule::NotARegularFile);
}

// A FIFO blocks whoever opens it for reading; a device may block or act when opened. No
// operation opens either: each refuses at once and changes nothing.
TEST(SpecialFiles, NoOperationWaitsOnOneOrChangesAnything) {
    const SpecialFileCase cases[] = {
        {"FileCopy from a FIFO", "special/source",
         [] { return codeOf(FileCopy(R"(c:\special\source)", R"(c:\special\copy)")); }},
        {"FileCopy from a socket", "special/source.sock",
         [] { return codeOf(FileCopy(R"(c:\special\source.sock)", R"(c:\special\copy)")); }},
        {"FileCopy onto a FIFO", "special/target",
         [] { return codeOf(FileCopy(R"(c:\special\file)", R"(c:\special\target)")); }},
        {"FileLen of a FIFO", "special/target",
         [] {
             std::int64_t length = 0;
             return codeOf(FileLen(R"(c:\special\target)", length));
         }},
        {"SameContents with a FIFO first", "special/target",
         [] {
             return sameContentsCode(SameContents(R"(c:\special\target)", R"(c:\special\file)"));
         }},
        {"SameContents with a FIFO second", "special/target",
         [] {
             return sameContentsCode(SameContents(R"(c:\special\file)", R"(c:\special\target)"));
         }},
        {"a download onto a FIFO", "special/target",
         [] {
             PartialFile download;
             return codeOf(download.open(R"(c:\special\target)"));
         }},
        {"a lock on a FIFO", "special/target",
         [] {
             ExclusiveLock lock;
             return codeOf(lock.acquire(R"(c:\special\target)"));
         }},
    };
    for (const SpecialFileCase& c : cases) {
        SCOPED_TRACE(c.description);
        TempDrive t;
        fs::create_directories(t.onDrive("special"));
        writeFile(t.onDrive("special/file"), "file");
        const fs::path special = t.onDrive(c.special);
        const bool socket = special.extension() == ".sock";
        if (socket) {
            makeSocketFile(special);
        } else {
            makeFifo(special, fs::perms(0666));
        }
        const auto before = treeSnapshot(t.drive());
        std::optional<FifoWatchdog> watchdog;
        if (!socket) watchdog.emplace(special);

        const ErrorCode code = c.operation();

        if (watchdog) {
            EXPECT_FALSE(watchdog->stop()) << "waited on the FIFO";
        }
        EXPECT_EQ(code, ErrorCode::rule(FailedRule::NotARegularFile));
        EXPECT_EQ(treeSnapshot(t.drive()), before);
    }
}

// "Passo 1" from a distribution folder where one file is a FIFO: that copy fails at once, the
// window goes on, and every other file is installed.
TEST(SpecialFiles, Passo1SkipsADistributionFileThatIsAFifo) {
    TempDrive t;
    fillDistribution(t, 1);
    fs::remove(t.dist() / "pulsaro_tol.txt");
    makeFifo(t.dist() / "pulsaro_tol.txt", fs::perms(0644));
    CapturedDiagnostics diagnostics;
    SetupWindow form;
    FifoWatchdog watchdog(t.dist() / "pulsaro_tol.txt");

    form.form().Command1_Click();

    EXPECT_FALSE(watchdog.stop()) << "Passo 1 waited on the FIFO";
    EXPECT_TRUE(
        anyLineHolds(diagnostics.lines, {"could not copy", "pulsaro_tol.txt", "is not a file"}));
    for (const DistFile& f : kDistFiles) {
        if (std::string(f.source) == "pulsaro_tol.txt") {
            EXPECT_FALSE(fs::exists(t.onDrive(f.installed)));
        } else {
            EXPECT_EQ(readFile(t.onDrive(f.installed)), distContent(f.source, 1)) << f.installed;
        }
    }
    EXPECT_EQ(leftoverTemporaries(t.drive()), std::vector<std::string>{});
    EXPECT_TRUE(form.element(setup::Element::Picture5)->isVisibleTo(&form));
}

// The drive on a tmpfs of 256 KiB: small files fit, a file of 1 MiB does not.
class DiskFull : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string refused = tmpfs_.mount(t_.drive(), 256);
        if (!refused.empty()) {
            GTEST_SKIP() << "cannot mount a small tmpfs as the drive (" << refused
                         << "); the disk-full faults need root with CAP_SYS_ADMIN";
        }
    }

    TempDrive t_;
    TmpfsMount tmpfs_;
};

TEST_F(DiskFull, Passo1InstallsWhatFitsAndLeavesNoTemporaryFile) {
    fillDistribution(t_, 1, {{"Pulsaro_zentra.exe", kMiB}});
    CapturedDiagnostics diagnostics;
    SetupWindow form;
    form.form().Command1_Click();

    EXPECT_TRUE(anyLineHolds(diagnostics.lines,
                             {"could not copy", "Pulsaro_zentra.exe", "No space left on device"}));
    for (const DistFile& f : kDistFiles) {
        if (std::string(f.source) == "Pulsaro_zentra.exe") continue;
        EXPECT_EQ(readFile(t_.onDrive(f.installed)), distContent(f.source, 1)) << f.installed;
    }
    EXPECT_FALSE(fs::exists(t_.onDrive("pulsaro_zentra/Pulsaro_zentra.exe")));
    EXPECT_EQ(leftoverTemporaries(t_.drive()), std::vector<std::string>{});
    EXPECT_TRUE(form.element(setup::Element::Picture5)->isVisibleTo(&form));
}

TEST_F(DiskFull, Passo1KeepsTheSubfolderFilesItCannotReplace) {
    fillDistribution(t_, 1);
    SetupWindow form;
    form.form().Command1_Click();
    fillDistribution(t_, 2,
                     {{"pulsaro_zentra_update.exe", kMiB}, {"coordinate_minipad.txt", kMiB}});
    CapturedDiagnostics diagnostics;
    form.form().Command1_Click();

    EXPECT_TRUE(anyLineHolds(diagnostics.lines, {"pulsaro_zentra_update.exe", "No space left"}));
    EXPECT_TRUE(anyLineHolds(diagnostics.lines, {"coordinate_minipad.txt", "No space left"}));
    for (const DistFile& f : kDistFiles) {
        const std::string source = f.source;
        const bool tooBig =
            source == "pulsaro_zentra_update.exe" || source == "coordinate_minipad.txt";
        EXPECT_EQ(readFile(t_.onDrive(f.installed)), distContent(f.source, tooBig ? 1 : 2))
            << f.installed;
    }
    EXPECT_EQ(leftoverTemporaries(t_.drive()), std::vector<std::string>{});
}

TEST_F(DiskFull, ACopyOverTheInstalledApplicationKeepsItWhole) {
    fs::create_directories(t_.onDrive("pulsaro_zentra"));
    const std::string installed = patternBytes(100000, 1);
    writeFile(t_.onDrive("pulsaro_zentra/pulsaro_zentra.exe"), installed);
    writeFile(t_.dist() / "new.exe", patternBytes(kMiB, 2));

    const OpResult copy = FileCopy("new.exe", layout::kMainAppLower);

    EXPECT_FALSE(copy.ok());
    EXPECT_NE(copy.reason().find("No space left on device"), std::string::npos) << copy.reason();
    EXPECT_EQ(readFile(t_.onDrive("pulsaro_zentra/pulsaro_zentra.exe")), installed);
    EXPECT_EQ(listFolder(t_.onDrive("pulsaro_zentra")),
              std::vector<std::string>{"pulsaro_zentra.exe"});
}

}  // namespace
