#include "form1.h"
#include "temp_drive.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QTest>

#include <gtest/gtest.h>

#include <set>

using namespace pulsaro::test;

namespace {

using Element = QWidget* (*)(const Form1&);
#define ELEMENT(member) [](const Form1& f) -> QWidget* { return f.member; }

// The window's elements in its element order, in pixels. Picture boxes have no text and no font.
struct Row {
    const char* name;
    Element of;
    const char* text;
    QRect box;
    bool visibleAtStart;
    int fontPixels;
    bool bold;
};
const Row kElements[] = {
    {"Picture2(1)", ELEMENT(Picture2[1]), nullptr, {272, 224, 25, 25}, false, 0, false},
    {"Picture7", ELEMENT(Picture7), nullptr, {272, 176, 25, 25}, false, 0, false},
    {"Command6", ELEMENT(Command6), "Passo 2", {16, 168, 121, 49}, true, 18, true},
    {"Picture5", ELEMENT(Picture5), nullptr, {272, 128, 25, 25}, false, 0, false},
    {"Picture2(0)", ELEMENT(Picture2[0]), nullptr, {680, 200, 25, 25}, false, 0, false},
    {"Command2", ELEMENT(Command2), "Passo 3", {16, 224, 121, 49}, false, 18, true},
    {"Command1", ELEMENT(Command1), "Passo 1", {16, 112, 121, 49}, true, 18, true},
    {"Command4", ELEMENT(Command4), "Avvia Pulsaro", {16, 280, 329, 65}, true, 18, true},
    {"Label10",
     ELEMENT(Label10),
     "Da non installare se si usa Dizodid",
     {144, 248, 209, 17},
     false,
     11,
     true},
    {"Label9",
     ELEMENT(Label9),
     " Premere i pulsanti nell'ordine indicato",
     {8, 72, 337, 33},
     true,
     16,
     true},
    {"Label5", ELEMENT(Label5), "Registrazione Ocx", {144, 184, 121, 17}, true, 11, true},
    {"Label7", ELEMENT(Label7), "Installazione Macro ", {144, 232, 121, 17}, false, 11, true},
    {"Label6", ELEMENT(Label6), "Installazione files ", {144, 128, 121, 17}, true, 11, true},
    {"Label4", ELEMENT(Label4), "www.pulsarozentra.example", {112, 368, 145, 17}, true, 16, true},
    {"Label3",
     ELEMENT(Label3),
     "Per informazionisull'uso di Pulsaro visitare il sito ",
     {56, 352, 241, 17},
     true,
     11,
     false},
    {"Label2", ELEMENT(Label2), " Procedura  di Installazione", {32, 32, 273, 33}, true, 18, true},
    {"Label1", ELEMENT(Label1), "Pulsaro ", {40, 0, 257, 41}, true, 24, true},
};

QString textOf(const QWidget* w) {
    if (auto* label = qobject_cast<const QLabel*>(w)) return label->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(w)) return button->text();
    return {};
}

std::set<const QWidget*> visibleMarks(const Form1& f) {
    std::set<const QWidget*> shown;
    for (const QWidget* mark :
         {static_cast<QWidget*>(f.Picture2[0]), static_cast<QWidget*>(f.Picture2[1]),
          static_cast<QWidget*>(f.Picture5), static_cast<QWidget*>(f.Picture7)}) {
        if (mark->isVisible()) shown.insert(mark);
    }
    return shown;
}

class SetupWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        form.show();
        QApplication::setActiveWindow(&form);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    }

    TempDrive drive;
    RecordingMessageBox messages;
    CapturedDiagnostics diagnostics;
    Form1 form;
};

TEST_F(SetupWindow, OpensWithEveryElementInItsPlaceTextAndFont) {
    std::set<QWidget*> distinct;
    for (const Row& row : kElements) {
        SCOPED_TRACE(row.name);
        QWidget* w = row.of(form);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->parentWidget(), &form);
        distinct.insert(w);
        EXPECT_EQ(w->isVisible(), row.visibleAtStart);
        if (row.name == std::string("Label4")) {
            // The address is wider than its box in the layout; the box only grows to the right.
            EXPECT_EQ(w->geometry().topLeft(), row.box.topLeft());
            EXPECT_EQ(w->height(), row.box.height());
            EXPECT_GE(w->width(), row.box.width());
        } else {
            EXPECT_EQ(w->geometry(), row.box);
        }
        if (!row.text) continue;
        EXPECT_EQ(textOf(w).toUtf8().toStdString(), row.text);
        EXPECT_EQ(w->font().family(), QStringLiteral("Liberation Sans"));
        EXPECT_EQ(w->font().pixelSize(), row.fontPixels);
        EXPECT_EQ(w->font().weight(), row.bold ? 700 : 400);
    }
    EXPECT_EQ(distinct.size(), std::size(kElements));
    EXPECT_TRUE(visibleMarks(form).empty());
}

