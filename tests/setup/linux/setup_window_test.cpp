// The setup window as this host builds it from the element table.

#include "setup_window.h"
#include "controls.h"
#include "setup_window_cases.h"
#include "temp_drive.h"
#include "texts.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QTest>

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace pulsaro;
using namespace pulsaro::setup;
using namespace pulsaro::test;

namespace {

QString textOf(const QWidget* w) {
    if (auto* label = qobject_cast<const QLabel*>(w)) return label->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(w)) return button->text();
    return {};
}

QRect pixelBox(const ElementRow& e) {
    return QRect(pixels(e.left), pixels(e.top), pixels(e.width), pixels(e.height));
}

std::set<Element> visibleMarks(const SetupWindow& w) {
    std::set<Element> shown;
    for (const ElementRow& e : kElements) {
        if (e.kind == ElementKind::PictureBox && w.element(e.id)->isVisible()) shown.insert(e.id);
    }
    return shown;
}

class SetupWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window.show();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    TempDrive drive;
    RecordingMessageBox messages;
    CapturedDiagnostics diagnostics;
    SetupWindow window;
};

TEST_F(SetupWindowTest, OpensWithEveryElementInItsPlaceTextAndFont) {
    const std::map<double, int> pixelSizes = {{8.25, 11}, {12, 16}, {13.5, 18}, {18, 24}};
    std::set<QWidget*> distinct;
    for (const ElementRow& e : kElements) {
        SCOPED_TRACE(std::string(e.name) + (e.index >= 0 ? std::to_string(e.index) : ""));
        QWidget* w = window.element(e.id);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->parentWidget(), &window);
        distinct.insert(w);
        EXPECT_EQ(w->isVisible(), e.visibleAtStart);
        if (e.id == Element::Label4) {
            // The address is wider than its box in the layout; the box only grows to the right.
            EXPECT_EQ(w->geometry().topLeft(), pixelBox(e).topLeft());
            EXPECT_EQ(w->height(), pixelBox(e).height());
            EXPECT_GE(w->width(), pixelBox(e).width());
        } else {
            EXPECT_EQ(w->geometry(), pixelBox(e));
        }
        if (e.kind == ElementKind::PictureBox) continue;
        EXPECT_EQ(textOf(w).toUtf8().toStdString(), shownText(e.id));
        EXPECT_EQ(w->font().family(), QStringLiteral("Liberation Sans"));
        EXPECT_EQ(w->font().pixelSize(), pixelSizes.at(e.font.points));
        EXPECT_EQ(w->font().weight(), e.font.bold ? 700 : 400);
    }
    EXPECT_EQ(distinct.size(), kElements.size());
    EXPECT_TRUE(visibleMarks(window).empty());
}

TEST_F(SetupWindowTest, EveryTextFitsItsBoxWrappingOnlyBetweenWords) {
    for (const ElementRow& e : kElements) {
        if (e.kind == ElementKind::PictureBox) continue;
        SCOPED_TRACE(std::string(e.name));
        QWidget* w = window.element(e.id);
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
            EXPECT_EQ(label->alignment() & Qt::AlignHorizontal_Mask,
                      e.centred ? Qt::AlignHCenter : Qt::AlignLeft);
        } else {
            EXPECT_LE(metrics.horizontalAdvance(textOf(w)) + 8, w->width());
            EXPECT_LE(metrics.height() + 8, w->height());
        }
    }
}

TEST_F(SetupWindowTest, HasAFixedSizeACloseButtonAndNoOtherWindowButtonOrMenu) {
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Form1"));
    EXPECT_EQ(window.size(), QSize(357, 397));
    EXPECT_EQ(window.minimumSize(), QSize(357, 397));
    EXPECT_EQ(window.maximumSize(), QSize(357, 397));
    window.resize(500, 600);
    QApplication::processEvents();
    EXPECT_EQ(window.size(), QSize(357, 397));
    const Qt::WindowFlags flags = window.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(window.findChildren<QMenuBar*>().isEmpty());
}

TEST_F(SetupWindowTest, FocusStartsOnTheStartButtonAndTabFollowsTheTabIndex) {
    for (Element expected : kFocusOrder) {
        ASSERT_EQ(QApplication::focusWidget(), window.element(expected))
            << QApplication::focusWidget()->metaObject()->className();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
}

TEST_F(SetupWindowTest, EnterAtOnceRunsTheStartStep) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(messages.messages, std::vector<std::string>{std::string(texts::kStartMessage)});
    EXPECT_TRUE(visibleMarks(window).empty());
}

