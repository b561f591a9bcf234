#include "action.h"
#include "host.h"
#include "layout.h"
#include "program.h"
#include "texts.h"
#include "update_form.h"

#include <cstdint>

namespace pulsaro::update {
namespace {

// An empty file is never a main application, however faithfully it was downloaded.
OpResult HoldsAnApplication(const char* path) {
    std::int64_t length = 0;
    if (OpResult measured = FileLen(path, length); !measured) return measured;
    const FailureOf check("HoldsAnApplication", inQuotes(path),
                          "install " + inQuotes(path) + " as the application");
    if (length > 0) return check.success();
    return check(FailedRule::EmptyFile, "an empty file is not an application");
}

}  // namespace

using namespace pulsaro::layout;

// The installed application is only ever replaced, atomically, by a completely downloaded and
// staged file that can be one, and that the vendor signed when the program holds keys, so it is
// never lost; the copy outside the install root goes only once the installed application holds
// the new file; the message says whether it does. One run at a time works on an installation:
// another waits until this one has done its file work.
void Form1::Form_Load() {
    Action run;
    PausaTempo(5);
    const std::string localFileName(texts::kLocalFileName);
    ExclusiveLock oneUpdateAtATime;
    run(oneUpdateAtATime.acquire(kUpdateLock));
    run(KillFiles(kDownloadTarget));
    DoEvents();
    run(KillFiles(kStagedCopy));
    DoEvents();
    DownloadUpdate(run, localFileName);
    const bool staged = VerifyDownload(run) && run(FileCopy(kDownloadTarget, kStagedCopy)) &&
                        run(HoldsAnApplication(kStagedCopy));
    run(KillFiles(kDownloadTarget));
    const bool updated = staged && run(FileCopy(kStagedCopy, kMainAppLower)) &&
                         SameContents(kMainAppLower, kStagedCopy);
    if (updated) run(KillFiles(kOutsideCopy));
    run(KillFiles(kStagedCopy));
    oneUpdateAtATime.release();
    MsgBox(updated ? texts::kUpdated : texts::kNotUpdated);
    exitStatus = updated ? 0 : 1;
    window_.Unload();
}

}  // namespace pulsaro::update
