#pragma once

// The tests of the Windows transfer component run under Wine, one at a time, each against a
// fixture FTP server that the Linux side starts for it (tests/update/windows_inet_test.cpp) and
// names in PULSARO_TEST_FTP_URL and PULSARO_TEST_FTP_ROOT. The shared faults come from
// inet_fault_cases.h; these are the servers of the component's other tests.

#include "ftp_faults.h"
#include "op_result.h"

#include <optional>
#include <vector>

namespace pulsaro::test {

// A test of WinInetTest and the server it needs; a plain one unless said otherwise.
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
            {"SchemeVerbAndLocalPathAreReadIgnoringCase", {}},
            {"SlowButMovingTransferIsNotCut", slow},
            {"CancelEndsTheRequestAtOnceAndLeavesNoFile", trickle},
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

}  // namespace pulsaro::test
