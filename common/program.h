#pragma once

#include <QString>

#include <functional>
#include <string_view>

namespace pulsaro {

// The running program's title: the caption of its message boxes and the tag of its diagnostics.
void setProgramTitle(const QString& title);
QString programTitle();

// The seam in front of the modal message box, so that tests can record messages instead of
// waiting for a person.
class MessageBoxHandler {
  public:
    virtual ~MessageBoxHandler() = default;
    virtual void show(const QString& caption, const QString& message) = 0;
};

// Installs a handler (nullptr restores the real message box); returns the previous one.
MessageBoxHandler* setMessageBoxHandler(MessageBoxHandler* handler);
MessageBoxHandler& messageBoxHandler();

// Where diagnostic lines go: standard error unless a test redirects them.
using DiagnosticSink = std::function<void(std::string_view line)>;
DiagnosticSink setDiagnosticSink(DiagnosticSink sink);
void emitDiagnostic(std::string_view line);

}  // namespace pulsaro
