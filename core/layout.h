#pragma once

// The install tree both programs work on. Every entry is a complete literal, spelt exactly as
// the program that uses it writes it; the letter case differs between places on purpose and is
// reconciled by the case-insensitive path resolution, never by joining or normalising here.

namespace pulsaro::layout {

inline constexpr const char* kRoot = R"(c:\pulsaro_zentra)";
inline constexpr const char* kRootAllFiles = R"(c:\pulsaro_zentra\*.*)";
inline constexpr const char* kQuorvin = R"(c:\pulsaro_zentra\QUORVIN)";
inline constexpr const char* kStaging = R"(c:\pulsaro_zentra\_Pulsaro)";

inline constexpr const char* kWorkbook = R"(c:\pulsaro_zentra\AAA_QV.xls)";
inline constexpr const char* kWinsockControl = R"(c:\pulsaro_zentra\MSWINSCK.OCX)";
inline constexpr const char* kInetControl = R"(c:\pulsaro_zentra\MSINET.OCX)";
inline constexpr const char* kComCtlControl = R"(c:\pulsaro_zentra\MSCOMCTL.OCX)";
inline constexpr const char* kMainApp = R"(c:\pulsaro_zentra\Pulsaro_zentra.exe)";
inline constexpr const char* kMainAppLower = R"(c:\pulsaro_zentra\pulsaro_zentra.exe)";
inline constexpr const char* kMinipadCoordinates =
    R"(c:\pulsaro_zentra\quorvin\coordinate_minipad.txt)";
inline constexpr const char* kTolerances = R"(c:\pulsaro_zentra\pulsaro_tol.txt)";
inline constexpr const char* kWebConfig = R"(c:\pulsaro_zentra\pulsaro_cfg_web2.txt)";
inline constexpr const char* kBuySound = R"(c:\pulsaro_zentra\buy.wav)";
inline constexpr const char* kAlarmSound = R"(c:\pulsaro_zentra\alarm.wav)";
inline constexpr const char* kUpdater = R"(c:\pulsaro_zentra\_pulsaro\pulsaro_zentra_update.exe)";
inline constexpr const char* kDownloadTarget =
    R"(c:\pulsaro_zentra\_pulsaro\pulsaronew_zentra.exe)";
inline constexpr const char* kStagedCopy = R"(c:\pulsaro_zentra\_pulsaro\pulsaro_zentra.exe)";
// Held by the updater from its first deletion to its last, so that one update at a time runs on
// an installation; it exists only while held.
inline constexpr const char* kUpdateLock =
    R"(c:\pulsaro_zentra\_pulsaro\pulsaro_zentra_update.lock)";
inline constexpr const char* kOutsideCopy = R"(c:\pulsaro\pulsaro_zentra.exe)";

// Every path above: what must hold for the tree, such as fitting below the drive, holds for these.
inline constexpr const char* kTreePaths[] = {
    kRoot,        kRootAllFiles,  kQuorvin,    kStaging,      kWorkbook,           kWinsockControl,
    kInetControl, kComCtlControl, kMainApp,    kMainAppLower, kMinipadCoordinates, kTolerances,
    kWebConfig,   kBuySound,      kAlarmSound, kUpdater,      kDownloadTarget,     kStagedCopy,
    kUpdateLock,  kOutsideCopy};

// Source names in the distribution folder, relative to the current directory.
namespace source {
inline constexpr const char* kWorkbook = "AAA_QV.xls";
inline constexpr const char* kWinsockControl = "MSWINSCK.OCX";
inline constexpr const char* kInetControl = "MSINET.OCX";
inline constexpr const char* kComCtlControl = "MSCOMCTL.OCX";
inline constexpr const char* kMainApp = "Pulsaro_zentra.exe";
inline constexpr const char* kMinipadCoordinates = "coordinate_minipad.txt";
inline constexpr const char* kTolerances = "pulsaro_tol.txt";
inline constexpr const char* kWebConfig = "pulsaro_cfg_web2.txt";
inline constexpr const char* kBuySound = "buy.wav";
inline constexpr const char* kAlarmSound = "alarm.wav";
inline constexpr const char* kUpdater = "pulsaro_zentra_update.exe";
}  // namespace source

}  // namespace pulsaro::layout
