// The setup window as the Win32 host builds it from the element table, in the test's own
// process. Runs under Wine (on a display), or on Windows.

#include "setup_window.h"
#include "setup_window_cases.h"
#include "temp_drive.h"
#include "wide.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <set>
#include <string>

using namespace pulsaro;
using namespace pulsaro::setup;
using namespace pulsaro::test;

namespace {

int screenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

const int kDpi = screenDpi();

int scaled(int twips) {
    return MulDiv(twips, kDpi, 1440);
}

// A rectangle in the parent's client area, in pixels.
struct Box {
    long left, top, right, bottom;
    bool operator==(const Box&) const = default;
    friend std::ostream& operator<<(std::ostream& out, const Box& b) {
        return out << "(" << b.left << "," << b.top << ")-(" << b.right << "," << b.bottom << ")";
    }
};

Box expectedBox(const ElementRow& e) {
    return {scaled(e.left), scaled(e.top), scaled(e.left) + scaled(e.width),
            scaled(e.top) + scaled(e.height)};
}

Box boxInParent(HWND control) {
    RECT box;
    GetWindowRect(control, &box);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&box), 2);
    return {box.left, box.top, box.right, box.bottom};
}

std::string textOf(HWND control) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return narrow(text);
}

LOGFONTW fontOf(HWND control) {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font,
               &font);
    return font;
}

// The face the system really draws the control's text with.
std::wstring realisedFace(HWND control) {
    HDC dc = GetDC(control);
    HGDIOBJ previous =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, face);
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    return face;
}

LONG styleOf(HWND window) {
    return GetWindowLongW(window, GWL_STYLE);
}

std::set<Element> visibleMarks(const SetupWindow& window) {
    std::set<Element> shown;
    for (const ElementRow& e : kElements) {
        if (e.kind == ElementKind::PictureBox && IsWindowVisible(window.element(e.id))) {
            shown.insert(e.id);
        }
    }
    return shown;
}

// A click as the mouse makes it: pressed and released inside the control.
void click(HWND control) {
    SendMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
}

class SetupWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) == 0) {
            GTEST_SKIP() << "no DISPLAY: Wine cannot show windows";
        }
        window.emplace(GetModuleHandleW(nullptr));
        window->open(SW_SHOWNORMAL);
        pump();
    }

    // The program's own loop, for as long as messages wait.
    void pump() {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (window->handleKeyboard(message)) continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }

    void press(UINT key) {
        HWND focus = GetFocus();
        PostMessageW(focus, WM_KEYDOWN, key, 1);
        PostMessageW(focus, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
        pump();
    }

    TempDrive drive;
    RecordingMessageBox messages;
    CapturedDiagnostics diagnostics;
    std::optional<SetupWindow> window;
};

TEST_F(SetupWindowTest, OpensWithEveryElementInItsPlaceTextAndFont) {
    std::set<HWND> distinct;
    for (const ElementRow& e : kElements) {
        SCOPED_TRACE(std::string(e.name) + (e.index >= 0 ? std::to_string(e.index) : ""));
        HWND control = window->element(e.id);
        ASSERT_TRUE(IsWindow(control));
        EXPECT_EQ(GetParent(control), window->handle());
        distinct.insert(control);
        EXPECT_EQ(IsWindowVisible(control) != FALSE, e.visibleAtStart);
        const Box box = boxInParent(control);
        if (e.id == Element::Label4) {
            // The address needs more than its box in the layout; the box only grows to the right
            // and down.
            const Box expected = expectedBox(e);
            EXPECT_EQ(box.left, expected.left);
            EXPECT_EQ(box.top, expected.top);
            EXPECT_GE(box.right, expected.right);
            EXPECT_GE(box.bottom, expected.bottom);
        } else {
            EXPECT_EQ(box, expectedBox(e));
        }
        // A picture box's text is what screen readers say for it; it is never drawn.
        EXPECT_EQ(textOf(control), shownText(e.id));
        switch (e.kind) {
            case ElementKind::PictureBox:
                EXPECT_EQ(styleOf(control) & (SS_TYPEMASK | SS_NOTIFY), SS_OWNERDRAW | SS_NOTIFY);
                continue;
            case ElementKind::PushButton:
                EXPECT_EQ(styleOf(control) & BS_TYPEMASK, BS_PUSHBUTTON);
                EXPECT_TRUE(styleOf(control) & WS_TABSTOP);
                break;
            case ElementKind::Label:
                EXPECT_EQ(styleOf(control) & SS_TYPEMASK, e.centred ? SS_CENTER : SS_LEFT);
                EXPECT_FALSE(styleOf(control) & WS_TABSTOP);
                break;
        }
        const LOGFONTW font = fontOf(control);
        EXPECT_STREQ(font.lfFaceName, L"MS Sans Serif");
        EXPECT_EQ(font.lfHeight, -std::lround(e.font.points * kDpi / 72.0));
        EXPECT_EQ(font.lfWeight, e.font.bold ? FW_BOLD : FW_NORMAL);
        EXPECT_EQ(realisedFace(control), L"MS Sans Serif") << "the system has no such face";
    }
    EXPECT_EQ(distinct.size(), kElements.size());
    EXPECT_TRUE(visibleMarks(*window).empty());
}

