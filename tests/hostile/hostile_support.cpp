#include "hostile_support.h"

#include <algorithm>

namespace fs = std::filesystem;

namespace pulsaro::test {

const std::vector<DistFile> kDistFiles = {
    {"AAA_QV.xls", "pulsaro_zentra/AAA_QV.xls"},
    {"MSWINSCK.OCX", "pulsaro_zentra/MSWINSCK.OCX"},
    {"MSINET.OCX", "pulsaro_zentra/MSINET.OCX"},
    {"MSCOMCTL.OCX", "pulsaro_zentra/MSCOMCTL.OCX"},
    {"Pulsaro_zentra.exe", "pulsaro_zentra/Pulsaro_zentra.exe"},
    {"coordinate_minipad.txt", "pulsaro_zentra/QUORVIN/coordinate_minipad.txt"},
    {"pulsaro_tol.txt", "pulsaro_zentra/pulsaro_tol.txt"},
    {"pulsaro_cfg_web2.txt", "pulsaro_zentra/pulsaro_cfg_web2.txt"},
    {"buy.wav", "pulsaro_zentra/buy.wav"},
    {"alarm.wav", "pulsaro_zentra/alarm.wav"},
    {"pulsaro_zentra_update.exe", "pulsaro_zentra/_Pulsaro/pulsaro_zentra_update.exe"},
};

std::string distContent(const std::string& source, unsigned generation, std::size_t size) {
    const std::string header = source + " generation " + std::to_string(generation) + "\n";
    const std::size_t body = size > header.size() ? size - header.size() : 500 + source.size();
    return header + patternBytes(body, generation);
}

void fillDistribution(const TempDrive& t, unsigned generation,
                      const std::map<std::string, std::size_t>& sizes) {
    for (const DistFile& f : kDistFiles) {
        const auto size = sizes.find(f.source);
        writeFile(t.dist() / f.source,
                  distContent(f.source, generation, size == sizes.end() ? 0 : size->second));
    }
}

std::map<std::string, std::string> treeSnapshot(const fs::path& folder) {
    std::map<std::string, std::string> tree;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string relative = fs::relative(entry.path(), folder).string();
        if (entry.is_symlink()) {
            tree[relative] = "-> " + fs::read_symlink(entry.path()).string();
        } else if (entry.is_directory()) {
            tree[relative] = "<folder>";
        } else {
            tree[relative] = readFile(entry.path());
        }
    }
    return tree;
}

std::vector<std::string> leftoverTemporaries(const fs::path& folder) {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.find(".partial") != std::string::npos) found.push_back(entry.path().string());
    }
    return found;
}

bool anyLineHolds(const std::vector<std::string>& lines, const std::vector<std::string>& pieces) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
        return std::all_of(pieces.begin(), pieces.end(), [&](const std::string& piece) {
            return line.find(piece) != std::string::npos;
        });
    });
}

}  // namespace pulsaro::test
