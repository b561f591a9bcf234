#pragma once

// The faulty servers every transfer component is tried against, and how each request must end.
// The tests of each host's component share this table and map the kinds of failure onto the
// codes of their own transfer library.

#include "ftp_faults.h"
#include "texts.h"

#include <chrono>
#include <cstdint>
#include <ostream>
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
