#pragma once

#include <QPixmap>
#include <QPushButton>
#include <QWidget>

#include <functional>

// A push button that, like the platform's buttons, is pressed by Enter as well as by Space while
// it has the keyboard focus, even outside a dialog.
class CommandButton : public QPushButton {
  public:
    CommandButton(const QString& caption, QWidget* parent);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
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
