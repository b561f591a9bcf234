#pragma once

#include "setup_elements.h"

namespace pulsaro::setup {

// What the setup's steps need from the window the host built: showing an element the table
// lists as hidden at start.
class Window {
  public:
    virtual ~Window() = default;
    virtual void Show(Element element) = 0;
};

// The setup program's window class: its event handlers, each one installation step. The host's
// window forwards clicks here and shows what a step asks it to.
class Form1 {
  public:
    explicit Form1(Window& window) : window_(window) {}

    // "Passo 1": wipes the files of an earlier installation from the root, recreates the tree
    // and copies the distribution files into it.
    void Command1_Click();
    // "Passo 2": starts the registration of the three controls without waiting for any of them.
    void Command6_Click();
    // "Avvia Pulsaro": tells where the product lives and how to reach support, then starts it.
    void Command4_Click();
    // A click on the registration step's mark shows the file installation step's mark.
    void Picture7_Click();

    // Runs the handler bound to a click on the element; the other elements have none.
    void Click(Element element);

  private:
    Window& window_;
};

}  // namespace pulsaro::setup
