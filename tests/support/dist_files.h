#pragma once

#include "temp_drive.h"

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

// What "Passo 1" leaves directly in c:\pulsaro_zentra: nine files and one folder per name.
std::vector<std::string> installedRootListing();
// The whole tree "Passo 1" leaves from a distribution of the given generation, byte for byte.
void expectCompleteTree(const TempDrive& t, unsigned generation);

}  // namespace pulsaro::test
