#pragma once

#include "temp_drive.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace pulsaro::test {

// A distribution file and where "Passo 1" installs it below the drive, in the letter case of the
// folder it lands in.
struct DistFile {
    const char* source;
    const char* installed;
};
extern const std::vector<DistFile> kDistFiles;

// Writes every distribution file; a size of 0 gives each its small default size.
void fillDistribution(const TempDrive& t, unsigned generation,
                      const std::map<std::string, std::size_t>& sizes = {});
std::string distContent(const std::string& source, unsigned generation, std::size_t size = 0);

// Every entry below a folder, links not followed: relative path -> file bytes, "<folder>" or
// "-> target". Two snapshots are equal exactly when nothing below the folder changed.
std::map<std::string, std::string> treeSnapshot(const std::filesystem::path& folder);

// Every temporary file of an atomic replacement left below a folder.
std::vector<std::string> leftoverTemporaries(const std::filesystem::path& folder);

// Whether some diagnostic line holds every one of the given pieces.
bool anyLineHolds(const std::vector<std::string>& lines, const std::vector<std::string>& pieces);

}  // namespace pulsaro::test
