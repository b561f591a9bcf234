// Install trees in shapes the programs did not make: folders that are links leading off the
// drive, "..", a file where a folder belongs, one folder present in two letter cases. Whatever
// the shape, no operation changes anything outside the drive folder, and every refusal is a
// recorded failed step.

#include "action.h"
#include "case_fold.h"
#include "drive.h"
#include "host.h"
#include "hostile_support.h"
#include "layout.h"
#include "setup_window.h"
#include "temp_drive.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace pulsaro;
using namespace pulsaro::test;

namespace {

// An outside folder next to the drive, with what an attacker would like the programs to touch.
fs::path makeOutside(const TempDrive& t) {
    const fs::path outside = t.base() / "outside";
    fs::create_directories(outside / "empty");
    writeFile(outside / "secret.txt", "secret");
    writeFile(outside / "pulsaro_zentra.exe", "outside application");
    writeFile(outside / "pulsaro_zentra_update.exe", "outside updater");
    writeFile(outside / "AAA_QV.xls", "outside workbook");
    writeFile(outside / "prog.exe", "#!/bin/sh\ntouch \"$0.ran\"\n");
    fs::permissions(outside / "prog.exe", fs::perms(0755));
    return outside;
}

// A name below "/" that nothing else uses, so a containment failure is seen and undone.
constexpr const char* kProbeName = "pulsaro-containment-probe";

class RootProbe {
  public:
    RootProbe() { fs::remove_all(fs::path("/") / kProbeName); }
    ~RootProbe() { fs::remove_all(fs::path("/") / kProbeName); }
    bool touched() const { return fs::exists(fs::symlink_status(fs::path("/") / kProbeName)); }
};

struct HostileShape {
    const char* description;
    std::function<void(const TempDrive&, const fs::path& outside)> plant;
    std::vector<std::string> refusedSources;  // distribution files whose copy must be refused
};

const HostileShape kLinkShapes[] = {
    {"_Pulsaro links to a folder off the drive",
     [](const TempDrive& t, const fs::path& outside) {
         fs::create_directories(t.onDrive("pulsaro_zentra"));
         fs::create_directory_symlink(outside, t.onDrive("pulsaro_zentra/_Pulsaro"));
     },
     {"pulsaro_zentra_update.exe"}},
    {"_pulsaro, in the other letter case, links off the drive",
     [](const TempDrive& t, const fs::path& outside) {
         fs::create_directories(t.onDrive("pulsaro_zentra"));
         fs::create_directory_symlink(outside, t.onDrive("pulsaro_zentra/_pulsaro"));
     },
     {"pulsaro_zentra_update.exe"}},
    {"QUORVIN links to /",
     [](const TempDrive& t, const fs::path&) {
         fs::create_directories(t.onDrive("pulsaro_zentra"));
         fs::create_directory_symlink("/", t.onDrive("pulsaro_zentra/QUORVIN"));
     },
     {"coordinate_minipad.txt"}},
    {"QUORVIN links off the drive through a relative link",
     [](const TempDrive& t, const fs::path&) {
         fs::create_directories(t.onDrive("pulsaro_zentra"));
         fs::create_directory_symlink("../../outside", t.onDrive("pulsaro_zentra/QUORVIN"));
     },
     {"coordinate_minipad.txt"}},
    {"the install root itself links off the drive",
     [](const TempDrive& t, const fs::path& outside) {
         fs::create_directory_symlink(outside, t.onDrive("pulsaro_zentra"));
     },
     {"AAA_QV.xls", "MSWINSCK.OCX", "MSINET.OCX", "MSCOMCTL.OCX", "Pulsaro_zentra.exe",
      "coordinate_minipad.txt", "pulsaro_tol.txt", "pulsaro_cfg_web2.txt", "buy.wav", "alarm.wav",
      "pulsaro_zentra_update.exe"}},
};

bool refused(const HostileShape& shape, const std::string& source) {
    for (const std::string& s : shape.refusedSources) {
        if (s == source) return true;
    }
    return false;
}

TEST(Containment, Passo1NeverActsThroughALinkLeavingTheDrive) {
    for (const HostileShape& shape : kLinkShapes) {
        SCOPED_TRACE(shape.description);
        TempDrive t;
        const fs::path outside = makeOutside(t);
        shape.plant(t, outside);
        fillDistribution(t, 1);
        const auto outsideBefore = treeSnapshot(outside);
        const bool rootHadMinipad = fs::exists("/coordinate_minipad.txt");
        CapturedDiagnostics diagnostics;
        SetupWindow form;

        form.form().Command1_Click();

        EXPECT_EQ(treeSnapshot(outside), outsideBefore);
        EXPECT_EQ(fs::exists("/coordinate_minipad.txt"), rootHadMinipad);
        for (const DistFile& f : kDistFiles) {
            if (refused(shape, f.source)) {
                EXPECT_TRUE(anyLineHolds(diagnostics.lines,
                                         {"could not copy", f.source, "links outside the drive"}))
                    << f.source;
            } else {
                EXPECT_EQ(readFile(t.onDrive(f.installed)), distContent(f.source, 1))
                    << f.installed;
            }
        }
        EXPECT_TRUE(form.element(setup::Element::Picture5)->isVisibleTo(&form))
            << "the action still completes";
    }
}

// One operation on a hostile path: it must fail, be recorded, and change nothing off the drive.
struct RefusedStep {
    const char* description;
    std::function<OpResult()> run;
};

TEST(Containment, EveryOperationRefusesLinksAndDotDotLeavingTheDrive) {
    TempDrive t;
    RootProbe probe;
    const fs::path outside = makeOutside(t);
    fs::create_directories(t.onDrive("pulsaro_zentra"));
    fs::create_directory_symlink(outside, t.onDrive("pulsaro_zentra/_Pulsaro"));
    fs::create_directory_symlink("/", t.onDrive("pulsaro_zentra/QUORVIN"));
    fs::create_symlink(outside / "secret.txt", t.onDrive("pulsaro_zentra/secret_link.txt"));
    fs::create_symlink(outside / "prog.exe", t.onDrive("pulsaro_zentra/prog_link.exe"));
    writeFile(t.dist() / "src.bin", "new bytes");
    const std::string probe_ = std::string(R"(c:\pulsaro_zentra\quorvin\)") + kProbeName;

    const RefusedStep steps[] = {
        {"KillFiles in a linked folder",
         [] { return KillFiles(R"(c:\pulsaro_zentra\_pulsaro\*.*)"); }},
        {"KillFiles of one file in a linked folder",
         [] { return KillFiles(R"(c:\pulsaro_zentra\_Pulsaro\pulsaro_zentra.exe)"); }},
        {"RemoveDir in a linked folder",
         [] { return RemoveDir(R"(c:\pulsaro_zentra\_pulsaro\empty)"); }},
        {"MakeDir in a linked folder",
         [] { return MakeDir(R"(c:\pulsaro_zentra\_pulsaro\made)"); }},
        {"MakeDir in a folder linked to /", [&] { return MakeDir(probe_); }},
        {"FileCopy into a linked folder",
         [] { return FileCopy("src.bin", R"(c:\pulsaro_zentra\_pulsaro\pulsaro_zentra.exe)"); }},
        {"FileCopy into a folder linked to /", [&] { return FileCopy("src.bin", probe_); }},
        {"FileCopy from a linked folder",
         [] {
             return FileCopy(R"(c:\pulsaro_zentra\_pulsaro\secret.txt)",
                             R"(c:\pulsaro_zentra\copy.txt)");
         }},
        {"FileCopy from a file linked off the drive",
         [] {
             return FileCopy(R"(c:\pulsaro_zentra\secret_link.txt)",
                             R"(c:\pulsaro_zentra\copy.txt)");
         }},
        {"Shell of a program in a linked folder",
         [] { return Shell(R"(c:\pulsaro_zentra\_pulsaro\prog.exe)", kMinimizedFocus); }},
        {"Shell of a program linked off the drive",
         [] { return Shell(R"(c:\pulsaro_zentra\prog_link.exe)", kMinimizedFocus); }},
        {"KillFiles above the drive", [] { return KillFiles(R"(c:\..\outside\*.*)"); }},
        {"RemoveDir above the drive",
         [] { return RemoveDir(R"(c:\pulsaro_zentra\..\..\outside\empty)"); }},
        {"MakeDir above the drive", [] { return MakeDir(R"(c:\..\made)"); }},
        {"FileCopy to above the drive",
         [] { return FileCopy("src.bin", R"(c:\..\outside\x.exe)"); }},
        {"FileCopy from above the drive",
         [] { return FileCopy(R"(c:\..\outside\secret.txt)", R"(c:\pulsaro_zentra\copy.txt)"); }},
        {"Shell above the drive",
         [] { return Shell(R"(c:\..\outside\prog.exe)", kMinimizedFocus); }},
    };
    const auto outsideBefore = treeSnapshot(outside);
    const auto baseBefore = listFolder(t.base());
    const auto rootBefore = listFolder(t.onDrive("pulsaro_zentra"));
    CapturedDiagnostics diagnostics;
    Action run;
    for (const RefusedStep& step : steps) {
        const OpResult result = step.run();
        EXPECT_FALSE(result.ok()) << step.description;
        run(result);
    }
    EXPECT_EQ(diagnostics.lines.size(), std::size(steps)) << "each refusal is one recorded line";
    EXPECT_EQ(treeSnapshot(outside), outsideBefore);
    EXPECT_EQ(listFolder(t.base()), baseBefore);
    EXPECT_EQ(listFolder(t.onDrive("pulsaro_zentra")), rootBefore);
    EXPECT_FALSE(probe.touched()) << "something was made below /";
}

// Links are not refused for being links: one that stays on the drive is followed, and one that
// leads off it is itself removed or replaced, its target untouched.
TEST(Containment, LinksOnTheDriveWorkAndLinksThemselvesAreRemovedOrReplaced) {
    TempDrive t;
    const fs::path outside = makeOutside(t);
    fs::create_directories(t.onDrive("pulsaro_zentra/real_staging"));
    fs::create_directory_symlink("real_staging", t.onDrive("pulsaro_zentra/_Pulsaro"));
    writeFile(t.onDrive("pulsaro_zentra/real_staging/inside.txt"), "inside");
    fs::create_symlink("_Pulsaro/inside.txt", t.onDrive("pulsaro_zentra/inside_link.txt"));
    fs::create_symlink(outside / "pulsaro_zentra.exe",
                       t.onDrive("pulsaro_zentra/pulsaro_zentra.exe"));
    fs::create_symlink(outside / "AAA_QV.xls", t.onDrive("pulsaro_zentra/AAA_QV.xls"));
    writeFile(t.dist() / "src.bin", "new bytes");
    const auto outsideBefore = treeSnapshot(outside);

    EXPECT_TRUE(FileCopy("src.bin", R"(c:\pulsaro_zentra\_pulsaro\pulsaro_zentra_update.exe)"));
    EXPECT_TRUE(FileCopy(R"(c:\pulsaro_zentra\inside_link.txt)", R"(c:\pulsaro_zentra\copy.txt)"));
    EXPECT_TRUE(FileCopy("src.bin", R"(c:\pulsaro_zentra\pulsaro_zentra.exe)"));
    EXPECT_TRUE(KillFiles(R"(c:\pulsaro_zentra\AAA_QV.xls)"));

    EXPECT_EQ(readFile(t.onDrive("pulsaro_zentra/real_staging/pulsaro_zentra_update.exe")),
              "new bytes");
    EXPECT_EQ(readFile(t.onDrive("pulsaro_zentra/copy.txt")), "inside");
    EXPECT_FALSE(fs::is_symlink(t.onDrive("pulsaro_zentra/pulsaro_zentra.exe"))) << "link replaced";
    EXPECT_EQ(readFile(t.onDrive("pulsaro_zentra/pulsaro_zentra.exe")), "new bytes");
    EXPECT_FALSE(fs::exists(fs::symlink_status(t.onDrive("pulsaro_zentra/AAA_QV.xls"))));
    EXPECT_EQ(treeSnapshot(outside), outsideBefore);
}

// A file named like a folder of the tree makes only the steps that need that folder fail.
TEST(Containment, AFileWhereAFolderBelongsFailsOnlyTheStepsThatNeedIt) {
    TempDrive t;
    fillDistribution(t, 1);
    fs::create_directories(t.onDrive("pulsaro_zentra"));
    writeFile(t.onDrive("pulsaro_zentra/quorvin"), "a file, not a folder");
    CapturedDiagnostics diagnostics;
    Action run;
    run(MakeDir(layout::kQuorvin));
    run(MakeDir(layout::kStaging));
    run(FileCopy(layout::source::kWorkbook, layout::kWorkbook));
    run(FileCopy(layout::source::kMinipadCoordinates, layout::kMinipadCoordinates));
    run(FileCopy(layout::source::kUpdater, layout::kUpdater));

    ASSERT_EQ(diagnostics.lines.size(), 2u);
    EXPECT_TRUE(anyLineHolds(diagnostics.lines, {"could not make the folder", "QUORVIN"}));
    EXPECT_TRUE(anyLineHolds(diagnostics.lines, {"could not copy", "coordinate_minipad.txt"}));
    EXPECT_EQ(readFile(t.onDrive("pulsaro_zentra/quorvin")), "a file, not a folder");
    EXPECT_EQ(listFolder(t.onDrive("pulsaro_zentra")),
              (std::vector<std::string>{"AAA_QV.xls", "_Pulsaro", "quorvin"}));
    EXPECT_EQ(listFolder(t.onDrive("pulsaro_zentra/_Pulsaro")),
              std::vector<std::string>{"pulsaro_zentra_update.exe"});
}

// "Passo 1" wipes the files of the root first, so such a file does not outlive it.
TEST(Containment, Passo1RepairsAFileWhereAFolderBelongs) {
    for (const char* intruder : {"quorvin", "_pulsaro"}) {
        SCOPED_TRACE(intruder);
        TempDrive t;
        fillDistribution(t, 1);
        fs::create_directories(t.onDrive("pulsaro_zentra"));
        writeFile(t.onDrive("pulsaro_zentra") / intruder, "a file, not a folder");
        SetupWindow form;
        form.form().Command1_Click();
        for (const DistFile& f : kDistFiles) {
            EXPECT_EQ(readFile(t.onDrive(f.installed)), distContent(f.source, 1)) << f.installed;
        }
    }
}

// With both spellings present, each spelling resolves the same way every time, whatever order
// the folder lists them in, and nothing makes a third one.
TEST(Containment, TwoSpellingsOfOneFolderAlwaysResolveTheSameWay) {
    const std::vector<std::vector<const char*>> creationOrders = {{"_Pulsaro", "_pulsaro"},
                                                                  {"_pulsaro", "_Pulsaro"}};
    for (const auto& order : creationOrders) {
        SCOPED_TRACE(std::string("created first: ") + order[0]);
        TempDrive t;
        fillDistribution(t, 1);
        for (const char* name : order) {
            fs::create_directories(t.onDrive("pulsaro_zentra") / name);
            writeFile(t.onDrive("pulsaro_zentra") / name / "marker", name);
        }
        SetupWindow form;
        form.form().Command1_Click();

        EXPECT_EQ(mapPath(R"(c:\pulsaro_zentra\_PULSARO\marker)").path,
                  t.onDrive("pulsaro_zentra/_Pulsaro/marker"))
            << "a spelling matching neither exactly takes the first in byte order";
        EXPECT_EQ(mapPath(layout::kStaging).path, t.onDrive("pulsaro_zentra/_Pulsaro"));
        for (const char* updaterPath :
             {layout::kUpdater, layout::kDownloadTarget, layout::kStagedCopy}) {
            EXPECT_EQ(mapPath(updaterPath).path.parent_path(), t.onDrive("pulsaro_zentra/_pulsaro"))
                << "the updater stages where the setup put it";
        }
        EXPECT_EQ(listFolder(t.onDrive("pulsaro_zentra/_pulsaro")),
                  (std::vector<std::string>{"marker", "pulsaro_zentra_update.exe"}));
        EXPECT_EQ(listFolder(t.onDrive("pulsaro_zentra/_Pulsaro")),
                  std::vector<std::string>{"marker"});
        EXPECT_FALSE(MakeDir(R"(c:\pulsaro_zentra\_PULSARO)")) << "no third spelling is made";
        EXPECT_EQ(std::count_if(fs::directory_iterator(t.onDrive("pulsaro_zentra")), {},
                                [](const fs::directory_entry& e) {
                                    return sameNameIgnoringCase(e.path().filename().string(),
                                                                "_pulsaro");
                                }),
                  2);
    }
}

}  // namespace
