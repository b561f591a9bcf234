#pragma once

#include "host.h"
#include "op_result.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace pulsaro {

// Where a transfer puts the bytes of one downloaded file, whatever the transport. The bytes go to
// the host's partial file; the target is replaced only by commit, and only when the file is whole
// by every size the server stated for it. A server that sends more than it stated is stopped at
// the first byte too many.
class DownloadSink {
  public:
    explicit DownloadSink(FailureOf failure) : failure_(std::move(failure)) {}

    [[nodiscard]] OpResult open(std::string_view windowsTarget);

    // A size the server stated for the file.
    void announceLength(std::int64_t length);

    // Takes the next bytes; false once the download has gone wrong (see problem()), which tells
    // the transport to stop.
    [[nodiscard]] bool add(const char* data, std::size_t size);

    // Replaces the target with the bytes received, when they are complete.
    [[nodiscard]] OpResult commit();

    // What went wrong while bytes were taken, if anything did.
    const std::optional<OpResult>& problem() const { return problem_; }

    std::int64_t received() const { return file_.size(); }

  private:
    FailureOf failure_;
    PartialFile file_;
    std::optional<std::int64_t> announced_;
    std::optional<OpResult> problem_;
};

}  // namespace pulsaro
