#include "transfer_handover.h"

namespace pulsaro {
namespace {

// Bytes the worker may read ahead of the program's thread: enough to keep the network busy
// between two wake-ups, and a bound on memory when the program's thread is slow to look.
constexpr std::size_t kReadAhead = 1 << 20;

}  // namespace

TransferHandover::TransferHandover(HWND window, UINT wakeMessage)
    : window_(window), wakeMessage_(wakeMessage) {}

bool TransferHandover::publishRoot(HINTERNET root) {
    const std::lock_guard lock(mutex_);
    if (abandoned_) return false;
    root_ = root;
    return true;
}

bool TransferHandover::enterCall() {
    const std::lock_guard lock(mutex_);
    if (abandoned_) return false;
    inCall_ = true;
    return true;
}

bool TransferHandover::leaveCall() {
    const std::lock_guard lock(mutex_);
    inCall_ = false;
    return !abandoned_;
}

bool TransferHandover::serverReplied(std::string line) {
    const std::lock_guard lock(mutex_);
    if (abandoned_) return false;
    pending_.serverReplies.push_back(std::move(line));
    wakeLocked();
    return true;
}

bool TransferHandover::deliver(const char* data, std::size_t size) {
    std::unique_lock lock(mutex_);
    room_.wait(lock, [this] { return abandoned_ || pendingBytes_ < kReadAhead; });
    if (abandoned_) return false;
    pending_.chunks.emplace_back(data, size);
    pendingBytes_ += size;
    wakeLocked();
    return true;
}

void TransferHandover::dataEnded() {
    const std::lock_guard lock(mutex_);
    if (abandoned_) return;
    pending_.dataEnded = true;
    wakeLocked();
}

void TransferHandover::finish(TransferEnd end) {
    const std::lock_guard lock(mutex_);
    if (abandoned_) return;
    pending_.end = std::move(end);
    wakeLocked();
}

bool TransferHandover::handlesClosedByProgram() const {
    const std::lock_guard lock(mutex_);
    return closedByProgram_;
}

Delivery TransferHandover::take() {
    const std::lock_guard lock(mutex_);
    Delivery taken = std::move(pending_);
    pending_ = Delivery();
    pendingBytes_ = 0;
    wakePosted_ = false;
    room_.notify_all();
    return taken;
}

// The status callback never takes the lock, so closing the root while holding it cannot wait on
// the worker.
void TransferHandover::abandon() {
    const std::lock_guard lock(mutex_);
    if (abandoned_) return;
    abandoned_ = true;
    if (inCall_ && root_) {
        InternetCloseHandle(root_);
        closedByProgram_ = true;
    }
    room_.notify_all();
}

// One wake-up at a time: the program's thread takes everything pending when it handles it.
void TransferHandover::wakeLocked() {
    if (!wakePosted_) wakePosted_ = PostMessageW(window_, wakeMessage_, 0, 0) != FALSE;
}

}  // namespace pulsaro
