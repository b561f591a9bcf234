// Holds an update lock in a process of its own, for the tests of ExclusiveLock: takes the lock
// named by its first argument, then creates the file named by the second to say so, and lets go
// once the file named by the third exists (or when it is killed).
// Usage: lock_holder LOCK READY RELEASE   (LOCK a Windows path, the others host paths)

#include "host.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#ifdef _WIN32
#include "wide.h"
#endif

namespace {

int holdLock(const std::string& lockPath, const std::filesystem::path& ready,
             const std::filesystem::path& release) {
    pulsaro::ExclusiveLock lock;
    if (!lock.acquire(lockPath)) return 1;
    std::ofstream{ready};
    while (!std::filesystem::exists(release)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    lock.release();
    return 0;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    return argc == 4 ? holdLock(pulsaro::narrow(argv[1]), argv[2], argv[3]) : 2;
}
#else
int main(int argc, char** argv) {
    return argc == 4 ? holdLock(argv[1], argv[2], argv[3]) : 2;
}
#endif
