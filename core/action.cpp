#include "action.h"

#include "program.h"

namespace pulsaro {

bool Action::operator()(const OpResult& step) {
    if (step.ok()) return true;
    ++failedSteps_;
    std::string line = programTitle();
    for (std::string_view piece : {std::string_view(": "), std::string_view(step.operation()),
                                   std::string_view(" "), std::string_view(step.arguments()),
                                   std::string_view(": "), std::string_view(step.reason())}) {
        line.append(piece);
    }
    emitDiagnostic(line);
    return false;
}

}  // namespace pulsaro
