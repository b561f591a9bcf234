#include "setup_window.h"

#include "controls.h"
#include "program.h"
#include "texts.h"

#include "done_mark.xpm"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

using namespace pulsaro;
using namespace pulsaro::setup;

namespace {

QRect boxOf(const ElementRow& e) {
    return QRect(pixels(e.left), pixels(e.top), pixels(e.width), pixels(e.height));
}

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString textOf(const ElementRow& e) {
    return fromUtf8(e.text);
}

// Screen readers present a done-mark as a picture, by its name and description.
QAccessibleInterface* pictureBoxAccessible(const QString&, QObject* object) {
    auto* box = dynamic_cast<PictureBox*>(object);
    return box ? new QAccessibleWidget(box, QAccessible::Graphic) : nullptr;
}

PictureBox* doneMark(QWidget* parent, const ElementRow& e, const QPixmap& picture) {
    auto* box = new PictureBox(picture, parent);
    const SpokenMark spoken = spokenMark(e.id);
    box->setAccessibleName(fromUtf8(spoken.name));
    box->setAccessibleDescription(fromUtf8(spoken.description));
    return box;
}

// "MS Sans Serif" is not installed on this host; Liberation Sans, metrically close to the faces
// that stand in for it, is drawn at the same pixel size it would have at 96 dpi.
QFont fontOf(const ElementRow& e) {
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(static_cast<int>(std::lround(e.font.points * 96.0 / 72.0)));
    font.setWeight(e.font.bold ? QFont::Bold : QFont::Normal);
    return font;
}

// Labels of this platform start at the top of their box and wrap at word boundaries within it.
QLabel* label(QWidget* parent, const ElementRow& e) {
    auto* l = new QLabel(textOf(e), parent);
    l->setTextFormat(Qt::PlainText);
    l->setWordWrap(true);
    l->setAlignment((e.centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
    return l;
}

// The web address is longer than the box the layout has for it; the box grows to the right so
// the address stays whole on one line instead of breaking at a dot and losing its second line.
void widenToFitOneLine(QWidget* w) {
    const auto* l = static_cast<QLabel*>(w);
    const int textWidth = l->fontMetrics().horizontalAdvance(l->text()) + 1;
    w->resize(std::max(w->width(), textWidth), w->height());
}

}  // namespace

SetupWindow::SetupWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setProgramTitle(texts::kSetupTitle);  // the program is this window
    setWindowTitle(fromUtf8(texts::kWindowCaption));
    setFixedSize(pixels(kClientWidthTwips), pixels(kClientHeightTwips));
    QAccessible::installFactory(pictureBoxAccessible);  // installed once however often it is called
    createElements();
    followTabIndex();
}

void SetupWindow::createElements() {
    const QPixmap picture(done_mark_xpm);
    for (const ElementRow& e : kElements) {
        QWidget* w = nullptr;
        switch (e.kind) {
            case ElementKind::PictureBox: {
                auto* box = doneMark(this, e, picture);
                box->setClickHandler([this, id = e.id] { form_.Click(id); });
                w = box;
                break;
            }
            case ElementKind::PushButton: {
                auto* button = new CommandButton(textOf(e), this);
                connect(button, &QPushButton::clicked, this,
                        [this, id = e.id] { form_.Click(id); });
                w = button;
                break;
            }
            case ElementKind::Label:
                w = label(this, e);
                break;
        }
        if (e.kind != ElementKind::PictureBox) w->setFont(fontOf(e));
        w->setGeometry(boxOf(e));
        w->setVisible(e.visibleAtStart);
        elements_[static_cast<std::size_t>(e.id)] = w;
    }
    widenToFitOneLine(element(Element::Label4));
}

// Tab moves through the elements by tab index, and the window opens with the focus on the first
// of them that is visible and takes the focus.
void SetupWindow::followTabIndex() {
    std::vector<const ElementRow*> byTabIndex;
    for (const ElementRow& e : kElements) byTabIndex.push_back(&e);
    std::ranges::sort(byTabIndex, {}, &ElementRow::tabIndex);
    for (std::size_t i = 1; i < byTabIndex.size(); ++i) {
        setTabOrder(element(byTabIndex[i - 1]->id), element(byTabIndex[i]->id));
    }
    for (const ElementRow* e : byTabIndex) {
        QWidget* w = element(e->id);
        if (!w->isHidden() && (w->focusPolicy() & Qt::TabFocus)) {
            w->setFocus();
            return;
        }
    }
}

void SetupWindow::Show(Element id) {
    element(id)->setVisible(true);
}
