#pragma once
// What the desktop window keeps between the toolkit's callbacks, shared by the files that
// make up the window: its life and start (desktop_window.cpp), the page's channel
// (page_channel.cpp) and the frame the page does not draw (window_frame.cpp).
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "platform/desktop.h"
#include "platform/gtk/file_dialogs.h"

namespace platform {

// The name under which the page's messages reach the window.
constexpr char kMessageHandler[] = "forgeset";

// The program's name, to start its lines on standard error with.
const char* programName();

// The page's bridge to the window (the shim script run before the page), its marks filled in.
std::string pageShimScript(const std::string& shim);

struct DesktopWindow::Impl {
    DesktopSettings settings;
    GtkWidget* window = nullptr;
    WebKitWebView* view = nullptr;
    WebKitWebContext* context = nullptr;
    WebKitUserContentManager* content = nullptr;
    GMainLoop* loop = nullptr;
    std::unique_ptr<GtkDialogs> dialogs;
    PageHooks hooks;

    // Set once the first page has been committed; from then on messages are delivered.
    bool pageLoaded = false;
    ResizeEdge hoverEdge = ResizeEdge::none;
    guint32 lastPressTime = GDK_CURRENT_TIME;

    // What other threads hand to the window's loop.
    std::mutex mutex;
    std::deque<std::string> pending;
    bool closeRequested = false;
    guint deliverySource = 0;

    ~Impl();
    void schedule();
    void deliver(const std::string& json);
    ResizeEdge edgeUnder(double rootX, double rootY) const;
    std::string indexUrl() const { return pageHostUrl(kAppHost) + "index.html"; }

    static gboolean onDeliveryDue(gpointer data);
    static void onDelivered(GObject* view, GAsyncResult* result, gpointer);
    static void onSchemeRequest(WebKitURISchemeRequest* request, gpointer data);
    static void onScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result,
                                gpointer data);
    static void onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer data);
    static gboolean onLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error,
                                 gpointer);
    static void onWebProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason reason,
                                       gpointer);
    static gboolean onContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*,
                                  WebKitHitTestResult*, gpointer);
    static void onZoomChanged(GObject* view, GParamSpec*, gpointer);
    static gboolean onViewEvent(GtkWidget*, GdkEvent* event, gpointer);
    static gboolean onButtonPress(GtkWidget*, GdkEventButton* event, gpointer data);
    static gboolean onMotion(GtkWidget* widget, GdkEventMotion* event, gpointer data);
    static void onDestroy(GtkWidget*, gpointer data);
    static gboolean onTerminateSignal(gpointer data);
};

}  // namespace platform
