#pragma once

// The servers the transfer component's tests (inet_contract_test.cpp) run against, on every
// host: the faulty ones with how each request must end, the ones whose file must arrive however
// they state its size, and the server each other test needs. On Linux a test starts its server
// itself; under Wine the Linux side starts it before it runs the test, from the same tables.

#include "ftp_faults.h"
#include "op_result.h"
#include "texts.h"

#include <chrono>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

namespace pulsaro::test {

// How a request ends that every transfer library has a code for; the host names the code.
enum class TransferFailure {
    LoginDenied,
    RemoteFolderMissing,
    RemoteFileMissing,
    CannotConnect,
    CutShort,
};

// How a faulty request ends: a transfer library's failure, or one of the component's own rules
// (the download sink's and the request time-out's), which are the same on every host.
using InetFailure = std::variant<TransferFailure, FailedRule>;

struct InetFaultCase {
    const char* name;
    FtpFaults faults;
    InetFailure failure;
    std::chrono::milliseconds requestTimeout = std::chrono::seconds(60);
    const char* remoteFile = texts::kRemoteFile.data();  // nullptr: nothing on the server
    const char* password = texts::kPassword.data();
    bool nothingListening = false;
};

inline void PrintTo(const InetFaultCase& c, std::ostream* out) {
    *out << c.name;
}

// The remote file the cases put on the server is 3 MiB, so a cut after 1 MiB is part-way. A case
// that waits for the request time-out sets a short one; a silent server is one that says
// nothing for that long. Two set one longer than the 30 s after which WinINet (under Wine) stops
// waiting for a reply by itself, once for a command and once for the final reply: that must not
// end a request, nor let it go on, before its time-out has passed.
inline const std::vector<InetFaultCase>& inetFaultCases() {
    using std::chrono::seconds;
    using F = TransferFailure;
    using R = FailedRule;
    constexpr std::int64_t kPartWay = 1 << 20;
    constexpr seconds kBeyondWinInetsOwnWait(33);
    static const std::vector<InetFaultCase> cases = {
        {"LoginRefused", {.refuseLogin = true}, F::LoginDenied},
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
        {"DroppedPartWay", {.dropAfterBytes = kPartWay}, F::CutShort},
        {"DroppedBeforeAnyByte", {.dropAfterBytes = 0}, F::CutShort},
        {"StalledBeforeAnyByte", {.stallAfterBytes = 0}, R::TimedOut, seconds(1)},
        {"StalledPartWay", {.stallAfterBytes = kPartWay}, R::TimedOut, seconds(1)},
        {"NeverGreets", {.silentOn = "BANNER"}, R::TimedOut, seconds(1)},
        {"NeverAnswersLogin", {.silentOn = "PASS"}, R::TimedOut, seconds(1)},
        // Going on after a command left unanswered would take its late reply for the next one's.
        {"NeverAnswersSize", {.silentOn = "SIZE"}, R::TimedOut, kBeyondWinInetsOwnWait},
        {"NeverConfirmsTransfer", {.silentOn = "RETR"}, R::TimedOut, seconds(1)},
        // One byte every half second: never silent for the time-out, far below its floor.
        {"TrickleBelowTheFloor", {.bytesPerSecond = 2}, R::TooSlow, seconds(3)},
        // With no size stated, only the server's final success reply says the file is whole.
        {"NoSizeDroppedPartWayThenControlClosed",
         {.dropAfterBytes = kPartWay, .announceNoSize = true, .afterData = AfterData::Close},
         R::Unconfirmed},
        {"NoSizeDroppedPartWayThenSilence",
         {.dropAfterBytes = kPartWay, .announceNoSize = true, .afterData = AfterData::Silence},
         R::TimedOut,
         kBeyondWinInetsOwnWait},
        {"NoSizeServerKilledPartWay",
         {.announceNoSize = true, .dieAfterBytes = kPartWay},
         R::Unconfirmed},
        {"NoSizeAllBytesThenSilence",
         {.announceNoSize = true, .afterData = AfterData::Silence},
         R::TimedOut,
         seconds(2)},
        {"AnnouncesMoreThanItSends", {.sizeDelta = 1000}, R::ShorterThanAnnounced},
        {"SendsMoreThanItAnnounced", {.sizeDelta = -1000}, R::LongerThanAnnounced},
        {"NoSizeReplyCutShortReportedCompleteOpeningStatesSize",
         {.announceNoSize = true, .openingSizeDelta = 0, .cutAfterBytes = kPartWay},
         R::ShorterThanAnnounced},
        {"SizeReplyWithTrailingBlanksCutShortReportedComplete",
         {.sizeReply = "213 %d \t", .cutAfterBytes = kPartWay},
         R::ShorterThanAnnounced},
        {"OpeningReplyStatesMoreThanItSends",
         {.announceNoSize = true, .openingSizeDelta = 1000},
         R::ShorterThanAnnounced},
        {"OpeningReplyStatesLessThanItSends",
         {.announceNoSize = true, .openingSizeDelta = -1000},
         R::LongerThanAnnounced},
        {"OpeningReplyDisagreesWithSizeReply", {.openingSizeDelta = 1}, R::SizesDisagree},
        {"FileGrowsWhileSent",
         {.openingSizeDelta = 0, .growWhileSending = 1000},
         R::LongerThanAnnounced},
        {"SizeReplyUnreadable", {.sizeReply = "213 about %d bytes"}, R::UnreadableSize},
    };
    return cases;
}

// A server that states the file's size loosely, or not at all, or never confirms a file whose
// every stated size holds: the file arrives as the server sent it (cut where it cuts it, grown by
// what it adds), since no size it stated says otherwise.
struct ArrivingCase {
    const char* name;
    FtpFaults faults;
    std::chrono::milliseconds requestTimeout = std::chrono::seconds(60);
};

inline void PrintTo(const ArrivingCase& c, std::ostream* out) {
    *out << c.name;
}

inline const std::vector<ArrivingCase>& arrivingCases() {
    static const std::vector<ArrivingCase> cases = {
        {"SizeReplyWithTrailingBlanks", {.sizeReply = "213 %d \t"}},
        {"OpeningReplyStatesTheSize", {.openingSizeDelta = 0}},
        {"BothStateItLoosely", {.sizeReply = "213  %d ", .openingSizeDelta = 0}},
        {"OnlyTheOpeningReplyStatesIt", {.announceNoSize = true, .openingSizeDelta = 0}},
        {"NoSizeStatedCutShortReportedComplete",
         {.announceNoSize = true, .cutAfterBytes = 1 << 20}},
        {"NoSizeStatedFileGrowsWhileSent", {.announceNoSize = true, .growWhileSending = 1000}},
        {"SizeStatedAllBytesThenSilence",
         {.afterData = AfterData::Silence},
         std::chrono::seconds(2)},
        {"SizeStatedAllBytesThenControlClosed", {.afterData = AfterData::Close}},
        {"OpeningReplyStatesTheSizeAllBytesThenSilence",
         {.announceNoSize = true, .openingSizeDelta = 0, .afterData = AfterData::Silence},
         std::chrono::seconds(2)},
    };
    return cases;
}

// A test of InetTest and the server it needs.
struct ServedInetTest {
    const char* test;
    FtpFaults faults;
};

inline const std::vector<ServedInetTest>& servedInetTests() {
    static const std::vector<ServedInetTest> tests = {
        {"FilesArriveByteIdentical", {}},
        {"RemotePathIsAbsoluteOnTheServer", {.loginFolder = "/home"}},
        {"SuccessReplacesAnOlderLongerFile", {}},
        {"SchemeVerbAndLocalPathAreReadIgnoringCase", {}},
        {"EmptyUrlArgumentUsesTheUrlProperty", {}},
        {"FailedRequestLeavesAnExistingFileAsItWas", {.dropAfterBytes = 1 << 20}},
        {"SlowButMovingTransferIsNotCut", {.bytesPerSecond = 10000}},
        {"CancelEndsTheRequestAndLeavesNoFile", {.bytesPerSecond = 500000}},
        {"ExecuteWhileExecutingIsRefusedAndTheRunningRequestGoesOn", {}},
        {"RequestsThatCannotStartEndAtOnce", {}},
        {"Ipv6LiteralServerAddress", {.ipv6 = true}},
    };
    return tests;
}

// How a server was started, so that a test run under Wine can tell it got the one it needs.
inline std::string serverDescription(const FtpFaults& faults, bool listening) {
    std::string description = listening ? "listening" : "not listening";
    for (const std::string& option : ftpServerOptions(faults)) description += " " + option;
    return description;
}

}  // namespace pulsaro::test
