#include "process_support.h"
#include "setup_window.h"
#include "temp_drive.h"

#include <QTest>

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <optional>

namespace fs = std::filesystem;
using namespace pulsaro;
using namespace pulsaro::test;

namespace {

const char* const kStartMessage =
    "Pulsaro \xC3\xA8 stato installato nella cartella C:\\pulsaro_zentra. Per informazioni e "
    "supporto scrivere a supporto@pulsarozentra.example o Telefonare a: +39 02 0000 0000";

// Remembers, for each message shown, how many of the started main applications were running by
// then. Shell returns only once the program has been started, and the stand-in keeps running, so
// a start before its message is always counted.
class MessageBeforeStart final : public MessageBoxHandler {
  public:
    explicit MessageBeforeStart(std::string startedWith)
        : startedWith_(std::move(startedWith)), previous_(setMessageBoxHandler(this)) {}
    ~MessageBeforeStart() override { setMessageBoxHandler(previous_); }
    void show(std::string_view, std::string_view message) override {
        messages.emplace_back(message);
        runningAtMessage.push_back(processesWithEnvironment(startedWith_).size());
    }
    std::vector<std::string> messages;
    std::vector<std::size_t> runningAtMessage;

  private:
    std::string startedWith_;
    MessageBoxHandler* previous_;
};

// Links a built program into the current folder, where Shell finds a bare program name.
void placeBesideSetup(const TempDrive& t, const fs::path& program, const char* name) {
    fs::create_symlink(program, t.dist() / name);
}

class RegisterAndStart : public ::testing::Test {
  protected:
    void SetUp() override { form.show(); }

    TempDrive drive;
    CapturedDiagnostics diagnostics;
    SetupWindow form;
};

TEST_F(RegisterAndStart, StartWithNothingInstalledShowsTheMessageThenFailsSilently) {
    RecordingMessageBox box;
    QTest::mouseClick(form.element(setup::Element::Command4), Qt::LeftButton);
    ASSERT_EQ(box.messages.size(), 1);
    EXPECT_EQ(box.messages[0], kStartMessage);
    ASSERT_EQ(diagnostics.lines.size(), 1u);
    EXPECT_EQ(diagnostics.lines[0].rfind(
                  R"(pulsaro_setup: could not start "c:\pulsaro_zentra\Pulsaro_zentra.exe": )", 0),
              0u)
        << diagnostics.lines[0];
    EXPECT_TRUE(form.isVisible()) << "the setup stays open";
}

TEST_F(RegisterAndStart, StartTwiceStartsTheInstalledApplicationTwiceEachAfterTheMessage) {
    fs::create_directories(drive.onDrive("pulsaro_zentra"));
    fs::copy_file(builtDistribution() / "Pulsaro_zentra.exe",
                  drive.onDrive("pulsaro_zentra/Pulsaro_zentra.exe"));
    const fs::path marker = drive.base() / "started.txt";
    ScopedEnv markerEnv("PULSARO_STANDIN_MARKER", marker.string());
    const std::string startedWith = "PULSARO_STANDIN_MARKER=" + marker.string();
    MessageBeforeStart box(startedWith);

    QTest::mouseClick(form.element(setup::Element::Command4), Qt::LeftButton);
    QTest::mouseClick(form.element(setup::Element::Command4), Qt::LeftButton);

    const bool bothStarted = eventually([&] { return linesOf(marker).size() >= 2; });
    for (const pid_t standIn : processesWithEnvironment(startedWith)) ::kill(standIn, SIGKILL);
    ASSERT_TRUE(bothStarted);
    const std::vector<std::string> starts = linesOf(marker);
    ASSERT_EQ(starts.size(), 2u);
    for (const std::string& start : starts) {
        EXPECT_TRUE(start.starts_with("started pid=") && start.ends_with(" arguments=0")) << start;
    }
    EXPECT_EQ(box.messages, std::vector<std::string>(2, kStartMessage));
    EXPECT_EQ(box.runningAtMessage, (std::vector<std::size_t>{0, 1}))
        << "a start came before its message";
    EXPECT_TRUE(diagnostics.lines.empty());
}

// Every program the registration step starts writes a record of its arguments into a folder.
class RecordedRegistrations {
  public:
    explicit RecordedRegistrations(const TempDrive& t)
        : folder_(t.base() / "records"), env_("RECORDER_FOLDER", folder_.string()) {
        fs::create_directories(folder_);
        placeBesideSetup(t, INVOCATION_RECORDER, "regsvr32");
    }

