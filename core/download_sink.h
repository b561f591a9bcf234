#pragma once

#include "op_result.h"
#include "received_file.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

namespace pulsaro {

// Where a transfer puts the bytes of one downloaded file, whatever the transport. The bytes go to
// the file given (the host's PartialFile); the target is replaced only by a commit. Every size the
// server states for the file must hold: sizes that disagree fail the download, bytes beyond a
// stated size stop it at the first byte too many, and a commit refuses a file shorter than a stated
// size. What makes the file whole: bytes that match every size the server stated, whatever the
// server's final reply; when it stated none, only its final success reply after the data, and the
// bytes are then taken as they came. A sink given a largest size refuses a file the server states
// or sends larger, at once, without taking the rest.
class DownloadSink {
  public:
    DownloadSink(std::unique_ptr<ReceivedFile> file, FailureOf failure,
                 std::optional<std::int64_t> largest = std::nullopt)
        : failure_(std::move(failure)), largest_(largest), file_(std::move(file)) {}

    [[nodiscard]] OpResult open(std::string_view windowsTarget);

    // A line the server replied with; the sink reads the sizes it states (see sizeStatedIn).
    // False once the download has gone wrong, which tells the transport to stop.
    [[nodiscard]] bool serverReplied(std::string_view line);

    // Takes the next bytes; false once the download has gone wrong (see problem()), which tells
    // the transport to stop.
    [[nodiscard]] bool add(const char* data, std::size_t size);

    // The server confirmed the transfer complete with its final success reply: replaces the
    // target with the bytes received, unless they fall short of a stated size.
    [[nodiscard]] OpResult commit();

    // The transfer ended without the server's final reply (`why`: the time-out, or the connection
    // lost): replaces the target only when the bytes match every size the server stated, and
    // fails with `why` otherwise.
    [[nodiscard]] OpResult commitUnconfirmed(const OpResult& why);

    // What went wrong while bytes were taken, if anything did.
    const std::optional<OpResult>& problem() const { return problem_; }

    std::int64_t received() const { return file_->size(); }

  private:
    bool sizeStated(std::int64_t length);
    bool largerThanAllowed(std::int64_t length);

    FailureOf failure_;
    std::optional<std::int64_t> largest_;
    std::unique_ptr<ReceivedFile> file_;
    std::optional<std::int64_t> stated_;
    std::optional<OpResult> problem_;
};

}  // namespace pulsaro
