#include "form1.h"

#include <QLabel>
#include <QPushButton>

Form1::Form1(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Form1"));
    Command1 = new QPushButton(QStringLiteral("Passo 1"), this);
    Command1->setGeometry(16, 112, 121, 49);
    Picture5 = new QLabel(this);
    Picture5->setGeometry(272, 128, 25, 25);
    Picture5->setText(QStringLiteral("OK"));
    Picture5->setVisible(false);
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
}
