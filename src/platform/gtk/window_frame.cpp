// The frame the page does not draw: the resize band round its edge with its cursors, moves
// and size changes asked for by the page's title bar.
#include "platform/gtk/desktop_window_impl.h"

namespace platform {

namespace {

const char* cursorName(ResizeEdge edge) {
    switch (edge) {
        case ResizeEdge::top:
            return "n-resize";
        case ResizeEdge::bottom:
            return "s-resize";
        case ResizeEdge::left:
            return "w-resize";
        case ResizeEdge::right:
            return "e-resize";
        case ResizeEdge::topLeft:
            return "nw-resize";
        case ResizeEdge::topRight:
            return "ne-resize";
        case ResizeEdge::bottomLeft:
            return "sw-resize";
        case ResizeEdge::bottomRight:
            return "se-resize";
        case ResizeEdge::none:
            break;
    }
    return nullptr;
}

GdkWindowEdge gdkEdge(ResizeEdge edge) {
    switch (edge) {
        case ResizeEdge::top:
            return GDK_WINDOW_EDGE_NORTH;
        case ResizeEdge::bottom:
            return GDK_WINDOW_EDGE_SOUTH;
        case ResizeEdge::left:
            return GDK_WINDOW_EDGE_WEST;
        case ResizeEdge::right:
            return GDK_WINDOW_EDGE_EAST;
        case ResizeEdge::topLeft:
            return GDK_WINDOW_EDGE_NORTH_WEST;
        case ResizeEdge::topRight:
            return GDK_WINDOW_EDGE_NORTH_EAST;
        case ResizeEdge::bottomLeft:
            return GDK_WINDOW_EDGE_SOUTH_WEST;
        case ResizeEdge::bottomRight:
        case ResizeEdge::none:
            break;
    }
    return GDK_WINDOW_EDGE_SOUTH_EAST;
}

}  // namespace

ResizeEdge DesktopWindow::Impl::edgeUnder(double rootX, double rootY) const {
    GdkWindow* top = window ? gtk_widget_get_window(window) : nullptr;
    if (!top) return ResizeEdge::none;
    int originX = 0, originY = 0;
    gdk_window_get_origin(top, &originX, &originY);
    return resizeEdgeAt(static_cast<int>(rootX) - originX, static_cast<int>(rootY) - originY,
                        gdk_window_get_width(top), gdk_window_get_height(top),
                        gtk_window_is_maximized(GTK_WINDOW(window)));
}

gboolean DesktopWindow::Impl::onButtonPress(GtkWidget*, GdkEventButton* event, gpointer data) {
    auto* impl = static_cast<Impl*>(data);
    if (event->button == 1) impl->lastPressTime = event->time;
    if (event->type != GDK_BUTTON_PRESS || event->button != 1) return FALSE;
    ResizeEdge edge = impl->edgeUnder(event->x_root, event->y_root);
    if (edge == ResizeEdge::none) return FALSE;
    // Inside the band the press is the frame's, not the page's.
    gtk_window_begin_resize_drag(GTK_WINDOW(impl->window), gdkEdge(edge),
                                 static_cast<gint>(event->button), static_cast<gint>(event->x_root),
                                 static_cast<gint>(event->y_root), event->time);
    return TRUE;
}

gboolean DesktopWindow::Impl::onMotion(GtkWidget* widget, GdkEventMotion* event, gpointer data) {
    auto* impl = static_cast<Impl*>(data);
    // A drag that began in the page stays the page's until the button is let go.
    if (event->state & (GDK_BUTTON1_MASK | GDK_BUTTON2_MASK | GDK_BUTTON3_MASK)) return FALSE;
    ResizeEdge edge = impl->edgeUnder(event->x_root, event->y_root);
    if (edge == impl->hoverEdge) return edge != ResizeEdge::none;
    impl->hoverEdge = edge;
    GdkWindow* surface = gtk_widget_get_window(widget);
    if (edge == ResizeEdge::none) {
        // Back in the page: its own cursor returns with its next change.
        gdk_window_set_cursor(surface, nullptr);
        return FALSE;
    }
    GdkCursor* cursor = gdk_cursor_new_from_name(gtk_widget_get_display(widget), cursorName(edge));
    gdk_window_set_cursor(surface, cursor);
    if (cursor) g_object_unref(cursor);
    // The page does not see the pointer inside the band, as it would not see a frame's.
    return TRUE;
}

void DesktopWindow::minimize() {
    if (impl_->window) gtk_window_iconify(GTK_WINDOW(impl_->window));
}

void DesktopWindow::toggleMaximize() {
    if (!impl_->window) return;
    GtkWindow* window = GTK_WINDOW(impl_->window);
    if (gtk_window_is_maximized(window)) {
        gtk_window_unmaximize(window);
    } else {
        gtk_window_maximize(window);
    }
}

void DesktopWindow::startMove() {
    if (!impl_->window) return;
    GdkDevice* pointer =
        gdk_seat_get_pointer(gdk_display_get_default_seat(gtk_widget_get_display(impl_->window)));
    if (!pointer) return;
    int x = 0, y = 0;
    gdk_device_get_position(pointer, nullptr, &x, &y);
    // The page sends this while its left button is down in the title bar: the window
    // system's move follows that press.
    gtk_window_begin_move_drag(GTK_WINDOW(impl_->window), 1, x, y, impl_->lastPressTime);
}

}  // namespace platform
