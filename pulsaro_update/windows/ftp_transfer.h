#pragma once

#include "transfer_handover.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pulsaro {

// What one FTP get needs to know, in the form WinINet takes it.
struct FtpTransferSettings {
    std::wstring host;
    INTERNET_PORT port = INTERNET_DEFAULT_FTP_PORT;
    std::wstring userName;  // empty: an anonymous login
    std::wstring password;
    std::wstring remotePath;  // absolute on the server
};

// The worker's part of one request: WinINet's blocking calls, on a thread of their own, from the
// connection to the last byte and the server's final reply. It reaches the program only through
// the hand-over. It never decides that the server has been silent too long: when WinINet stops
// waiting for a silent server after a wait of its own (30 s under Wine), the worker just stops,
// and the request time-out on the program's thread ends the request, as on every host.
class FtpTransfer {
  public:
    FtpTransfer(std::shared_ptr<TransferHandover> handover, FtpTransferSettings settings);

    void run();

  private:
    enum class Call { Done, Failed, Abandoned };

    // How the transfer ended; nothing once the request was abandoned or the server went silent.
    std::optional<TransferEnd> fetch();
    std::optional<TransferEnd> login();
    std::optional<TransferEnd> askSize();
    std::optional<TransferEnd> openFile();
    std::optional<TransferEnd> readFile();
    std::optional<TransferEnd> closeFile();
    void closeHandles();

    // Makes one blocking WinINet call; keeps its error and the server's reply.
    template <class Function>
    Call call(Function&& function);
    TransferEnd failed(const char* step) const;
    TransferEnd unconfirmed(const char* step) const;
    // The failed call's end, or nothing when WinINet gave up waiting for a silent server.
    std::optional<TransferEnd> unlessSilent(TransferEnd end) const;
    DWORD_PTR context() const { return reinterpret_cast<DWORD_PTR>(handover_.get()); }
    static void CALLBACK onStatus(HINTERNET, DWORD_PTR context, DWORD status, void*, DWORD);

    std::shared_ptr<TransferHandover> handover_;
    FtpTransferSettings settings_;
    HINTERNET root_ = nullptr;
    HINTERNET connection_ = nullptr;
    HINTERNET file_ = nullptr;
    DWORD lastError_ = ERROR_SUCCESS;
    std::string lastReply_;
    std::vector<char> buffer_;
};

}  // namespace pulsaro
