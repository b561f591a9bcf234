#pragma once

#include "setup_form.h"

#include <windows.h>

#include <array>
#include <map>

// The setup window on this host: a Win32 window built from the element table, whose clicks run
// the setup's steps and which shows what the steps ask it to. Created hidden; the program shows
// it.
class SetupWindow final : public pulsaro::setup::Window {
  public:
    explicit SetupWindow(HINSTANCE instance);
    ~SetupWindow() override;
    SetupWindow(const SetupWindow&) = delete;
    SetupWindow& operator=(const SetupWindow&) = delete;

    // Shows the window and puts the focus on the first element, by tab index, that takes it.
    void open(int showState);

    void Show(pulsaro::setup::Element element) override;

    // The keyboard of a dialog: Tab and the arrows move the focus, Enter and Space press the
    // focused button. True when the message was handled so.
    bool handleKeyboard(MSG& message);

    HWND handle() const { return window_; }
    HWND element(pulsaro::setup::Element id) const {
        return elements_[static_cast<std::size_t>(id)];
    }
    pulsaro::setup::Form1& form() { return form_; }

  private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void createElements();
    HFONT fontFor(const pulsaro::setup::Typeface& typeface);
    void growToFitOneLine(pulsaro::setup::Element id);
    void drawDoneMark(const DRAWITEMSTRUCT& item) const;
    void clicked(HWND control);
    int scaled(int twips) const;

    HINSTANCE instance_;
    HWND window_ = nullptr;
    int dpi_;
    HICON doneMark_;
    std::map<std::pair<double, bool>, HFONT> fonts_;
    std::array<HWND, pulsaro::setup::kElements.size()> elements_{};
    HWND focusWhenInactive_ = nullptr;
    pulsaro::setup::Form1 form_{*this};
};
