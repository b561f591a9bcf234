#pragma once

// windows.h first: wininet.h builds on its types.
#include <windows.h>

#include <wininet.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace pulsaro {

// How the worker's part of a request ended: a WinINet error (none when the file came through
// and the server confirmed it), the call that failed and the server's last reply.
struct TransferEnd {
    DWORD error = ERROR_SUCCESS;
    std::string step;
    std::string serverReply;
    bool ok() const { return error == ERROR_SUCCESS; }
};

// What the worker left since the program's thread last looked, in the order it arrived: every
// reply line that may state the file's size comes before the first byte.
struct Delivery {
    std::vector<std::string> serverReplies;
    std::vector<std::string> chunks;
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
    void finish(TransferEnd end);
    bool handlesClosedByProgram() const;
    // Lock-free: called from WinINet's status callback, inside its calls.
    void noteProgress();

    // The program's side.
    Delivery take();
    void abandon();
    std::chrono::steady_clock::time_point lastProgress() const;

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
    std::atomic<std::chrono::steady_clock::rep> lastProgress_;
};

}  // namespace pulsaro
