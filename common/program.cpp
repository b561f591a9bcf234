#include "program.h"

#include <QMessageBox>

#include <cstdio>
#include <string>

namespace pulsaro {
namespace {

QString& title() {
    static QString value;
    return value;
}

class RealMessageBox final : public MessageBoxHandler {
  public:
    void show(const QString& caption, const QString& message) override {
        QMessageBox box(QMessageBox::NoIcon, caption, message, QMessageBox::Ok);
        box.exec();
    }
};

RealMessageBox& realMessageBox() {
    static RealMessageBox box;
    return box;
}

MessageBoxHandler*& currentHandler() {
    static MessageBoxHandler* handler = nullptr;
    return handler;
}

DiagnosticSink& currentSink() {
    static DiagnosticSink sink;
    return sink;
}

}  // namespace

void setProgramTitle(const QString& value) {
    title() = value;
}
QString programTitle() {
    return title();
}

MessageBoxHandler* setMessageBoxHandler(MessageBoxHandler* handler) {
    MessageBoxHandler* previous = currentHandler();
    currentHandler() = handler;
    return previous;
}

MessageBoxHandler& messageBoxHandler() {
    MessageBoxHandler* handler = currentHandler();
    return handler ? *handler : realMessageBox();
}

DiagnosticSink setDiagnosticSink(DiagnosticSink sink) {
    DiagnosticSink previous = std::move(currentSink());
    currentSink() = std::move(sink);
    return previous;
}

void emitDiagnostic(std::string_view line) {
    if (currentSink()) {
        currentSink()(line);
        return;
    }
    std::string text(line);
    text.push_back('\n');
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
}

}  // namespace pulsaro
