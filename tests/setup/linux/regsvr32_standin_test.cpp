#include "process_support.h"
#include "temp_drive.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace fs = std::filesystem;
using namespace pulsaro::test;

namespace {

const std::string kControl = "PULSARO-CONTROL-STANDIN 1\ncontrol=TEST\n";

struct Outcome {
    int exitCode;
    std::string out;
    std::string err;
};

QProcess* startTool(const QStringList& arguments) {
    auto* tool = new QProcess;
    tool->start(
        QString::fromStdString((builtDistribution() / "system_standins" / "regsvr32").string()),
        arguments);
    return tool;
}

Outcome finish(QProcess& tool) {
    EXPECT_TRUE(tool.waitForFinished(15000));
    return {tool.exitCode(), tool.readAllStandardOutput().toStdString(),
            tool.readAllStandardError().toStdString()};
}

Outcome regsvr32(const QStringList& arguments) {
    std::unique_ptr<QProcess> tool(startTool(arguments));
    return finish(*tool);
}

class Regsvr32 : public ::testing::Test {
  protected:
    void SetUp() override { fs::create_directories(drive.onDrive("pulsaro_zentra")); }

    void installControl(const char* name) {
        writeFile(drive.onDrive("pulsaro_zentra") / name, kControl);
    }
    std::string hostPath(const char* name) const {
        return (drive.onDrive("pulsaro_zentra") / name).string();
    }
    std::vector<std::string> registered() const {
        std::vector<std::string> entries = linesOf(list);
        std::ranges::sort(entries);
        return entries;
    }

    TempDrive drive;
    const fs::path list = drive.onDrive("windows/system32/pulsaro_registered_controls.txt");
};

TEST_F(Regsvr32, RefusesWithOneLineAndRegistersNothing) {
    struct Case {
        const char* name;
        QStringList arguments;
        int exitCode;
        const char* reason;
    };
    installControl("GOOD.OCX");
    writeFile(drive.onDrive("pulsaro_zentra/NOTES.OCX"), "just some text\n");
    fs::create_directories(drive.onDrive("pulsaro_zentra/FOLDER.OCX"));
    // No list can be written below a file.
    fs::create_directories(drive.onDrive("windows"));
    writeFile(drive.onDrive("windows/system32"), "not a folder");
    const Case cases[] = {
        {"missing file", {R"(c:\pulsaro_zentra\MISSING.OCX)"}, 3, "does not exist"},
        {"a folder", {R"(c:\pulsaro_zentra\FOLDER.OCX)"}, 3, "does not exist"},
        {"not a control", {R"(c:\pulsaro_zentra\NOTES.OCX)"}, 4, "not a control"},
        {"another drive", {R"(d:\GOOD.OCX)"}, 3, "not mapped"},
        {"no control named", {QStringLiteral("/s")}, 1, "usage"},
        {"two controls",
         {R"(c:\pulsaro_zentra\GOOD.OCX)", R"(c:\pulsaro_zentra\GOOD.OCX)"},
         1,
         "usage"},
        {"unknown switch", {QStringLiteral("/i"), R"(c:\pulsaro_zentra\GOOD.OCX)"}, 1, "/i"},
        {"a list that cannot be written",
         {R"(c:\pulsaro_zentra\GOOD.OCX)"},
         5,
         "registration list"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome o = regsvr32(c.arguments);
        EXPECT_EQ(o.exitCode, c.exitCode);
        EXPECT_EQ(o.out, "");
        EXPECT_EQ(std::ranges::count(o.err, '\n'), 1) << o.err;
        EXPECT_TRUE(o.err.ends_with("\n"));
        EXPECT_NE(o.err.find(c.reason), std::string::npos) << o.err;
    }
    EXPECT_EQ(readFile(drive.onDrive("windows/system32")), "not a folder");
}

TEST_F(Regsvr32, RegistersAControlOnceWhateverTheSpellingAndHowEverOften) {
    installControl("MSINET.OCX");
    const Outcome first = regsvr32({R"(c:\pulsaro_zentra\MSinet.ocx)"});
    EXPECT_EQ(first.exitCode, 0) << first.err;
    EXPECT_EQ(first.out, "DllRegisterServer in c:\\pulsaro_zentra\\MSinet.ocx succeeded.\n");
    EXPECT_EQ(first.err, "");
    EXPECT_EQ(regsvr32({R"(C:\PULSARO_ZENTRA\msinet.OCX)"}).exitCode, 0);
    EXPECT_EQ(regsvr32({R"(c:\pulsaro_zentra\MSINET.OCX)"}).exitCode, 0);
    EXPECT_EQ(linesOf(list), std::vector<std::string>{hostPath("MSINET.OCX")});
}

TEST_F(Regsvr32, UnregisterRemovesOnlyThatControlAndSilentPrintsNothing) {
    installControl("MSINET.OCX");
    installControl("MSCOMCTL.OCX");
    const Outcome silent = regsvr32({QStringLiteral("/s"), R"(c:\pulsaro_zentra\MSINET.OCX)"});
    EXPECT_EQ(silent.exitCode, 0);
    EXPECT_EQ(silent.out, "");
    ASSERT_EQ(regsvr32({R"(c:\pulsaro_zentra\MSCOMCTL.OCX)"}).exitCode, 0);
    ASSERT_EQ(registered(),
              (std::vector<std::string>{hostPath("MSCOMCTL.OCX"), hostPath("MSINET.OCX")}));

    const Outcome removed = regsvr32({QStringLiteral("/u"), R"(c:\pulsaro_zentra\msinet.ocx)"});
    EXPECT_EQ(removed.exitCode, 0) << removed.err;
    EXPECT_EQ(removed.out, "DllUnregisterServer in c:\\pulsaro_zentra\\msinet.ocx succeeded.\n");
    EXPECT_EQ(registered(), std::vector<std::string>{hostPath("MSCOMCTL.OCX")});

    const Outcome again =
        regsvr32({QStringLiteral("/u"), QStringLiteral("/s"), R"(c:\pulsaro_zentra\MSINET.OCX)"});
    EXPECT_EQ(again.exitCode, 0) << "unregistering an unregistered control changes nothing";
    EXPECT_EQ(again.out, "");
    EXPECT_EQ(registered(), std::vector<std::string>{hostPath("MSCOMCTL.OCX")});
}

TEST_F(Regsvr32, RegistrationsStartedTogetherNeitherLoseNorTearAnEntry) {
    constexpr int kControls = 16;
    std::vector<std::string> expected;
    std::vector<std::unique_ptr<QProcess>> tools;
    for (int i = 0; i < kControls; ++i) {
        const std::string name = "CONTROL" + std::to_string(i) + ".OCX";
        installControl(name.c_str());
        expected.push_back(hostPath(name.c_str()));
    }
    for (int i = 0; i < kControls; ++i) {
        const QString control = QStringLiteral(R"(c:\pulsaro_zentra\control%1.ocx)").arg(i);
        tools.emplace_back(startTool({QStringLiteral("/s"), control}));
    }
    for (auto& tool : tools) EXPECT_EQ(finish(*tool).exitCode, 0);
    std::ranges::sort(expected);
    EXPECT_EQ(registered(), expected);
}

}  // namespace
