#pragma once

#include "controls.h"

#include <QWidget>

#include <array>

class QLabel;

// The setup window. Each handler is one installation step; the window only lays out its elements
// and shows a step's done-mark when the step asks for it. Elements are listed in the window's
// element order; row 3 ("Passo 3", Label7, Label10, Picture2[1]) and Picture2[0] are never shown.
class Form1 : public QWidget {
  public:
    explicit Form1(QWidget* parent = nullptr);

    void Command1_Click();
    void Command6_Click();
    void Command4_Click();
    void Picture7_Click();

    std::array<PictureBox*, 2> Picture2{};
    PictureBox* Picture7 = nullptr;
    CommandButton* Command6 = nullptr;
    PictureBox* Picture5 = nullptr;
    CommandButton* Command2 = nullptr;
    CommandButton* Command1 = nullptr;
    CommandButton* Command4 = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label1 = nullptr;

  private:
    void createElements();
    void followTabIndex();
    void bindEvents();
};
