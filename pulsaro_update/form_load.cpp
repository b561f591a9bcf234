#include "drive.h"
#include "form1.h"

#include "action.h"
#include "layout.h"
#include "operations.h"

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

namespace pulsaro {
namespace {

using namespace layout;

const QString kUpdated = QStringLiteral("Aggiornamento completato.Riavviare Pulsaro'");
const QString kNotUpdated =
    QStringLiteral("Aggiornamento non riuscito. Pulsaro non è stato modificato.");

bool holdsSameBytes(const char* windowsPathA, const char* windowsPathB) {
    const HostPath a = resolvePath(windowsPathA);
    const HostPath b = resolvePath(windowsPathB);
    if (!a.ok() || !b.ok()) return false;
    std::ifstream fa(a.path, std::ios::binary);
    std::ifstream fb(b.path, std::ios::binary);
    if (!fa || !fb) return false;
    std::vector<char> bufferA(1 << 20), bufferB(1 << 20);
    for (;;) {
        fa.read(bufferA.data(), static_cast<std::streamsize>(bufferA.size()));
        fb.read(bufferB.data(), static_cast<std::streamsize>(bufferB.size()));
        if (fa.gcount() != fb.gcount()) return false;
        if (!std::equal(bufferA.begin(), bufferA.begin() + fa.gcount(), bufferB.begin()))
            return false;
        if (fa.gcount() == 0) return fa.eof() && fb.eof();
    }
}

}  // namespace

// The whole updater: fetch the newest main application and put it in place. The installed
// application is only ever replaced, atomically, by a completely downloaded and staged file,
// so it is never lost; the message says whether it really was replaced.
void Form1::Form_Load() {
    Action run;
    PausaTempo(5);
    const std::string localFileName = "pulsaronew_zentra.exe";
    run(KillFiles(kDownloadTarget));
    DoEvents();
    run(KillFiles(kStagedCopy));
    DoEvents();
    DownloadUpdate(run, localFileName);
    const OpResult staging = FileCopy(kDownloadTarget, kStagedCopy);
    run(staging);
    run(KillFiles(kDownloadTarget));
    if (staging) {
        run(KillFiles(kOutsideCopy));
        run(FileCopy(kStagedCopy, kMainAppLower));
    }
    const bool updated = staging && holdsSameBytes(kMainAppLower, kStagedCopy);
    run(KillFiles(kStagedCopy));
    MsgBox(updated ? kUpdated : kNotUpdated);
    exitStatus = updated ? 0 : 1;
    Unload(*this);
}

}  // namespace pulsaro
