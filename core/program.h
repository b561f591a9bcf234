#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace pulsaro {

// The running program's title: the caption of its message boxes and the tag of its diagnostics.
void setProgramTitle(std::string_view title);
const std::string& programTitle();

// The seam in front of the modal message box, so that tests can record messages instead of
// waiting for a person, and a program without a display can still say what it would have shown.
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

// Installs a handler (nullptr restores the host's message box); returns the previous one.
MessageBoxHandler* setMessageBoxHandler(MessageBoxHandler* handler);

// A modal message box with one OK button, no icon, and the program's title as caption.
void MsgBox(std::string_view message);

// Where diagnostic lines go: the host's diagnostic output unless a test redirects them.
using DiagnosticSink = std::function<void(std::string_view line)>;
DiagnosticSink setDiagnosticSink(DiagnosticSink sink);
void emitDiagnostic(std::string_view line);

}  // namespace pulsaro
