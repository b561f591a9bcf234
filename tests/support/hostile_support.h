#pragma once

#include "dist_files.h"
#include "temp_drive.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace pulsaro::test {

// Every entry below a folder, links not followed: relative path -> file bytes, "<folder>",
// "-> target" or "<special>" (a FIFO, socket or device, never opened). Two snapshots are equal
// exactly when nothing below the folder changed.
std::map<std::string, std::string> treeSnapshot(const std::filesystem::path& folder);

// Every temporary file of an atomic replacement left below a folder.
std::vector<std::string> leftoverTemporaries(const std::filesystem::path& folder);

// Whether some diagnostic line holds every one of the given pieces.
bool anyLineHolds(const std::vector<std::string>& lines, const std::vector<std::string>& pieces);

}  // namespace pulsaro::test
