#pragma once

#include "op_result.h"

namespace pulsaro {

// Runs an action's steps under continue-on-failure sequencing: a failed step is recorded as one
// diagnostic line (program title, operation, arguments, the host's reason) and otherwise
// ignored, and the action goes on with its next step. Steps are evaluated in the order written.
class Action {
  public:
    // Takes the result of one step; says whether it succeeded, for the few steps that only make
    // sense after another one did.
    bool operator()(const OpResult& step);

    int failedSteps() const { return failedSteps_; }

  private:
    int failedSteps_ = 0;
};

}  // namespace pulsaro
