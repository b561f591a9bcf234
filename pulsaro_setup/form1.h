#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

// The setup window. Each handler is one installation step; the window only lays out its elements
// and shows a step's done-mark when the step asks for it.
class Form1 : public QWidget {
public:
    explicit Form1(QWidget* parent = nullptr);

    void Command1_Click();

    QPushButton* Command1 = nullptr;
    QLabel* Picture5 = nullptr;
};
