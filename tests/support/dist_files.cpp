#include "dist_files.h"

#include <gtest/gtest.h>

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

std::vector<std::string> installedRootListing() {
    return {"AAA_QV.xls",     "MSCOMCTL.OCX", "MSINET.OCX", "MSWINSCK.OCX", "Pulsaro_zentra.exe",
            "QUORVIN",        "_Pulsaro",     "alarm.wav",  "buy.wav",      "pulsaro_cfg_web2.txt",
            "pulsaro_tol.txt"};
}

void expectCompleteTree(const TempDrive& t, unsigned generation) {
    EXPECT_EQ(listFolder(t.onDrive("pulsaro_zentra")), installedRootListing());
    EXPECT_EQ(listFolder(t.onDrive("pulsaro_zentra/QUORVIN")),
              std::vector<std::string>{"coordinate_minipad.txt"});
    EXPECT_EQ(listFolder(t.onDrive("pulsaro_zentra/_Pulsaro")),
              std::vector<std::string>{"pulsaro_zentra_update.exe"});
    for (const DistFile& f : kDistFiles) {
        EXPECT_EQ(readFile(t.onDrive(f.installed)), distContent(f.source, generation))
            << f.installed;
    }
}

}  // namespace pulsaro::test
