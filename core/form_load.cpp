#include "action.h"
#include "host.h"
#include "layout.h"
#include "program.h"
#include "texts.h"
#include "update_form.h"

namespace pulsaro::update {

using namespace pulsaro::layout;

// The installed application is only ever replaced, atomically, by a completely downloaded and
// staged file, so it is never lost; the message says whether it really was replaced.
void Form1::Form_Load() {
    Action run;
    PausaTempo(5);
    const std::string localFileName(texts::kLocalFileName);
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
    const bool updated = staging && SameContents(kMainAppLower, kStagedCopy);
    run(KillFiles(kStagedCopy));
    MsgBox(updated ? texts::kUpdated : texts::kNotUpdated);
    exitStatus = updated ? 0 : 1;
    window_.Unload();
}

}  // namespace pulsaro::update
