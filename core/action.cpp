#include "action.h"

#include "program.h"

#include <cstdlib>
#include <initializer_list>
#include <string_view>

namespace pulsaro {
namespace {

bool traceRequested() {
    const char* trace = std::getenv("PULSARO_TRACE");
    return trace && *trace && std::string_view(trace) != "0";
}

// Appended piece by piece: operator+ on a short literal trips a false -Wrestrict in GCC 12 -O3.
std::string line(std::initializer_list<std::string_view> pieces) {
    std::string text = programTitle();
    text.append(": ");
    for (std::string_view piece : pieces) text.append(piece);
    return text;
}

std::string plainLine(const OpResult& step) {
    if (step.task().empty()) {
        return line({step.operation(), " ", step.arguments(), " failed: ", step.reason()});
    }
    return line({"could not ", step.task(), ": ", step.reason()});
}

std::string traceLine(const OpResult& step) {
    const std::string_view call =
        step.operation().empty() ? std::string_view("a step") : std::string_view(step.operation());
    const std::string_view space = step.arguments().empty() ? "" : " ";
    if (step.ok()) return line({call, space, step.arguments(), ": done"});
    const std::string_view outcome =
        step.leavesNothingUndone() ? ": failed, nothing left undone: " : ": failed: ";
    return line({call, space, step.arguments(), outcome, step.reason()});
}

}  // namespace

Action::Action() : tracing_(traceRequested()) {}

bool Action::operator()(const OpResult& step) {
    if (tracing_) {
        emitDiagnostic(traceLine(step));
    } else if (!step.ok() && !step.leavesNothingUndone()) {
        emitDiagnostic(plainLine(step));
    }
    if (step.ok()) return true;
    ++failedSteps_;
    return false;
}

}  // namespace pulsaro
