#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace pulsaro {

// The running program's title: the caption of its message boxes and the tag of its diagnostics.
void setProgramTitle(std::string_view title);
const std::string& programTitle();

// The seam in front of the modal message box: the program installs the host's box (host.h)
// when it has a display, tests record messages instead of waiting for a person, and a program
// without a display still says what it would have shown.
class MessageBoxHandler {
  public:
    virtual ~MessageBoxHandler() = default;
    virtual void show(std::string_view caption, std::string_view message) = 0;
};

// For a program that has no display: each message goes out as a diagnostic line, "<caption>:
// <message>", instead of a box that nobody could see or dismiss.
class MessageAsDiagnostic final : public MessageBoxHandler {
  public:
    void show(std::string_view caption, std::string_view message) override;
};

// Installs a handler; returns the previous one. With none (nullptr), each message goes out as
// MessageAsDiagnostic sends it.
MessageBoxHandler* setMessageBoxHandler(MessageBoxHandler* handler);

// Shows the message with the installed handler, the program's title as caption: on a display,
// the host's modal message box with one OK button and no icon.
void MsgBox(std::string_view message);

// Where diagnostic lines go: the host's diagnostic output, which the program installs first
// thing, unless a test redirects them. With none installed (an empty sink), standard error.
using DiagnosticSink = std::function<void(std::string_view line)>;
DiagnosticSink setDiagnosticSink(DiagnosticSink sink);
void emitDiagnostic(std::string_view line);

}  // namespace pulsaro
