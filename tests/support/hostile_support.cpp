#include "hostile_support.h"

#include <algorithm>

namespace fs = std::filesystem;

namespace pulsaro::test {

std::map<std::string, std::string> treeSnapshot(const fs::path& folder) {
    std::map<std::string, std::string> tree;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string relative = fs::relative(entry.path(), folder).string();
        if (entry.is_symlink()) {
            tree[relative] = "-> " + fs::read_symlink(entry.path()).string();
        } else if (entry.is_directory()) {
            tree[relative] = "<folder>";
        } else if (!entry.is_regular_file()) {
            tree[relative] = "<special>";
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
