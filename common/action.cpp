#include "action.h"

#include "program.h"

#include <string>

namespace pulsaro {

void Action::operator()(const OpResult& step) {
    if (step.ok()) return;
    ++failedSteps_;
    emitDiagnostic(programTitle().toStdString() + ": " + step.operation() + " " + step.arguments() +
                   ": " + step.reason());
}

}  // namespace pulsaro
