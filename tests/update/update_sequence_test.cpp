#include "form1.h"
#include "ftp_server.h"
#include "operations.h"
#include "pause_clock.h"
#include "temp_drive.h"
#include "update_fixtures.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>

namespace fs = std::filesystem;
using namespace pulsaro;
using namespace pulsaro::test;

namespace {

// A loopback port with nothing listening on it.
int closedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), length);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// An installation as the setup leaves it, plus the copy outside the install root.
struct Installed {
    std::string app = patternBytes(200000, 7);
    std::string outside = "outside copy";
};

void install(const TempDrive& t, const Installed& old) {
    fs::create_directories(t.onDrive("pulsaro_zentra/QUORVIN"));
    fs::create_directories(t.onDrive("pulsaro_zentra/_Pulsaro"));
    fs::create_directories(t.onDrive("pulsaro"));
    writeFile(t.onDrive("pulsaro_zentra/Pulsaro_zentra.exe"), old.app);
    writeFile(t.onDrive("pulsaro_zentra/_Pulsaro/pulsaro_zentra_update.exe"), "updater");
    writeFile(t.onDrive("pulsaro/pulsaro_zentra.exe"), old.outside);
}

int runUpdater() {
    Form1 form;
    form.Form_Load();
    return form.exitStatus;
}

TEST(UpdateSequence, AGoodRunReplacesTheInstalledApplication) {
    TempDrive t;
    Installed old;
    install(t, old);
    writeFile(t.onDrive("pulsaro_zentra/_Pulsaro/pulsaronew_zentra.exe"), "stale download");
    writeFile(t.onDrive("pulsaro_zentra/_Pulsaro/pulsaro_zentra.exe"), "stale staged copy");
    const std::string fresh = patternBytes(3 << 20, 11);
    FtpServer server;
    server.putFile(kRemoteApp, fresh);
    ScopedUpdateUrl url(server.url());
    InstantClock clock;
    RecordingMessageBox box;

    EXPECT_EQ(runUpdater(), 0);
    EXPECT_EQ(listFolder(t.onDrive("pulsaro_zentra/_Pulsaro")),
              std::vector<std::string>{"pulsaro_zentra_update.exe"});
    EXPECT_EQ(listFolder(t.onDrive("pulsaro_zentra")),
              (std::vector<std::string>{"Pulsaro_zentra.exe", "QUORVIN", "_Pulsaro"}))
        << "the file the setup installed is the one rewritten";
    EXPECT_EQ(readFile(t.onDrive("pulsaro_zentra/Pulsaro_zentra.exe")), fresh);
    EXPECT_TRUE(listFolder(t.onDrive("pulsaro")).empty());
    EXPECT_EQ(box.messages, QStringList{kUpdatedMessage});
    EXPECT_EQ(box.captions, QStringList{QStringLiteral("pulsaro_update")});
    EXPECT_GT(clock.waits, 0) << "the run starts with the pause";
}

TEST(UpdateSequence, ARunWithNothingToDeleteStillInstalls) {
    TempDrive t;
    fs::create_directories(t.onDrive("pulsaro_zentra/_pulsaro"));
    const std::string fresh = patternBytes(1000, 12);
    FtpServer server;
    server.putFile(kRemoteApp, fresh);
    ScopedUpdateUrl url(server.url());
    InstantClock clock;
    RecordingMessageBox box;
    CapturedDiagnostics diagnostics;

    EXPECT_EQ(runUpdater(), 0);
    EXPECT_EQ(readFile(t.onDrive("pulsaro_zentra/pulsaro_zentra.exe")), fresh);
    EXPECT_TRUE(listFolder(t.onDrive("pulsaro_zentra/_pulsaro")).empty());
    EXPECT_EQ(box.messages, QStringList{kUpdatedMessage});
    EXPECT_EQ(diagnostics.lines.size(), 3u) << "the three deletions of files that are not there";
}

struct FailedUpdate {
    const char* name;
    FtpFaults faults;
    bool remoteFileMissing = false;
    bool nothingListening = false;
};

