#pragma once

// windows.h first: wininet.h builds on its types.
#include <windows.h>

#include <wininet.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace pulsaro {

// How the worker's part of a request ended: how far it got, and when it failed, the WinINet
// error, the call that failed and the server's last reply.
struct TransferEnd {
    enum class Kind {
        Confirmed,    // the file came through and the server's final reply confirmed it
        Failed,       // a call failed, or the server's reply reported a failure
        Unconfirmed,  // the transfer opened, then the connection ended without a final reply
    };
    Kind kind = Kind::Confirmed;
    DWORD error = ERROR_SUCCESS;
    std::string step;
    std::string serverReply;
    bool ok() const { return kind == Kind::Confirmed; }
};

// What the worker left since the program's thread last looked, in the order it arrived: every
// reply line that may state the file's size comes before the first byte, and the end of the data
// after the last.
struct Delivery {
    std::vector<std::string> serverReplies;
    std::vector<std::string> chunks;
    bool dataEnded = false;
    std::optional<TransferEnd> end;
};

// All that the worker thread of one request and the program's thread share. The worker never
// touches the program's objects: it leaves the server's replies, bytes and its end here and posts a
// wake-up to the component's window, and the program's thread takes them when it handles that
// message. Only the program's thread decides that a request is over (finished, cancelled, timed
// out); from then on the worker makes no further call and posts nothing.
//
// The handles are closed by exactly one thread. While the worker is inside a WinINet call, the
// program's thread ends the request by closing the root handle, which closes the handles below it
// and unblocks the call; the worker then leaves every handle alone. Between calls the worker
// sees the request abandoned and closes its handles itself.
class TransferHandover {
  public:
    TransferHandover(HWND window, UINT wakeMessage);
    TransferHandover(const TransferHandover&) = delete;
    TransferHandover& operator=(const TransferHandover&) = delete;

    // The worker's side; false once the request is abandoned.
    [[nodiscard]] bool publishRoot(HINTERNET root);
    [[nodiscard]] bool enterCall();
    [[nodiscard]] bool leaveCall();
    [[nodiscard]] bool serverReplied(std::string line);
    // Waits while the program's thread has not taken enough of the bytes before.
    [[nodiscard]] bool deliver(const char* data, std::size_t size);
    void dataEnded();
    void finish(TransferEnd end);
    bool handlesClosedByProgram() const;
    // Lock-free: called from WinINet's status callback, inside its calls, for every reply.
    void noteReply() { repliesHeard_.fetch_add(1); }

    // Both sides: the replies WinINet has read from the server so far.
    std::uint64_t repliesHeard() const { return repliesHeard_.load(); }

    // The program's side.
    Delivery take();
    void abandon();

  private:
    void wakeLocked();

    mutable std::mutex mutex_;
    std::condition_variable room_;
    const HWND window_;
    const UINT wakeMessage_;
    HINTERNET root_ = nullptr;
    bool inCall_ = false;
    bool abandoned_ = false;
    bool closedByProgram_ = false;
    bool wakePosted_ = false;
    Delivery pending_;
    std::size_t pendingBytes_ = 0;
    std::atomic<std::uint64_t> repliesHeard_{0};
};

}  // namespace pulsaro
