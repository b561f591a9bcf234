#include "controls.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

CommandButton::CommandButton(const QString& caption, QWidget* parent)
    : QPushButton(caption, parent) {}

namespace {

bool pressesTheButton(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
}

}  // namespace

// The X server repeats a held key as a release and a press with one time stamp. The toolkit
// marks the pair as a repeat only when the press had already arrived as it read the release, so
// under load some pairs pass as fresh; their shared time stamp still tells them. Events sent
// without a time (stamp 0) are taken as they are.
bool CommandButton::repeats(const QKeyEvent* event) const {
    return event->isAutoRepeat() ||
           (event->timestamp() != 0 && event->timestamp() == lastReleaseTime_);
}

void CommandButton::keyPressEvent(QKeyEvent* event) {
    if (!pressesTheButton(event->key())) {
        QPushButton::keyPressEvent(event);
        return;
    }
    if (!repeats(event)) {
        keySeenDown_ = event->key();
        setDown(true);
    }
    event->accept();
}

void CommandButton::keyReleaseEvent(QKeyEvent* event) {
    if (!pressesTheButton(event->key())) {
        QPushButton::keyReleaseEvent(event);
        return;
    }
    event->accept();
    lastReleaseTime_ = event->timestamp();
    if (event->isAutoRepeat() || event->key() != keySeenDown_) return;
    keySeenDown_ = 0;
    setDown(false);
    QMetaObject::invokeMethod(this, &QAbstractButton::click, Qt::QueuedConnection);
}

// A key that goes down here and comes up elsewhere presses nothing; the base class lets the
// button up.
void CommandButton::focusOutEvent(QFocusEvent* event) {
    keySeenDown_ = 0;
    QPushButton::focusOutEvent(event);
}

PictureBox::PictureBox(const QPixmap& picture, QWidget* parent)
    : QWidget(parent), picture_(picture) {}

void PictureBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, picture_);
}

void PictureBox::mousePressEvent(QMouseEvent* event) {
    pressedInside_ = event->button() == Qt::LeftButton;
    event->accept();
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressedInside_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressedInside_ = false;
    if (click && onClick_) onClick_();
}
