#pragma once

// The system's own texts: what the user reads, the command lines the setup starts and the server
// the updater asks. Every text is UTF-8, exactly as the user sees or the host receives it.

#include <string_view>

namespace pulsaro::texts {

// The captions of each program's message boxes and the tag of its diagnostics.
inline constexpr std::string_view kSetupTitle = "pulsaro_setup";
inline constexpr std::string_view kUpdateTitle = "pulsaro_update";
inline constexpr std::string_view kWindowCaption = "Form1";

// "Passo 2": two spaces after the program name, and the control names in the letter case each
// line has always used.
inline constexpr std::string_view kRegisterWinsock = R"(regsvr32  c:\pulsaro_zentra\MSWINSCK.OCX)";
inline constexpr std::string_view kRegisterInet = R"(regsvr32  c:\pulsaro_zentra\MSinet.ocx)";
inline constexpr std::string_view kRegisterComCtl = R"(regsvr32  c:\pulsaro_zentra\mscomctl.ocx)";

inline constexpr std::string_view kWebAddress = "www.pulsarozentra.example";

// "Avvia Pulsaro": where the product lives and the support contacts, on one line with no final
// full stop.
inline constexpr std::string_view kStartMessage =
    "Pulsaro \xC3\xA8 stato installato nella cartella C:\\pulsaro_zentra. Per informazioni e "
    "supporto scrivere a supporto@pulsarozentra.example o Telefonare a: +39 02 0000 0000";

// The updater's last word: the first only when the installed application now holds the new file.
inline constexpr std::string_view kUpdated = "Aggiornamento completato.Riavviare Pulsaro'";
inline constexpr std::string_view kNotUpdated =
    "Aggiornamento non riuscito. Pulsaro non \xC3\xA8 stato modificato.";

// The product's server and the file it serves.
inline constexpr std::string_view kServerUrl = "FTP://ftp.pulsarozentra.example";
inline constexpr std::string_view kUserName = "pulsarozentra";
inline constexpr std::string_view kPassword = "kx7rw2pq5d";
inline constexpr std::string_view kRemoteFile =
    "/pulsarozentra.example/mdb-database/_pulsaro/pulsaro_zentra.exe";
inline constexpr std::string_view kLocalFolderPart = R"( c:\pulsaro_zentra\_pulsaro\)";
inline constexpr std::string_view kLocalFileName = "pulsaronew_zentra.exe";
// Beside the remote file, its signature: the vendor's, for updaters built with keys.
inline constexpr std::string_view kRemoteSignature =
    "/pulsarozentra.example/mdb-database/_pulsaro/pulsaro_zentra.exe.sig";

}  // namespace pulsaro::texts
