#pragma once

// The setup window as data: its size, and each element with its kind, text, box in twips,
// visibility at start, tab index and font. Each host builds its window from this table.

#include <array>
#include <string_view>

namespace pulsaro::setup {

enum class ElementKind { PictureBox, PushButton, Label };

// The elements in the window's element order; Picture2 is an array of two, told apart by index.
enum class Element {
    Picture2_1,
    Picture7,
    Command6,
    Picture5,
    Picture2_0,
    Command2,
    Command1,
    Command4,
    Label10,
    Label9,
    Label5,
    Label7,
    Label6,
    Label4,
    Label3,
    Label2,
    Label1,
};

// A font of the family kFontFamily; picture boxes have none (zero points).
struct Typeface {
    double points;
    bool bold;
};

struct ElementRow {
    Element id;
    std::string_view name;
    int index;  // within an element array; -1 for a single element
    ElementKind kind;
    std::string_view text;
    int left, top, width, height;  // twips from the top-left corner of the client area
    bool visibleAtStart;
    int tabIndex;
    Typeface font;
    bool centred;  // labels are left-aligned otherwise; button captions are always centred
};

inline constexpr std::string_view kFontFamily = "MS Sans Serif";
inline constexpr int kClientWidthTwips = 5355;
inline constexpr int kClientHeightTwips = 5955;
// The layout was made at 96 dots per inch.
inline constexpr int kTwipsPerPixel = 15;

extern const std::array<ElementRow, 17> kElements;

const ElementRow& rowOf(Element id);

// Pixels at 96 dots per inch for a length in twips.
constexpr int pixels(int twips) {
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

// What assistive technology says for a done-mark, which is shown only once its step has run: the
// step it marks and that the step is done. Empty for the other elements.
struct SpokenMark {
    std::string_view name;
    std::string_view description;
};
SpokenMark spokenMark(Element id);

// The done-mark every picture box holds: a 16 x 16 traffic light, drawn at the box's top-left
// corner without scaling.
inline constexpr int kDoneMarkSize = 16;

}  // namespace pulsaro::setup
