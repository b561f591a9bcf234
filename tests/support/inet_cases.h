#pragma once

// The servers the transfer component's tests (inet_contract_test.cpp) run against, on every
// host: the faulty ones with how each request must end, and the server each other test needs. On
// Linux a test starts its server itself; under Wine the Linux side starts it before it runs the
// test, from the same tables.

#include "ftp_faults.h"
#include "op_result.h"
#include "texts.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace pulsaro::test {

// How a request ends, in terms every transfer library has a code for, or one of the sink's rules.
enum class TransferFailure {
    LoginDenied,
    RemoteFolderMissing,
    RemoteFileMissing,
    CannotConnect,
    CutShort,
    TimedOut,
    ShorterThanAnnounced,
    LongerThanAnnounced,
};

struct InetFaultCase {
    const char* name;
    FtpFaults faults;
    TransferFailure failure;
    std::chrono::milliseconds requestTimeout = std::chrono::seconds(60);
    const char* remoteFile = texts::kRemoteFile.data();  // nullptr: nothing on the server
    const char* password = texts::kPassword.data();
    bool nothingListening = false;
};

inline void PrintTo(const InetFaultCase& c, std::ostream* out) {
    *out << c.name;
}

inline FtpFaults refusedLogin() {
    FtpFaults f;
    f.refuseLogin = true;
    return f;
}
inline FtpFaults droppedAfter(std::int64_t bytes) {
    FtpFaults f;
    f.dropAfterBytes = bytes;
    return f;
}
inline FtpFaults stalledAfter(std::int64_t bytes) {
    FtpFaults f;
    f.stallAfterBytes = bytes;
    return f;
}
inline FtpFaults silentOn(const char* command) {
    FtpFaults f;
    f.silentOn = command;
    return f;
}
inline FtpFaults sizeOffBy(std::int64_t delta) {
    FtpFaults f;
    f.sizeDelta = delta;
    return f;
}

// The remote file the cases put on the server is 3 MiB, so a cut after 1 MiB is part-way.
inline const std::vector<InetFaultCase>& inetFaultCases() {
    using std::chrono::seconds;
    using F = TransferFailure;
    static const std::vector<InetFaultCase> cases = {
        {"LoginRefused", refusedLogin(), F::LoginDenied},
        {"WrongPassword", {}, F::LoginDenied, seconds(60), texts::kRemoteFile.data(), "wrong"},
        {"RemoteFolderMissing", {}, F::RemoteFolderMissing, seconds(60), nullptr},
        {"RemoteFileMissing",
         {},
         F::RemoteFileMissing,
         seconds(60),
         "/pulsarozentra.example/mdb-database/_pulsaro/other.exe"},
        {"NothingListening",
         {},
         F::CannotConnect,
         seconds(60),
         texts::kRemoteFile.data(),
         texts::kPassword.data(),
         true},
        {"DroppedPartWay", droppedAfter(1 << 20), F::CutShort},
        {"DroppedBeforeAnyByte", droppedAfter(0), F::CutShort},
        {"StalledBeforeAnyByte", stalledAfter(0), F::TimedOut, seconds(1)},
        {"StalledPartWay", stalledAfter(1 << 20), F::TimedOut, seconds(1)},
        {"NeverGreets", silentOn("BANNER"), F::TimedOut, seconds(1)},
        {"NeverAnswersLogin", silentOn("PASS"), F::TimedOut, seconds(1)},
        {"NeverConfirmsTransfer", silentOn("RETR"), F::TimedOut, seconds(1)},
        {"AnnouncesMoreThanItSends", sizeOffBy(1000), F::ShorterThanAnnounced},
        {"SendsMoreThanItAnnounced", sizeOffBy(-1000), F::LongerThanAnnounced},
    };
    return cases;
}

}  // namespace pulsaro::test

namespace pulsaro::test {

// A test of InetTest and the server it needs.
struct ServedInetTest {
    const char* test;
    FtpFaults faults;
};

inline const std::vector<ServedInetTest>& servedInetTests() {
    static const std::vector<ServedInetTest> tests = [] {
        FtpFaults homeFolder;
        homeFolder.loginFolder = "/home";
        FtpFaults slow;
        slow.bytesPerSecond = 100000;
        FtpFaults trickle;
        trickle.bytesPerSecond = 500000;
        return std::vector<ServedInetTest>{
            {"FilesArriveByteIdentical", {}},
            {"RemotePathIsAbsoluteOnTheServer", homeFolder},
            {"SuccessReplacesAnOlderLongerFile", {}},
            {"SchemeVerbAndLocalPathAreReadIgnoringCase", {}},
            {"EmptyUrlArgumentUsesTheUrlProperty", {}},
            {"FailedRequestLeavesAnExistingFileAsItWas", droppedAfter(1 << 20)},
            {"SlowButMovingTransferIsNotCut", slow},
            {"CancelEndsTheRequestAndLeavesNoFile", trickle},
            {"ExecuteWhileExecutingIsRefusedAndTheRunningRequestGoesOn", {}},
            {"RequestsThatCannotStartEndAtOnce", {}},
        };
    }();
    return tests;
}

// A server that states the file's size twice, or only when it opens the transfer: the file is
// kept only when every size it stated is the size it sent.
struct StatedSizeCase {
    const char* name;
    FtpFaults faults;
    std::optional<FailedRule> failure;
};

inline const std::vector<StatedSizeCase>& statedSizeCases() {
    static const std::vector<StatedSizeCase> cases = [] {
        auto stating = [](std::int64_t sizeDelta, std::int64_t openingDelta, bool noSize) {
            FtpFaults f;
            f.sizeDelta = sizeDelta;
            f.openingSizeDelta = openingDelta;
            f.announceNoSize = noSize;
            return f;
        };
        return std::vector<StatedSizeCase>{
            {"BothRight", stating(0, 0, false), std::nullopt},
            {"BothWrongTheSameWay", stating(1000, 1000, false), FailedRule::ShorterThanAnnounced},
            {"Disagreeing", stating(1000, 0, false), FailedRule::SizesDisagree},
            {"OnlyOpeningRight", stating(0, 0, true), std::nullopt},
            {"OnlyOpeningTooLarge", stating(0, 1000, true), FailedRule::ShorterThanAnnounced},
            {"OnlyOpeningTooSmall", stating(0, -1000, true), FailedRule::LongerThanAnnounced},
        };
    }();
    return cases;
}

// How a server was started, so that a test run under Wine can tell it got the one it needs.
inline std::string serverDescription(const FtpFaults& faults, bool listening) {
    std::string description = listening ? "listening" : "not listening";
    for (const std::string& option : ftpServerOptions(faults)) description += " " + option;
    return description;
}

}  // namespace pulsaro::test