TEST_F(SetupWindow, EveryTextFitsItsBoxWrappingOnlyBetweenWords) {
    for (const Row& row : kElements) {
        if (!row.text) continue;
        SCOPED_TRACE(row.name);
        QWidget* w = row.of(form);
        const QFontMetrics metrics(w->font());
        if (auto* label = qobject_cast<QLabel*>(w)) {
            EXPECT_TRUE(label->wordWrap());
            const QRect needed =
                metrics.boundingRect(QRect(0, 0, w->width(), 1000),
                                     int(label->alignment()) | Qt::TextWordWrap, label->text());
            // The box must hold every line, not the spacing after the last one.
            const int lines = (needed.height() + metrics.lineSpacing() / 2) / metrics.lineSpacing();
            const int inkHeight = (lines - 1) * metrics.lineSpacing() + metrics.height();
            EXPECT_LE(needed.width(), w->width());
            EXPECT_LE(inkHeight, w->height()) << lines << " lines";
        } else {
            EXPECT_LE(metrics.horizontalAdvance(textOf(w)) + 8, w->width());
            EXPECT_LE(metrics.height() + 8, w->height());
        }
    }
    EXPECT_EQ(form.Label1->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_EQ(form.Label2->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
}

TEST_F(SetupWindow, HasAFixedSizeACloseButtonAndNoOtherWindowButtonOrMenu) {
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Form1"));
    EXPECT_EQ(form.size(), QSize(357, 397));
    EXPECT_EQ(form.minimumSize(), QSize(357, 397));
    EXPECT_EQ(form.maximumSize(), QSize(357, 397));
    form.resize(500, 600);
    QApplication::processEvents();
    EXPECT_EQ(form.size(), QSize(357, 397));
    const Qt::WindowFlags flags = form.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(form.findChildren<QMenuBar*>().isEmpty());
}

TEST_F(SetupWindow, FocusStartsOnTheStartButtonAndTabFollowsTheTabIndex) {
    const std::vector<QWidget*> cycle = {form.Command4, form.Command1, form.Command6,
                                         form.Command4};
    for (QWidget* expected : cycle) {
        ASSERT_EQ(QApplication::focusWidget(), expected)
            << QApplication::focusWidget()->metaObject()->className();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
}

TEST_F(SetupWindow, EnterAtOnceRunsTheStartStep) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    ASSERT_EQ(messages.messages.size(), 1);
    EXPECT_TRUE(messages.messages[0].startsWith(QStringLiteral("Pulsaro è stato installato")));
    EXPECT_TRUE(visibleMarks(form).empty());
}

TEST_F(SetupWindow, EachStepShowsOnlyItsOwnMarkAndTheRegistrationMarkShowsTheFirst) {
    // Nothing is installed in the drive folder, so every step's operations fail; the marks still
    // follow the clicks.
    struct Case {
        const char* name;
        std::vector<CommandButton * Form1::*> press;
        bool thenClickPicture7;
        std::vector<PictureBox * Form1::*> shown;
    };
    const Case cases[] = {
        {"Passo 1", {&Form1::Command1}, false, {&Form1::Picture5}},
        {"Passo 2", {&Form1::Command6}, false, {&Form1::Picture7}},
        {"Passo 2 before Passo 1",
         {&Form1::Command6, &Form1::Command1},
         false,
         {&Form1::Picture5, &Form1::Picture7}},
        {"Passo 2, then a click on its mark",
         {&Form1::Command6},
         true,
         {&Form1::Picture5, &Form1::Picture7}},
        {"each step twice",
         {&Form1::Command1, &Form1::Command1, &Form1::Command6, &Form1::Command6},
         false,
         {&Form1::Picture5, &Form1::Picture7}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Form1 fresh;
        fresh.show();
        for (auto button : c.press) QTest::mouseClick(fresh.*button, Qt::LeftButton);
        if (c.thenClickPicture7) QTest::mouseClick(fresh.Picture7, Qt::LeftButton);
        std::set<const QWidget*> expected;
        for (auto mark : c.shown) expected.insert(fresh.*mark);
        EXPECT_EQ(visibleMarks(fresh), expected);
    }
    EXPECT_TRUE(messages.messages.isEmpty());
}

TEST_F(SetupWindow, DoneMarkIsASixteenPixelTrafficLightDrawnUnscaledAtTheTopLeft) {
    const QImage icon = form.Picture5->picture().toImage();
    ASSERT_EQ(icon.size(), QSize(16, 16));
    ASSERT_TRUE(icon.hasAlphaChannel());
    std::set<QRgb> colours;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) colours.insert(icon.pixel(x, y));
    EXPECT_LE(colours.size(), 16u);
    EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0) << "transparent background";
    EXPECT_EQ(qAlpha(icon.pixel(15, 15)), 0);
    struct Spot {
        const char* what;
        QPoint at;
        QRgb colour;
    };
    const Spot spots[] = {{"top lamp", {8, 3}, qRgb(0x80, 0, 0)},
                          {"middle lamp", {8, 8}, qRgb(0x80, 0x80, 0)},
                          {"bottom lamp", {8, 13}, qRgb(0, 0xFF, 0)},
                          {"left wedge", {2, 1}, qRgb(0, 0x80, 0x80)},
                          {"right wedge", {13, 11}, qRgb(0, 0x80, 0x80)}};
    form.Picture5->show();
    const QImage drawn = form.Picture5->grab().toImage();
    ASSERT_EQ(drawn.size(), QSize(25, 25));
    for (const Spot& s : spots) {
        SCOPED_TRACE(s.what);
        EXPECT_EQ(icon.pixel(s.at), s.colour);
        EXPECT_EQ(drawn.pixel(s.at), s.colour) << "drawn where the icon has it, at its own size";
    }
    EXPECT_EQ(drawn.pixel(20, 20), drawn.pixel(0, 0)) << "the rest of the box is background";
    for (PictureBox* other : {form.Picture2[0], form.Picture2[1], form.Picture7}) {
        EXPECT_EQ(other->picture().toImage(), icon);
    }
}

}  // namespace
