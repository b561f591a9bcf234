#include "action.h"

#include "program.h"

namespace pulsaro {

void Action::operator()(const OpResult& step) {
    if (step.ok()) return;
    ++failedSteps_;
    std::string line = programTitle();
    for (std::string_view piece : {std::string_view(": "), std::string_view(step.operation()),
                                   std::string_view(" "), std::string_view(step.arguments()),
                                   std::string_view(": "), std::string_view(step.reason())}) {
        line.append(piece);
    }
    emitDiagnostic(line);
}

}  // namespace pulsaro
