#include "setup_elements.h"

#include "texts.h"

namespace pulsaro::setup {
namespace {

constexpr Typeface kNone{0, false};
constexpr Typeface kSmallBold{8.25, true};
constexpr Typeface kSmall{8.25, false};
constexpr Typeface kMediumBold{12, true};
constexpr Typeface kLargeBold{13.5, true};
constexpr Typeface kTitle{18, true};

using enum Element;
using enum ElementKind;

}  // namespace

// clang-format off
const std::array<ElementRow, 17> kElements = {{
    {Picture2_1, "Picture2", 1,  PictureBox, "",                 4080,  3360, 375,  375, false, 16, kNone,      false},
    {Picture7,   "Picture7", -1, PictureBox, "",                 4080,  2640, 375,  375, false, 13, kNone,      false},
    {Command6,   "Command6", -1, PushButton, "Passo 2",          240,   2520, 1815, 732, true,  11, kLargeBold, false},
    {Picture5,   "Picture5", -1, PictureBox, "",                 4080,  1920, 375,  375, false, 7,  kNone,      false},
    {Picture2_0, "Picture2", 0,  PictureBox, "",                 10200, 3000, 375,  375, false, 8,  kNone,      false},
    {Command2,   "Command2", -1, PushButton, "Passo 3",          240,   3360, 1815, 732, false, 0,  kLargeBold, false},
    {Command1,   "Command1", -1, PushButton, "Passo 1",          240,   1680, 1815, 735, true,  4,  kLargeBold, false},
    {Command4,   "Command4", -1, PushButton, "Avvia Pulsaro",    240,   4200, 4935, 975, true,  3,  kLargeBold, false},
    {Label10,    "Label10",  -1, Label, "Da non installare se si usa Dizodid",
                                                                 2160,  3720, 3135, 255, false, 15, kSmallBold, false},
    {Label9,     "Label9",   -1, Label, " Premere i pulsanti nell'ordine indicato",
                                                                 120,   1080, 5055, 495, true,  14, kMediumBold, false},
    {Label5,     "Label5",   -1, Label, "Registrazione Ocx",     2160,  2760, 1815, 255, true,  12, kSmallBold, false},
    {Label7,     "Label7",   -1, Label, "Installazione Macro ",  2160,  3480, 1815, 255, false, 10, kSmallBold, false},
    {Label6,     "Label6",   -1, Label, "Installazione files ",  2160,  1920, 1815, 255, true,  9,  kSmallBold, false},
    {Label4,     "Label4",   -1, Label, texts::kWebAddress,      1680,  5520, 2175, 255, true,  6,  kMediumBold, false},
    {Label3,     "Label3",   -1, Label, "Per informazionisull'uso di Pulsaro visitare il sito ",
                                                                 840,   5280, 3615, 255, true,  5,  kSmall,     false},
    {Label2,     "Label2",   -1, Label, " Procedura  di Installazione",
                                                                 480,   480,  4095, 495, true,  2,  kLargeBold, false},
    {Label1,     "Label1",   -1, Label, "Pulsaro ",              600,   0,    3855, 615, true,  1,  kTitle,     true},
}};
// clang-format on

const ElementRow& rowOf(Element id) {
    return kElements[static_cast<std::size_t>(id)];
}

SpokenMark spokenMark(Element id) {
    switch (id) {
        case Picture5:
            return {"Passo 1 eseguito",
                    "Installazione files completata: il passo 1 \xC3\xA8 stato eseguito."};
        case Picture7:
            return {"Passo 2 eseguito",
                    "Registrazione Ocx completata: il passo 2 \xC3\xA8 stato eseguito."};
        case Picture2_0:
        case Picture2_1:
            return {"Passo 3 eseguito",
                    "Installazione Macro completata: il passo 3 \xC3\xA8 stato eseguito."};
        default:
            return {};
    }
}

}  // namespace pulsaro::setup
