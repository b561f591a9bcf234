#pragma once

#include "op_result.h"

namespace pulsaro {

// Runs an action's steps under continue-on-failure sequencing: a failed step is recorded and
// otherwise ignored, and the action goes on with its next step. Steps are evaluated in the order
// written.
//
// What is recorded, as diagnostic lines: by default, each failure that leaves something undone,
// in one line a user can read ("<program>: could not <task>: <the host's reason>"); a failure
// that leaves nothing undone (nothing to delete, a folder already there) is not worth a word.
// With PULSARO_TRACE set to anything but "" or "0", every step and its outcome, successes too
// ("<program>: <operation> <arguments>: done", "...: failed, nothing left undone: <reason>",
// "...: failed: <reason>").
class Action {
  public:
    Action();

    // Takes the result of one step; says whether it succeeded, for the few steps that only make
    // sense after another one did.
    bool operator()(const OpResult& step);

    // Every failed step, those that left nothing undone included.
    int failedSteps() const { return failedSteps_; }

  private:
    bool tracing_;
    int failedSteps_ = 0;
};

}  // namespace pulsaro
