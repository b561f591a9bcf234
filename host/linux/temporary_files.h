#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace pulsaro {

// Files being written go to ".<target>.partial-<pid>-<tag><n>" beside their target and are
// renamed over it only when complete, so a leftover can be told from a file a live process is
// still writing.
std::string newTemporaryName(const std::string& targetName, std::string_view tag);

// A writer killed part-way leaves its temporary file behind; the next writer to the same target
// removes it, leaving alone those of processes still running.
void removeAbandonedTemporaries(const std::filesystem::path& folder, const std::string& targetName);

}  // namespace pulsaro
