#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace pulsaro::test {

// What the server does on the control connection once a file's data connection has ended.
enum class AfterData {
    Reply,    // the final reply, as a sound server does
    Silence,  // nothing more, the control connection kept open
    Close,    // the control connection closed without a reply
};

// How the fixture FTP server (ftp_server.py) departs from a plain, well-behaved one; all off by
// default. Every member has an initializer, so that a case names only the faults it injects:
// FtpFaults{.announceNoSize = true, .cutAfterBytes = 1000}.
struct FtpFaults {
    std::string loginFolder{};  // where a login lands instead of "/"
    bool refuseLogin = false;
    std::optional<std::int64_t> dropAfterBytes{};   // closes the data connection there (426)
    std::optional<std::int64_t> stallAfterBytes{};  // sends nothing more, connection kept open
    std::int64_t sizeDelta = 0;                     // announced size minus the real one
    bool announceNoSize = false;                    // SIZE is answered 502
    std::string sizeReply{};                        // the reply to SIZE, "%d" for the size
    // The reply opening the transfer states "(N bytes)", N off by this much.
    std::optional<std::int64_t> openingSizeDelta{};
    std::optional<std::int64_t> cutAfterBytes{};  // the file ends there, reported complete (226)
    std::int64_t growWhileSending = 0;            // bytes added to the file as it is sent
    std::int64_t bytesPerSecond = 0;              // 0: as fast as it can
    std::string silentOn{};     // a command never answered; "BANNER": never greets
    std::string longReplyAt{};  // a reply preceded by a line of longReplyLength chars
    std::size_t longReplyLength = 70000;
    AfterData afterData = AfterData::Reply;
    std::optional<std::int64_t> dieAfterBytes{};  // the server process ends abruptly there
    bool ipv6 = false;                            // listens on ::1 instead of 127.0.0.1
};

// The options that make ftp_server.py depart from a plain server so.
inline std::vector<std::string> ftpServerOptions(const FtpFaults& faults) {
    std::vector<std::string> options;
    auto add = [&](const char* option, const auto& value) {
        options.emplace_back(option);
        if constexpr (std::is_arithmetic_v<std::decay_t<decltype(value)>>) {
            options.push_back(std::to_string(value));
        } else {
            options.emplace_back(value);
        }
    };
    if (!faults.loginFolder.empty()) add("--login-folder", faults.loginFolder);
    if (faults.refuseLogin) options.emplace_back("--refuse-login");
    if (faults.dropAfterBytes) add("--drop-after", *faults.dropAfterBytes);
    if (faults.stallAfterBytes) add("--stall-after", *faults.stallAfterBytes);
    if (faults.sizeDelta != 0) add("--size-delta", faults.sizeDelta);
    if (faults.announceNoSize) options.emplace_back("--no-size");
    if (!faults.sizeReply.empty()) add("--size-reply", faults.sizeReply);
    if (faults.openingSizeDelta) add("--opening-size-delta", *faults.openingSizeDelta);
    if (faults.cutAfterBytes) add("--cut-after", *faults.cutAfterBytes);
    if (faults.growWhileSending > 0) add("--grow-while-sending", faults.growWhileSending);
    if (faults.bytesPerSecond > 0) add("--rate", faults.bytesPerSecond);
    if (!faults.silentOn.empty()) add("--silent-on", faults.silentOn);
    if (!faults.longReplyAt.empty()) {
        add("--long-reply-at", faults.longReplyAt);
        add("--long-reply-length", faults.longReplyLength);
    }
    if (faults.afterData != AfterData::Reply) {
        add("--after-data", faults.afterData == AfterData::Silence ? "silence" : "close");
    }
    if (faults.dieAfterBytes) add("--die-after", *faults.dieAfterBytes);
    if (faults.ipv6) options.emplace_back("--ipv6");
    return options;
}

}  // namespace pulsaro::test
