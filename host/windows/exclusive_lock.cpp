#include "drive.h"
#include "folders.h"
#include "handle.h"
#include "host.h"
#include "operation_calls.h"
#include "system_error.h"
#include "wide.h"

#include <windows.h>

namespace pulsaro {

// The lock is the lock file itself, opened by one holder at a time (no sharing) and deleted by
// the system when that holder's handle closes: at release, and also when the holder is killed,
// so a dead holder never leaves the file behind. A waiter sleeps until the folder changes, then
// tries again.
struct ExclusiveLock::State {
    Handle file;
};

ExclusiveLock::ExclusiveLock() = default;

ExclusiveLock::~ExclusiveLock() {
    release();
}

namespace {

// Sleeps until a name in the folder changes (the holder's file going), or a while has passed, in
// case the folder cannot report changes.
void awaitChange(const std::wstring& folder) {
    constexpr DWORD kLongestSleep = 250;
    HANDLE change =
        FindFirstChangeNotificationW(folder.c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME);
    if (change == INVALID_HANDLE_VALUE) {
        Sleep(kLongestSleep);
        return;
    }
    WaitForSingleObject(change, kLongestSleep);
    FindCloseChangeNotification(change);
}

}  // namespace

OpResult ExclusiveLock::acquire(std::string_view windowsPath) {
    release();
    const FailureOf fail = calls::exclusiveLock(windowsPath);
    const MappedPath mapped = mapPath(windowsPath);
    if (!mapped.ok()) return fail(FailedRule::OutsideDrive, mapped.error);
    // A holder's file refuses to be opened again; one being deleted as its holder lets go
    // refuses access for a moment, which is told from a lasting refusal by trying again a few
    // times.
    constexpr int kDeniedTries = 20;
    for (int denied = 0;;) {
        // Only a file can be the lock: a folder or a link in its place is refused at once.
        const DWORD existing = GetFileAttributesW(mapped.path.c_str());
        if (existing != INVALID_FILE_ATTRIBUTES &&
            (existing & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
            return fail(FailedRule::NotARegularFile, narrow(mapped.path) + " is not a file");
        }
        Handle file(CreateFileW(mapped.path.c_str(), GENERIC_READ | DELETE, 0, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        if (file.valid()) {
            state_ = std::make_unique<State>(State{std::move(file)});
            return fail.success();
        }
        const DWORD error = GetLastError();
        const bool held = error == ERROR_SHARING_VIOLATION ||
                          (error == ERROR_ACCESS_DENIED && ++denied < kDeniedTries);
        if (!held) return systemFailure(fail, error, narrow(mapped.path));
        awaitChange(folderOf(mapped.path));
    }
}

void ExclusiveLock::release() {
    state_.reset();
}

}  // namespace pulsaro
