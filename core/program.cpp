#include "program.h"

#include <cstdio>

namespace pulsaro {
namespace {

std::string& title() {
    static std::string value;
    return value;
}

MessageBoxHandler*& installedHandler() {
    static MessageBoxHandler* handler = nullptr;
    return handler;
}

DiagnosticSink& installedSink() {
    static DiagnosticSink sink;
    return sink;
}

}  // namespace

void setProgramTitle(std::string_view value) {
    title() = value;
}

const std::string& programTitle() {
    return title();
}

MessageBoxHandler* setMessageBoxHandler(MessageBoxHandler* handler) {
    MessageBoxHandler* previous = installedHandler();
    installedHandler() = handler;
    return previous;
}

void MsgBox(std::string_view message) {
    if (MessageBoxHandler* handler = installedHandler()) {
        handler->show(programTitle(), message);
    } else {
        MessageAsDiagnostic().show(programTitle(), message);
    }
}

void MessageAsDiagnostic::show(std::string_view caption, std::string_view message) {
    std::string line(caption);
    line.append(": ");
    line.append(message);
    emitDiagnostic(line);
}

DiagnosticSink setDiagnosticSink(DiagnosticSink sink) {
    DiagnosticSink previous = std::move(installedSink());
    installedSink() = std::move(sink);
    return previous;
}

void emitDiagnostic(std::string_view line) {
    if (installedSink()) {
        installedSink()(line);
        return;
    }
    std::string text(line);
    text.push_back('\n');
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
}

}  // namespace pulsaro