TEST(UpdateSequence, AFailedDownloadLeavesEverythingAsItWasAndSaysSo) {
    FtpFaults refused;
    refused.refuseLogin = true;
    FtpFaults cut;
    cut.dropAfterBytes = 100000;
    const FailedUpdate cases[] = {
        {"unreachable server", {}, false, true},
        {"refused login", refused},
        {"missing remote file", {}, true},
        {"transfer cut part-way", cut},
    };
    for (const FailedUpdate& c : cases) {
        TempDrive t;
        Installed old;
        install(t, old);
        FtpServer server(c.faults);
        if (!c.remoteFileMissing) server.putFile(kRemoteApp, patternBytes(1 << 20, 13));
        ScopedUpdateUrl url(c.nothingListening ? "ftp://127.0.0.1:" + std::to_string(closedPort())
                                               : server.url());
        InstantClock clock;
        RecordingMessageBox box;
        CapturedDiagnostics diagnostics;

        EXPECT_EQ(runUpdater(), 1) << c.name;
        EXPECT_EQ(readFile(t.onDrive("pulsaro_zentra/Pulsaro_zentra.exe")), old.app) << c.name;
        EXPECT_EQ(readFile(t.onDrive("pulsaro/pulsaro_zentra.exe")), old.outside) << c.name;
        EXPECT_EQ(listFolder(t.onDrive("pulsaro_zentra/_Pulsaro")),
                  std::vector<std::string>{"pulsaro_zentra_update.exe"})
            << c.name;
        EXPECT_EQ(box.messages, QStringList{kNotUpdatedMessage}) << c.name;
        EXPECT_FALSE(diagnostics.lines.empty()) << c.name << ": the failed steps are reported";
    }
}

TEST(PausaTempo, WaitsOnTheClockAndHandlesEventsMeanwhile) {
    InstantClock clock;
    bool handled = false;
    QTimer::singleShot(0, [&] { handled = true; });
    Form1 form;
    const PauseClock::TimePoint start = clock.now();
    form.PausaTempo(5);
    EXPECT_EQ(clock.now() - start, std::chrono::seconds(5));
    EXPECT_TRUE(handled);
}

// Sets the local time zone so that local midnight falls the given time from now.
class MidnightSoon {
  public:
    explicit MidnightSoon(std::chrono::milliseconds fromNow) {
        if (const char* tz = std::getenv("TZ")) previous_ = tz, had_ = true;
        using namespace std::chrono;
        const auto now = system_clock::now() + fromNow;
        const long sinceUtcMidnight =
            static_cast<long>(duration_cast<seconds>(now.time_since_epoch()).count() % 86400);
        // POSIX TZ offsets are west of UTC: local = UTC - offset, so local midnight comes when
        // UTC reaches the offset.
        const long offset =
            sinceUtcMidnight > 12 * 3600 ? sinceUtcMidnight - 86400 : sinceUtcMidnight;
        const long magnitude = offset < 0 ? -offset : offset;
        char tz[64];
        std::snprintf(tz, sizeof tz, "TST%c%ld:%02ld:%02ld", offset < 0 ? '-' : '+',
                      magnitude / 3600, magnitude / 60 % 60, magnitude % 60);
        setenv("TZ", tz, 1);
        tzset();
    }
    ~MidnightSoon() {
        had_ ? setenv("TZ", previous_.c_str(), 1) : unsetenv("TZ");
        tzset();
    }

  private:
    std::string previous_;
    bool had_ = false;
};

TEST(PausaTempo, LastsItsDurationAcrossLocalMidnight) {
    const auto midnightIn = std::chrono::milliseconds(2500);
    MidnightSoon zone(midnightIn);
    const float before = GetTimer();
    ASSERT_GT(before, 86390.0f) << "the time zone did not put midnight near";
    Form1 form;
    const auto start = std::chrono::steady_clock::now();
    form.PausaTempo(5);
    const auto lasted = std::chrono::steady_clock::now() - start;
    EXPECT_LT(GetTimer(), 10.0f) << "the clock reading fell back to zero during the pause";
    EXPECT_GE(lasted, std::chrono::seconds(5));
    EXPECT_LE(lasted, std::chrono::milliseconds(5050));
}

}  // namespace
