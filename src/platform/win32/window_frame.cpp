#include "platform/win32/window_frame.h"

#include "platform/desktop.h"

namespace platform::win32 {

LRESULT frameHitTest(const RECT& window, int x, int y, bool maximized) {
    const ResizeEdge edge =
        resizeEdgeAt(x - window.left, y - window.top, window.right - window.left,
                     window.bottom - window.top, maximized);
    switch (edge) {
        case ResizeEdge::topLeft:
            return HTTOPLEFT;
        case ResizeEdge::topRight:
            return HTTOPRIGHT;
        case ResizeEdge::bottomLeft:
            return HTBOTTOMLEFT;
        case ResizeEdge::bottomRight:
            return HTBOTTOMRIGHT;
        case ResizeEdge::left:
            return HTLEFT;
        case ResizeEdge::right:
            return HTRIGHT;
        case ResizeEdge::top:
            return HTTOP;
        case ResizeEdge::bottom:
            return HTBOTTOM;
        case ResizeEdge::none:
            break;
    }
    return HTCLIENT;
}

FrameInsets maximizedFrameInsets() {
    const int padded = GetSystemMetrics(SM_CXPADDEDBORDER);
    return {padded + GetSystemMetrics(SM_CXFRAME), padded + GetSystemMetrics(SM_CYFRAME)};
}

RECT maximizedClientArea(RECT proposed, FrameInsets insets) {
    proposed.left += insets.horizontal;
    proposed.right -= insets.horizontal;
    proposed.top += insets.vertical;
    proposed.bottom -= insets.vertical;
    return proposed;
}

}  // namespace platform::win32