// What a key does to a button, event by event: the X server repeats a held key as a release and a
// press sharing one time stamp, which the toolkit does not always mark as a repeat.
TEST(CommandButtonKeys, AKeyPressesOnceOnItsReleaseAndOnlyAfterGoingDownOnTheButton) {
    struct Key {
        QEvent::Type type;
        int key;
        bool markedRepeat;
        quint64 time;
    };
    constexpr auto Down = QEvent::KeyPress;
    constexpr auto Up = QEvent::KeyRelease;
    struct Case {
        const char* name;
        std::vector<Key> keys;
        int clicks;
    };
    const Case cases[] = {
        {"Return", {{Down, Qt::Key_Return, false, 100}, {Up, Qt::Key_Return, false, 180}}, 1},
        {"keypad Enter", {{Down, Qt::Key_Enter, false, 100}, {Up, Qt::Key_Enter, false, 180}}, 1},
        {"Space", {{Down, Qt::Key_Space, false, 100}, {Up, Qt::Key_Space, false, 180}}, 1},
        {"Return twice, sent without time stamps",
         {{Down, Qt::Key_Return, false, 0},
          {Up, Qt::Key_Return, false, 0},
          {Down, Qt::Key_Return, false, 0},
          {Up, Qt::Key_Return, false, 0}},
         2},
        {"Return held until it repeats, then let go",
         {{Down, Qt::Key_Return, false, 100},
          {Up, Qt::Key_Return, true, 760},
          {Down, Qt::Key_Return, true, 760},
          {Up, Qt::Key_Return, false, 800},
          {Down, Qt::Key_Return, false, 800},
          {Up, Qt::Key_Return, false, 900}},
         1},
        {"Return already held when the focus came, repeating, some repeats not marked",
         {{Up, Qt::Key_Return, true, 760},
          {Down, Qt::Key_Return, true, 760},
          {Up, Qt::Key_Return, false, 800},
          {Down, Qt::Key_Return, false, 800},
          {Up, Qt::Key_Return, true, 840},
          {Down, Qt::Key_Return, true, 840},
          {Up, Qt::Key_Return, false, 880},
          {Down, Qt::Key_Return, false, 880}},
         0},
        {"a release alone", {{Up, Qt::Key_Return, false, 100}}, 0},
        {"Return down, Space up",
         {{Down, Qt::Key_Return, false, 100}, {Up, Qt::Key_Space, false, 150}},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CommandButton button(QStringLiteral("Avvia Pulsaro"), nullptr);
        int clicks = 0;
        QObject::connect(&button, &QPushButton::clicked, [&] { ++clicks; });
        for (const Key& k : c.keys) {
            QKeyEvent event(k.type, k.key, Qt::NoModifier, QString(), k.markedRepeat);
            event.setTimestamp(k.time);
            QApplication::sendEvent(&button, &event);
        }
        EXPECT_EQ(clicks, 0) << "a step never runs inside a key's event";
        QCoreApplication::processEvents();
        EXPECT_EQ(clicks, c.clicks);
    }
}

TEST_F(SetupWindowTest, AKeyThatWentDownBeforeTheFocusMovedPressesNothing) {
    QTest::keyPress(QApplication::focusWidget(), Qt::Key_Return);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), window.element(Element::Command1));
    QTest::keyRelease(window.element(Element::Command4), Qt::Key_Return);
    QTest::keyRelease(QApplication::focusWidget(), Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_TRUE(visibleMarks(window).empty());
}

TEST_F(SetupWindowTest, EachStepShowsOnlyItsOwnMarkAndTheRegistrationMarkShowsTheFirst) {
    for (const MarkCase& c : markCases()) {
        SCOPED_TRACE(c.name);
        SetupWindow fresh;
        fresh.show();
        for (Element e : c.clicks) QTest::mouseClick(fresh.element(e), Qt::LeftButton);
        EXPECT_EQ(visibleMarks(fresh), c.shown);
    }
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(SetupWindowTest, EachDoneMarkTellsAScreenReaderThatItsStepIsDone) {
    struct Case {
        Element mark;
        Element step;
        Element rowLabel;
        const char* name;
    };
    const Case cases[] = {
        {Element::Picture5, Element::Command1, Element::Label6, "Passo 1 eseguito"},
        {Element::Picture7, Element::Command6, Element::Label5, "Passo 2 eseguito"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QAccessibleInterface* mark = QAccessible::queryAccessibleInterface(window.element(c.mark));
        ASSERT_NE(mark, nullptr);
        EXPECT_EQ(mark->role(), QAccessible::Graphic);
        EXPECT_EQ(mark->text(QAccessible::Name), QString::fromUtf8(c.name));
        const QString description = mark->text(QAccessible::Description);
        EXPECT_TRUE(description.startsWith(textOf(window.element(c.rowLabel)).trimmed()))
            << description.toStdString();
        EXPECT_TRUE(description.contains(QStringLiteral("eseguito"))) << description.toStdString();
        EXPECT_TRUE(mark->state().invisible) << "nothing to hear before the step ran";
        QTest::mouseClick(window.element(c.step), Qt::LeftButton);
        EXPECT_FALSE(mark->state().invisible);
    }
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Form1"));
}

TEST_F(SetupWindowTest, DoneMarkIsASixteenPixelTrafficLightDrawnUnscaledAtTheTopLeft) {
    auto* mark = static_cast<PictureBox*>(window.element(Element::Picture5));
    const QImage icon = mark->picture().toImage();
    ASSERT_EQ(icon.size(), QSize(kDoneMarkSize, kDoneMarkSize));
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
    mark->show();
    const QImage drawn = mark->grab().toImage();
    ASSERT_EQ(drawn.size(), QSize(25, 25));
    for (const Spot& s : spots) {
        SCOPED_TRACE(s.what);
        EXPECT_EQ(icon.pixel(s.at), s.colour);
        EXPECT_EQ(drawn.pixel(s.at), s.colour) << "drawn where the icon has it, at its own size";
    }
    EXPECT_EQ(drawn.pixel(20, 20), drawn.pixel(0, 0)) << "the rest of the box is background";
    for (Element other : {Element::Picture2_0, Element::Picture2_1, Element::Picture7}) {
        EXPECT_EQ(static_cast<PictureBox*>(window.element(other))->picture().toImage(), icon);
    }
}

}  // namespace
