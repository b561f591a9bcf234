#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace pulsaro {

// A file being received: its bytes go to a temporary file beside the target, which takes the
// target's place in one rename once everything has arrived. Until then the target is untouched,
// and a file that is never committed leaves nothing behind.
class PartialFile {
  public:
    PartialFile() = default;
    ~PartialFile();
    PartialFile(const PartialFile&) = delete;
    PartialFile& operator=(const PartialFile&) = delete;

    // Each call returns 0 or the host's error number.
    [[nodiscard]] int open(const std::filesystem::path& target);
    [[nodiscard]] int append(const char* data, std::size_t size);
    // Renames the bytes over the target.
    [[nodiscard]] int commit();

    std::int64_t size() const { return size_; }
    const std::filesystem::path& target() const { return target_; }

  private:
    void discard();

    std::filesystem::path target_;
    std::string temporaryName_;
    int folder_ = -1;
    int fd_ = -1;
    std::int64_t size_ = 0;
};

}  // namespace pulsaro
