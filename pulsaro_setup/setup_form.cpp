#include "setup_form.h"

namespace pulsaro::setup {

void Form1::Picture7_Click() {
    window_.Show(Element::Picture5);
}

void Form1::Click(Element element) {
    switch (element) {
        case Element::Command1:
            return Command1_Click();
        case Element::Command6:
            return Command6_Click();
        case Element::Command4:
            return Command4_Click();
        case Element::Picture7:
            return Picture7_Click();
        default:
            return;
    }
}

}  // namespace pulsaro::setup