    // The arguments of each finished start, sorted, once `count` starts have finished.
    std::vector<std::vector<std::string>> awaitArguments(std::size_t count) const {
        std::vector<std::vector<std::string>> arguments;
        eventually([&] { return finished().size() >= count; });
        for (const fs::path& record : finished()) arguments.push_back(linesOf(record));
        std::ranges::sort(arguments);
        return arguments;
    }

  private:
    std::vector<fs::path> finished() const {
        std::vector<fs::path> done;
        for (const auto& e : fs::directory_iterator(folder_)) {
            if (e.path().extension() != ".part") done.push_back(e.path());
        }
        return done;
    }

    fs::path folder_;
    ScopedEnv env_;
};

const std::vector<std::vector<std::string>> kRegistrationArguments = {
    {R"(c:\pulsaro_zentra\MSWINSCK.OCX)"},
    {R"(c:\pulsaro_zentra\MSinet.ocx)"},
    {R"(c:\pulsaro_zentra\mscomctl.ocx)"}};

TEST_F(RegisterAndStart, EachRegistrationCommandLineReachesTheToolAsExactlyOneArgument) {
    const RecordedRegistrations tool(drive);
    QTest::mouseClick(form.element(setup::Element::Command6), Qt::LeftButton);
    EXPECT_TRUE(form.element(setup::Element::Picture7)->isVisible());
    EXPECT_EQ(tool.awaitArguments(3), kRegistrationArguments);
    EXPECT_TRUE(diagnostics.lines.empty());
}

TEST_F(RegisterAndStart, RegistrationBeforeInstallationStillShowsItsMark) {
    struct Case {
        const char* name;
        bool toolPresent;
        std::size_t failedStarts;
    };
    for (const Case& c : {Case{"no registration tool anywhere", false, 3},
                          Case{"tool present, controls not yet copied", true, 0}}) {
        SCOPED_TRACE(c.name);
        TempDrive fresh;
        CapturedDiagnostics lines;
        std::optional<RecordedRegistrations> tool;
        if (c.toolPresent) tool.emplace(fresh);
        SetupWindow window;
        window.show();
        QTest::mouseClick(window.element(setup::Element::Command6), Qt::LeftButton);
        EXPECT_TRUE(window.element(setup::Element::Picture7)->isVisible());
        EXPECT_FALSE(window.element(setup::Element::Picture5)->isVisible());
        EXPECT_EQ(lines.lines.size(), c.failedStarts);
        if (tool) {
            EXPECT_EQ(tool->awaitArguments(3), kRegistrationArguments);
        }
    }
}

TEST_F(RegisterAndStart, AllThreeStepsInstallRegisterAndStartFromTheDistributionFolder) {
    for (const auto& entry : fs::directory_iterator(builtDistribution())) {
        fs::create_symlink(entry.path(), drive.dist() / entry.path().filename());
    }
    const fs::path marker = drive.base() / "started.txt";
    ScopedEnv markerEnv("PULSARO_STANDIN_MARKER", marker.string());
    ScopedEnv exitEnv("PULSARO_STANDIN_EXIT", "1");
    RecordingMessageBox box;

    QTest::mouseClick(form.element(setup::Element::Command1), Qt::LeftButton);
    QTest::mouseClick(form.element(setup::Element::Command6), Qt::LeftButton);
    QTest::mouseClick(form.element(setup::Element::Command4), Qt::LeftButton);

    const fs::path list = drive.onDrive("windows/system32/pulsaro_registered_controls.txt");
    ASSERT_TRUE(eventually([&] { return linesOf(list).size() >= 3 && !linesOf(marker).empty(); }));
    std::vector<std::string> registered = linesOf(list);
    std::ranges::sort(registered);
    const fs::path root = drive.onDrive("pulsaro_zentra");
    EXPECT_EQ(registered, (std::vector<std::string>{(root / "MSCOMCTL.OCX").string(),
                                                    (root / "MSINET.OCX").string(),
                                                    (root / "MSWINSCK.OCX").string()}));
    EXPECT_EQ(linesOf(marker).size(), 1u);
    EXPECT_EQ(box.messages.size(), 1);
    EXPECT_TRUE(form.element(setup::Element::Picture5)->isVisible());
    EXPECT_TRUE(form.element(setup::Element::Picture7)->isVisible());
}

}  // namespace
