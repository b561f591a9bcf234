#include "setup_window.h"

#include "program.h"
#include "resource.h"
#include "texts.h"
#include "wide.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

using namespace pulsaro;
using namespace pulsaro::setup;

namespace {

constexpr wchar_t kClassName[] = L"PulsaroSetupForm1";
// A fixed single border with a caption and the close button only.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = WS_EX_WINDOWEDGE;
constexpr int kTwipsPerInch = 1440;
// Control ids start above the dialog's own (IDOK, IDCANCEL...), so Enter and Esc never reach an
// element through them.
constexpr int kFirstControlId = 100;

int controlId(Element id) {
    return kFirstControlId + static_cast<int>(id);
}

int systemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

// Labels wrap at word boundaries within their box; no character is taken as an accelerator.
DWORD styleOf(const ElementRow& e) {
    const DWORD shown = e.visibleAtStart ? WS_VISIBLE : 0;
    switch (e.kind) {
        case ElementKind::PushButton:
            return WS_CHILD | WS_TABSTOP | BS_PUSHBUTTON | shown;
        case ElementKind::PictureBox:
            return WS_CHILD | SS_OWNERDRAW | SS_NOTIFY | shown;
        case ElementKind::Label:
            return WS_CHILD | SS_NOPREFIX | (e.centred ? SS_CENTER : SS_LEFT) | shown;
    }
    return WS_CHILD;
}

const wchar_t* classOf(const ElementRow& e) {
    return e.kind == ElementKind::PushButton ? L"BUTTON" : L"STATIC";
}

// A picture box says through its text, which it never draws, what screen readers name it: the
// step it marks and that the step is done.
std::string_view textOf(const ElementRow& e) {
    return e.kind == ElementKind::PictureBox ? spokenMark(e.id).name : e.text;
}

// The elements by tab index: creating them in this order makes it their tab order.
std::vector<const ElementRow*> inTabOrder() {
    std::vector<const ElementRow*> order;
    for (const ElementRow& e : kElements) order.push_back(&e);
    std::ranges::sort(order, {}, &ElementRow::tabIndex);
    return order;
}

void registerClass(HINSTANCE instance, WNDPROC procedure) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(IDI_DONE_MARK), IMAGE_ICON,
                   GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
    windowClass.hIconSm = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(IDI_DONE_MARK), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    // A second window in the same program finds the class registered already.
    if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        throw std::runtime_error("cannot register the setup window's class");
    }
}

}  // namespace

SetupWindow::SetupWindow(HINSTANCE instance)
    : instance_(instance),
      dpi_(systemDpi()),
      doneMark_(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_DONE_MARK), IMAGE_ICON,
                                              kDoneMarkSize, kDoneMarkSize, LR_DEFAULTCOLOR))) {
    setProgramTitle(texts::kSetupTitle);  // the program is this window
    registerClass(instance, &SetupWindow::procedure);
    RECT frame{0, 0, scaled(kClientWidthTwips), scaled(kClientHeightTwips)};
    AdjustWindowRectEx(&frame, kWindowStyle, FALSE, kWindowExStyle);
    window_ = CreateWindowExW(kWindowExStyle, kClassName, widen(texts::kWindowCaption).c_str(),
                              kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                              frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
    if (!window_) throw std::runtime_error("cannot create the setup window");
    // Until here the window's messages went to the default procedure.
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    createElements();
}

SetupWindow::~SetupWindow() {
    if (IsWindow(window_)) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
    for (const auto& [typeface, font] : fonts_) DeleteObject(font);
    DestroyIcon(doneMark_);
}

void SetupWindow::createElements() {
    for (const ElementRow* e : inTabOrder()) {
        HWND control = CreateWindowExW(
            0, classOf(*e), widen(textOf(*e)).c_str(), styleOf(*e), scaled(e->left), scaled(e->top),
            scaled(e->width), scaled(e->height), window_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId(e->id))), instance_, nullptr);
        if (!control) throw std::runtime_error("cannot create " + std::string(e->name));
        if (e->kind != ElementKind::PictureBox) {
            SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(fontFor(e->font)), FALSE);
        }
        elements_[static_cast<std::size_t>(e->id)] = control;
    }
    growToFitOneLine(Element::Label4);
}

