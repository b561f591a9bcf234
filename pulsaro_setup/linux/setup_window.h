#pragma once

#include "setup_form.h"

#include <QWidget>

#include <array>

// The setup window on this host: a Qt widget built from the element table, whose clicks run the
// setup's steps and which shows what the steps ask it to.
class SetupWindow : public QWidget, public pulsaro::setup::Window {
  public:
    explicit SetupWindow(QWidget* parent = nullptr);

    void Show(pulsaro::setup::Element element) override;

    QWidget* element(pulsaro::setup::Element id) const {
        return elements_[static_cast<std::size_t>(id)];
    }
    pulsaro::setup::Form1& form() { return form_; }

  private:
    void createElements();
    void followTabIndex();

    pulsaro::setup::Form1 form_{*this};
    std::array<QWidget*, pulsaro::setup::kElements.size()> elements_{};
};
