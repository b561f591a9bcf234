#include "form1.h"

#include "program.h"

#include "done_mark.xpm"

#include <QLabel>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// The window was laid out in twips at 96 dots per inch: 15 twips to the pixel.
QRect twips(int left, int top, int width, int height) {
    const auto px = [](int t) { return static_cast<int>(std::lround(t / 15.0)); };
    return QRect(px(left), px(top), px(width), px(height));
}

// "MS Sans Serif" at 96 dpi; the point sizes 8.25, 12, 13.5 and 18 become these pixel sizes.
struct Typeface {
    int pixels;
    bool bold;
};
constexpr Typeface kSmallBold{11, true};
constexpr Typeface kSmall{11, false};
constexpr Typeface kMediumBold{16, true};
constexpr Typeface kLargeBold{18, true};
constexpr Typeface kTitle{24, true};

QFont sansSerif(Typeface face) {
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(face.pixels);
    font.setWeight(face.bold ? QFont::Bold : QFont::Normal);
    return font;
}

// Labels of this platform start at the top of their box and wrap at word boundaries within it.
QLabel* label(QWidget* parent, const char* text, QRect box, Typeface face, bool visible,
              Qt::Alignment horizontal = Qt::AlignLeft) {
    auto* l = new QLabel(QString::fromUtf8(text), parent);
    l->setTextFormat(Qt::PlainText);
    l->setWordWrap(true);
    l->setAlignment(horizontal | Qt::AlignTop);
    l->setFont(sansSerif(face));
    l->setGeometry(box);
    l->setVisible(visible);
    return l;
}

CommandButton* button(QWidget* parent, const char* caption, QRect box, bool visible) {
    auto* b = new CommandButton(QString::fromUtf8(caption), parent);
    b->setFont(sansSerif(kLargeBold));
    b->setGeometry(box);
    b->setVisible(visible);
    return b;
}

PictureBox* doneMark(QWidget* parent, QRect box) {
    auto* p = new PictureBox(QPixmap(done_mark_xpm), parent);
    p->setGeometry(box);
    p->setVisible(false);
    return p;
}

constexpr const char* kWebAddress = "www.pulsarozentra.example";

// The web address is longer than the box the layout has for it; the box grows to the right so
// the address stays whole on one line instead of breaking at a dot and losing its second line.
void widenToFitOneLine(QLabel* l) {
    const int textWidth = l->fontMetrics().horizontalAdvance(l->text()) + 1;
    l->resize(std::max(l->width(), textWidth), l->height());
}

}  // namespace

Form1::Form1(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    pulsaro::setProgramTitle(QStringLiteral("pulsaro_setup"));  // the program is this window
    setWindowTitle(QStringLiteral("Form1"));
    setFixedSize(357, 397);
    createElements();
    followTabIndex();
    bindEvents();
}

void Form1::createElements() {
    Picture2[1] = doneMark(this, twips(4080, 3360, 375, 375));
    Picture7 = doneMark(this, twips(4080, 2640, 375, 375));
    Command6 = button(this, "Passo 2", twips(240, 2520, 1815, 732), true);
    Picture5 = doneMark(this, twips(4080, 1920, 375, 375));
    Picture2[0] = doneMark(this, twips(10200, 3000, 375, 375));
    Command2 = button(this, "Passo 3", twips(240, 3360, 1815, 732), false);
    Command1 = button(this, "Passo 1", twips(240, 1680, 1815, 735), true);
    Command4 = button(this, "Avvia Pulsaro", twips(240, 4200, 4935, 975), true);
    Label10 = label(this, "Da non installare se si usa Dizodid", twips(2160, 3720, 3135, 255),
                    kSmallBold, false);
    Label9 = label(this, " Premere i pulsanti nell'ordine indicato", twips(120, 1080, 5055, 495),
                   kMediumBold, true);
    Label5 = label(this, "Registrazione Ocx", twips(2160, 2760, 1815, 255), kSmallBold, true);
    Label7 = label(this, "Installazione Macro ", twips(2160, 3480, 1815, 255), kSmallBold, false);
    Label6 = label(this, "Installazione files ", twips(2160, 1920, 1815, 255), kSmallBold, true);
    Label4 = label(this, kWebAddress, twips(1680, 5520, 2175, 255), kMediumBold, true);
    widenToFitOneLine(Label4);
    Label3 = label(this, "Per informazionisull'uso di Pulsaro visitare il sito ",
                   twips(840, 5280, 3615, 255), kSmall, true);
    Label2 =
        label(this, " Procedura  di Installazione", twips(480, 480, 4095, 495), kLargeBold, true);
    Label1 = label(this, "Pulsaro ", twips(600, 0, 3855, 615), kTitle, true, Qt::AlignHCenter);
}

// Tab moves through the elements by tab index, and the window opens with the focus on the first
// of them that is visible and takes the focus.
void Form1::followTabIndex() {
    std::pair<int, QWidget*> byTabIndex[] = {
        {16, Picture2[1]}, {13, Picture7}, {11, Command6}, {7, Picture5}, {8, Picture2[0]},
        {0, Command2},     {4, Command1},  {3, Command4},  {15, Label10}, {14, Label9},
        {12, Label5},      {10, Label7},   {9, Label6},    {6, Label4},   {5, Label3},
        {2, Label2},       {1, Label1}};
    std::ranges::sort(byTabIndex, {}, &std::pair<int, QWidget*>::first);
    for (std::size_t i = 1; i < std::size(byTabIndex); ++i) {
        setTabOrder(byTabIndex[i - 1].second, byTabIndex[i].second);
    }
    const auto takesFocusFirst = std::ranges::find_if(byTabIndex, [](const auto& entry) {
        return !entry.second->isHidden() && (entry.second->focusPolicy() & Qt::TabFocus);
    });
    if (takesFocusFirst != std::end(byTabIndex)) takesFocusFirst->second->setFocus();
}

void Form1::bindEvents() {
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command6, &QPushButton::clicked, this, [this] { Command6_Click(); });
    connect(Command4, &QPushButton::clicked, this, [this] { Command4_Click(); });
    Picture7->setClickHandler([this] { Picture7_Click(); });
}

// A click on the registration step's mark shows the file installation step's mark.
void Form1::Picture7_Click() {
    Picture5->setVisible(true);
}
