// The window has no frame, so the outer band of the page resizes it, as a frame would; the
// GTK window and the Windows window sort a press the same way.
#include "platform/desktop.h"

namespace platform {

ResizeEdge resizeEdgeAt(int x, int y, int width, int height, bool maximized, int band) {
    // A maximised window cannot be resized by dragging; every pixel belongs to the page.
    if (maximized) return ResizeEdge::none;
    const bool left = x < band;
    const bool right = x >= width - band;
    const bool top = y < band;
    const bool bottom = y >= height - band;
    if (top) {
        if (left) return ResizeEdge::topLeft;
        if (right) return ResizeEdge::topRight;
    }
    if (bottom) {
        if (left) return ResizeEdge::bottomLeft;
        if (right) return ResizeEdge::bottomRight;
    } else {
        if (left) return ResizeEdge::left;
        if (right) return ResizeEdge::right;
    }
    if (top) return ResizeEdge::top;
    if (bottom) return ResizeEdge::bottom;
    return ResizeEdge::none;
}

}  // namespace platform