// "MS Sans Serif" at the table's point size for the system's DPI.
HFONT SetupWindow::fontFor(const Typeface& typeface) {
    HFONT& font = fonts_[{typeface.points, typeface.bold}];
    if (!font) {
        const int height = -static_cast<int>(std::lround(typeface.points * dpi_ / 72.0));
        font = CreateFontW(height, 0, 0, 0, typeface.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE,
                           FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, widen(kFontFamily).c_str());
    }
    return font;
}

// The web address is longer than the box the layout has for it, and the face the system has for
// its size is taller: the box grows to the right and down, into free space, so the address stays
// whole on one line.
void SetupWindow::growToFitOneLine(Element id) {
    HWND label = element(id);
    const std::wstring text = widen(rowOf(id).text);
    HDC dc = GetDC(label);
    HGDIOBJ previous =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
    SIZE extent{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    SelectObject(dc, previous);
    ReleaseDC(label, dc);
    RECT box;
    GetWindowRect(label, &box);
    const int width = std::max<int>(box.right - box.left, extent.cx + 1);
    const int height = std::max<int>(box.bottom - box.top, extent.cy);
    SetWindowPos(label, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int SetupWindow::scaled(int twips) const {
    return MulDiv(twips, dpi_, kTwipsPerInch);
}

void SetupWindow::open(int showState) {
    ShowWindow(window_, showState);
    UpdateWindow(window_);
    for (const ElementRow* e : inTabOrder()) {
        HWND control = element(e->id);
        if (IsWindowVisible(control) && (GetWindowLongW(control, GWL_STYLE) & WS_TABSTOP)) {
            SetFocus(control);
            return;
        }
    }
}

void SetupWindow::Show(Element id) {
    ShowWindow(element(id), SW_SHOW);
}

bool SetupWindow::handleKeyboard(MSG& message) {
    return IsDialogMessageW(window_, &message);
}

LRESULT CALLBACK SetupWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<SetupWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    return self->handle(message, wParam, lParam);
}

LRESULT SetupWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED) clicked(reinterpret_cast<HWND>(lParam));
            return 0;
        // Enter presses the focused button: the dialog keyboard asks for the default button,
        // and the focused one is it.
        case DM_GETDEFID: {
            HWND focus = GetFocus();
            const bool button = focus && GetParent(focus) == window_ &&
                                (GetWindowLongW(focus, GWL_STYLE) & WS_TABSTOP);
            return button ? MAKELRESULT(GetDlgCtrlID(focus), DC_HASDEFID) : 0;
        }
        case WM_DRAWITEM:
            drawDoneMark(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        // The focus comes back to the element that had it, as in a dialog, so Enter works again
        // after a message box.
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) {
                focusWhenInactive_ = GetFocus();
            } else if (focusWhenInactive_ && IsWindow(focusWhenInactive_)) {
                SetFocus(focusWhenInactive_);
                return 0;
            }
            break;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

// A picture box shows the done-mark at its own size at its top-left corner.
void SetupWindow::drawDoneMark(const DRAWITEMSTRUCT& item) const {
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
    DrawIconEx(item.hDC, 0, 0, doneMark_, kDoneMarkSize, kDoneMarkSize, 0, nullptr, DI_NORMAL);
}

// Buttons report BN_CLICKED; picture boxes STN_CLICKED, which has the same code.
void SetupWindow::clicked(HWND control) {
    for (const ElementRow& e : kElements) {
        if (element(e.id) == control) {
            form_.Click(e.id);
            return;
        }
    }
}
