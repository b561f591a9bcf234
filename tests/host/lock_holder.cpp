// Holds an update lock in a process of its own, for the tests of ExclusiveLock: takes the lock
// named by its first argument, then creates the file named by the second to say so, and lets go
// once the file named by the third exists (or when it is killed).
// Usage: lock_holder LOCK READY RELEASE   (LOCK a Windows path, the others host paths)

#include "host.h"
#include "wide.h"

#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) return 2;
    pulsaro::ExclusiveLock lock;
    if (!lock.acquire(pulsaro::narrow(argv[1]))) return 1;
    CloseHandle(CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    while (GetFileAttributesW(argv[3]) == INVALID_FILE_ATTRIBUTES) Sleep(10);
    lock.release();
    return 0;
}
