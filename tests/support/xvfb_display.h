#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace pulsaro::test {

// A private X server (Xvfb) on a free display, for tests that drive real windows. Stopped by
// its process id when the object goes.
class XvfbDisplay {
  public:
    XvfbDisplay();
    ~XvfbDisplay();
    XvfbDisplay(const XvfbDisplay&) = delete;
    XvfbDisplay& operator=(const XvfbDisplay&) = delete;

    bool running() const { return pid_ > 0 && !display_.empty(); }
    // Ends the server now; its clients lose their display.
    void stop();
    const std::string& display() const { return display_; }  // ":N"

    // Runs xdotool on this display and returns its standard output; empty on failure.
    std::string xdotool(const std::vector<std::string>& arguments) const;
    // The ids of the visible windows whose name matches; nothing when xdotool could not tell (on
    // its standard output alone, a search that failed looks like one that found no window).
    std::optional<std::vector<std::string>> visibleWindows(const std::string& name) const;
    // Saves a picture of a window, as the X server holds it, as a PNG file (ImageMagick's
    // import). False when it could not.
    bool screenshot(const std::string& window, const std::string& pngFile) const;
    // The id of a visible window whose name matches, once one appears; empty at the deadline.
    std::string waitForWindow(const std::string& name, std::chrono::milliseconds timeout) const;

  private:
    std::string xdotoolCommand(const std::vector<std::string>& arguments) const;

    pid_t pid_ = -1;
    std::string display_;
};

}  // namespace pulsaro::test
