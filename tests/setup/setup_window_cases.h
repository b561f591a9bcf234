#pragma once

// What the setup window shows, whichever host draws it: where each element is, its text, the
// order the Tab key takes, and which done-marks a sequence of clicks shows.

#include "setup_elements.h"

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace pulsaro::test {

// The middle of an element in the window's client area, in pixels, where a test clicks it.
struct ClientPoint {
    int x, y;
};
inline ClientPoint centreOf(setup::Element id) {
    const setup::ElementRow& e = setup::rowOf(id);
    return {setup::pixels(e.left) + setup::pixels(e.width) / 2,
            setup::pixels(e.top) + setup::pixels(e.height) / 2};
}

// Each element's text as users read it, spaces and all, written out here rather than taken from
// the element table; a done-mark's is the name screen readers say for it.
inline std::string_view shownText(setup::Element id) {
    using enum setup::Element;
    static const std::map<setup::Element, std::string_view> texts = {
        {Command1, "Passo 1"},
        {Command6, "Passo 2"},
        {Command2, "Passo 3"},
        {Command4, "Avvia Pulsaro"},
        {Label1, "Pulsaro "},
        {Label2, " Procedura  di Installazione"},
        {Label9, " Premere i pulsanti nell'ordine indicato"},
        {Label6, "Installazione files "},
        {Label5, "Registrazione Ocx"},
        {Label7, "Installazione Macro "},
        {Label10, "Da non installare se si usa Dizodid"},
        {Label3, "Per informazionisull'uso di Pulsaro visitare il sito "},
        {Label4, "www.pulsarozentra.example"},
        {Picture5, "Passo 1 eseguito"},
        {Picture7, "Passo 2 eseguito"},
        {Picture2_0, "Passo 3 eseguito"},
        {Picture2_1, "Passo 3 eseguito"},
    };
    return texts.at(id);
}

// Where the focus is when the window opens, then after each Tab: round the buttons that show.
inline constexpr setup::Element kFocusOrder[] = {setup::Element::Command4, setup::Element::Command1,
                                                 setup::Element::Command6,
                                                 setup::Element::Command4};

// Nothing is installed in the drive folder, so every step's operations fail; the marks still
// follow the clicks.
struct MarkCase {
    const char* name;
    std::vector<setup::Element> clicks;
    std::set<setup::Element> shown;
};

inline std::vector<MarkCase> markCases() {
    using enum setup::Element;
    return {
        {"Passo 1", {Command1}, {Picture5}},
        {"Passo 2", {Command6}, {Picture7}},
        {"Passo 2 before Passo 1", {Command6, Command1}, {Picture5, Picture7}},
        {"Passo 2, then a click on its mark", {Command6, Picture7}, {Picture5, Picture7}},
        {"each step twice", {Command1, Command1, Command6, Command6}, {Picture5, Picture7}},
        {"a click on the hidden mark of row 3", {Picture2_1}, {}},
    };
}

}  // namespace pulsaro::test
