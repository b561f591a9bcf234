#include "dist_files.h"

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

}  // namespace pulsaro::test
