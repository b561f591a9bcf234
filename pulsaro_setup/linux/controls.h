#pragma once

#include <QPixmap>
#include <QPushButton>
#include <QWidget>

#include <functional>

// A push button that, like the platform's buttons, is pressed by Enter as well as by Space while
// it has the keyboard focus, even outside a dialog. A key presses it once, when it is released,
// and only when this button saw it go down: a key already held when the focus came (the key that
// closed a message box, or one whose release was lost and that the X server repeats for ever)
// never presses it. The click runs after the key's event, so no step, and no modal message of a
// step, runs inside a key handler.
class CommandButton : public QPushButton {
  public:
    CommandButton(const QString& caption, QWidget* parent);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    bool repeats(const QKeyEvent* event) const;

    int keySeenDown_ = 0;  // the key this button saw go down; 0 when none
    quint64 lastReleaseTime_ = 0;
};

// A box showing a picture at its top-left corner at the picture's own size; a click is a press
// and a release of the left button inside the box.
class PictureBox : public QWidget {
  public:
    PictureBox(const QPixmap& picture, QWidget* parent);

    const QPixmap& picture() const { return picture_; }
    void setClickHandler(std::function<void()> handler) { onClick_ = std::move(handler); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    QPixmap picture_;
    std::function<void()> onClick_;
    bool pressedInside_ = false;
};