// The size a control's text needs in the control's font, broken into lines where the control
// breaks it.
SIZE neededFor(HWND control, UINT format) {
    HDC dc = GetDC(control);
    HGDIOBJ previous =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    const std::wstring text = widen(textOf(control));
    const Box box = boxInParent(control);
    RECT needed{0, 0, static_cast<LONG>(box.right - box.left), 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed, format | DT_CALCRECT);
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    return {needed.right, needed.bottom};
}

TEST_F(SetupWindowTest, EveryTextFitsItsBoxWrappingOnlyBetweenWords) {
    for (const ElementRow& e : kElements) {
        if (e.kind == ElementKind::PictureBox) continue;
        SCOPED_TRACE(std::string(e.name));
        HWND control = window->element(e.id);
        const Box box = boxInParent(control);
        // Labels break lines between words as DrawText does; captions stay on one line.
        const bool label = e.kind == ElementKind::Label;
        const SIZE needed =
            neededFor(control, DT_NOPREFIX | (label ? DT_WORDBREAK : DT_SINGLELINE));
        const int margin = label ? 0 : 8;  // a button's frame and focus rectangle
        EXPECT_LE(needed.cx + margin, box.right - box.left);
        EXPECT_LE(needed.cy + margin, box.bottom - box.top);
    }
}

TEST_F(SetupWindowTest, HasAFixedSizeACloseButtonAndNoOtherWindowButtonOrMenu) {
    EXPECT_EQ(textOf(window->handle()), "Form1");
    RECT client;
    GetClientRect(window->handle(), &client);
    EXPECT_EQ(client.right, scaled(kClientWidthTwips));
    EXPECT_EQ(client.bottom, scaled(kClientHeightTwips));
    const LONG style = styleOf(window->handle());
    EXPECT_TRUE((style & WS_CAPTION) == WS_CAPTION && (style & WS_SYSMENU));
    EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    EXPECT_EQ(GetMenu(window->handle()), nullptr);
}

TEST_F(SetupWindowTest, FocusStartsOnTheStartButtonAndTabFollowsTheTabIndex) {
    for (Element expected : kFocusOrder) {
        ASSERT_EQ(GetFocus(), window->element(expected)) << textOf(GetFocus());
        press(VK_TAB);
    }
}

TEST_F(SetupWindowTest, EachStepShowsOnlyItsOwnMarkAndTheRegistrationMarkShowsTheFirst) {
    for (const MarkCase& c : markCases()) {
        SCOPED_TRACE(c.name);
        SetupWindow fresh(GetModuleHandleW(nullptr));
        fresh.open(SW_SHOWNOACTIVATE);
        for (Element e : c.clicks) click(fresh.element(e));
        EXPECT_EQ(visibleMarks(fresh), c.shown);
    }
    EXPECT_TRUE(messages.messages.empty());
}

}  // namespace
