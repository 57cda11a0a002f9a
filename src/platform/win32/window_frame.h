#pragma once
#include <windows.h>

// The arithmetic of the main window's frame: it has no visible frame, so its hit-testing and
// its client area are worked out here rather than left to the system.
namespace platform::win32 {

// The hit-test code (HTLEFT, HTTOPRIGHT, ..., HTCLIENT) for the point (x, y) in screen
// coordinates over a window with the rectangle `window`: the outer band of 8 pixels resizes,
// everything else is the page's. A maximised window has no band.
LRESULT frameHitTest(const RECT& window, int x, int y, bool maximized);

// How far a maximised window's client area is inset from the window rectangle: the system
// places a maximised window's frame outside the screen, so without the inset the page's
// edges would be cut off.
struct FrameInsets {
    int horizontal = 0;
    int vertical = 0;
};

// The insets from the system metrics: the padded border plus the sizing frame.
FrameInsets maximizedFrameInsets();

// The client rectangle of a maximised window whose proposed client rectangle is `proposed`.
RECT maximizedClientArea(RECT proposed, FrameInsets insets);

}  // namespace platform::win32
