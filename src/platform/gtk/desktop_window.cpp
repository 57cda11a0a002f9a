// The desktop window: GTK 3 around one WebKitGTK web view that fills it. The page draws the
// whole surface, title bar included; the window adds the resize band, the moves and size
// changes the page asks for, the page's scheme and the two-way message channel.
#include <gio/gunixinputstream.h>
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <csignal>
#include <cstdlib>
#include <deque>
#include <iostream>
#include <mutex>

#include "platform/desktop.h"
#include "platform/gtk/file_dialogs.h"

namespace platform {

namespace {

// The name under which the page's messages reach the window.
constexpr char kMessageHandler[] = "forgeset";

// Colour of the window while the page is still loading, the page's own background.
constexpr GdkRGBA kLoadingBackground = {15 / 255.0, 17 / 255.0, 21 / 255.0, 1.0};
constexpr char kWindowStyle[] = "window { background-color: #0F1115; }";

// Outbound messages travel as text and are parsed in the page, so a message can only ever be
// data, never code, whatever it holds.
constexpr char kDeliverBody[] = "if (window.__forgesetDeliver) window.__forgesetDeliver(text);";

// The page's bridge to this window, with its marks filled in.
std::string pageShimScript(const std::string& shim) {
    std::string script = shim;
    auto fill = [&script](std::string_view mark, const std::string& value) {
        script.replace(script.find(mark), mark.size(), value);
    };
    fill("@HANDLER@", kMessageHandler);
    fill("@ASSETS@", pageHostUrl(kAssetsHost));
    fill("@SPECIES@", pageHostUrl(kSpeciesHost));
    return script;
}

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

const char* programName() {
    const char* name = g_get_prgname();
    return name ? name : "forgeset-server-tool";
}

}  // namespace

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

DesktopWindow::Impl::~Impl() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (deliverySource) g_source_remove(deliverySource);
        deliverySource = 0;
    }
    if (window) gtk_widget_destroy(window);
    if (content) g_object_unref(content);
    if (context) g_object_unref(context);
    if (loop) g_main_loop_unref(loop);
}

// Called with the mutex held: one pending wake-up of the loop carries everything queued.
void DesktopWindow::Impl::schedule() {
    if (deliverySource) return;
    deliverySource = g_idle_add_full(G_PRIORITY_DEFAULT, onDeliveryDue, this, nullptr);
}

gboolean DesktopWindow::Impl::onDeliveryDue(gpointer data) {
    auto* impl = static_cast<Impl*>(data);
    std::deque<std::string> batch;
    bool close = false;
    {
        std::lock_guard<std::mutex> lock(impl->mutex);
        batch.swap(impl->pending);
        close = std::exchange(impl->closeRequested, false);
        impl->deliverySource = 0;
    }
    for (const std::string& json : batch)
        impl->deliver(json);
    if (close && impl->window) gtk_window_close(GTK_WINDOW(impl->window));
    return G_SOURCE_REMOVE;
}

void DesktopWindow::Impl::deliver(const std::string& json) {
    // Before the page exists there is nobody to listen; the page asks for everything it
    // needs with init once it has loaded.
    if (!pageLoaded || !view) return;
    GVariantDict arguments;
    g_variant_dict_init(&arguments, nullptr);
    if (g_utf8_validate(json.data(), static_cast<gssize>(json.size()), nullptr)) {
        g_variant_dict_insert(&arguments, "text", "s", json.c_str());
    } else {
        gchar* valid = g_utf8_make_valid(json.data(), static_cast<gssize>(json.size()));
        g_variant_dict_insert(&arguments, "text", "s", valid);
        g_free(valid);
    }
    // Calls reach the web process in the order they are made, so messages keep their order.
    webkit_web_view_call_async_javascript_function(view, kDeliverBody, -1,
                                                   g_variant_dict_end(&arguments), nullptr, nullptr,
                                                   nullptr, onDelivered, nullptr);
}

void DesktopWindow::Impl::onDelivered(GObject* view, GAsyncResult* result, gpointer) {
    GError* error = nullptr;
    JSCValue* value = webkit_web_view_call_async_javascript_function_finish(WEBKIT_WEB_VIEW(view),
                                                                            result, &error);
    // A page that is being replaced may refuse a message; it asks again with init.
    if (value) g_object_unref(value);
    if (error) g_error_free(error);
}

void DesktopWindow::Impl::onSchemeRequest(WebKitURISchemeRequest* request, gpointer data) {
    auto* impl = static_cast<Impl*>(data);
    const char* uri = webkit_uri_scheme_request_get_uri(request);
    const char* method = webkit_uri_scheme_request_get_http_method(request);
    PageAnswer answer =
        answerPageRequest(impl->hooks.sources, method ? method : "GET", uri ? uri : "");

    GInputStream* stream = nullptr;
    gint64 length = 0;
    if (answer.file) {
        length = static_cast<gint64>(answer.fileSize);
        stream = g_unix_input_stream_new(answer.file.release(), TRUE);
    } else {
        // The body is the program's own bytes (the embedded page or a fixed text): no copy.
        length = static_cast<gint64>(answer.body.size());
        stream = g_memory_input_stream_new_from_data(answer.body.data(), length, nullptr);
    }
    WebKitURISchemeResponse* response = webkit_uri_scheme_response_new(stream, length);
    webkit_uri_scheme_response_set_status(response, static_cast<guint>(answer.status),
                                          answer.reason.c_str());
    webkit_uri_scheme_response_set_content_type(response, answer.contentType.c_str());
    SoupMessageHeaders* headers = soup_message_headers_new(SOUP_MESSAGE_HEADERS_RESPONSE);
    for (const auto& [name, value] : answer.headers)
        soup_message_headers_append(headers, name.c_str(), value.c_str());
    webkit_uri_scheme_response_set_http_headers(response, headers);
    webkit_uri_scheme_request_finish_with_response(request, response);
    g_object_unref(response);
    g_object_unref(stream);
}

void DesktopWindow::Impl::onScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result,
                                          gpointer data) {
    auto* impl = static_cast<Impl*>(data);
    JSCValue* value = webkit_javascript_result_get_js_value(result);
    // The shim posts JSON text; anything else a script posts is passed on as its JSON.
    gchar* text =
        jsc_value_is_string(value) ? jsc_value_to_string(value) : jsc_value_to_json(value, 0);
    if (!text) return;
    std::string message(text);
    g_free(text);
    if (impl->hooks.onMessage) impl->hooks.onMessage(message);
}

void DesktopWindow::Impl::onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer data) {
    if (event == WEBKIT_LOAD_COMMITTED) static_cast<Impl*>(data)->pageLoaded = true;
}

gboolean DesktopWindow::Impl::onLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri,
                                           GError* error, gpointer) {
    // A reload that replaces a page in progress is not a failure worth a line.
    if (!g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED)) {
        std::cerr << programName() << ": cannot load " << (uri ? uri : "the page") << ": "
                  << error->message << "\n";
    }
    return FALSE;
}

void DesktopWindow::Impl::onWebProcessTerminated(WebKitWebView*,
                                                 WebKitWebProcessTerminationReason reason,
                                                 gpointer) {
    std::cerr << programName() << ": the page's web process "
              << (reason == WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT ? "ran out of memory"
                                                                     : "ended unexpectedly")
              << "; the window stays empty until it is closed\n";
}

gboolean DesktopWindow::Impl::onContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*,
                                            WebKitHitTestResult*, gpointer) {
    // The browser's menu (back, reload, inspect) means nothing in this window.
    return TRUE;
}

void DesktopWindow::Impl::onZoomChanged(GObject* view, GParamSpec*, gpointer) {
    // The page is laid out for one scale; nothing may zoom it.
    if (webkit_web_view_get_zoom_level(WEBKIT_WEB_VIEW(view)) != 1.0)
        webkit_web_view_set_zoom_level(WEBKIT_WEB_VIEW(view), 1.0);
}

gboolean DesktopWindow::Impl::onViewEvent(GtkWidget*, GdkEvent* event, gpointer) {
    // A touchpad pinch would magnify the page; the page keeps its one scale.
    if (event->type == GDK_TOUCHPAD_PINCH) return TRUE;
    // Control with the wheel belongs to the page (as a plain wheel event), never to zooming.
    return FALSE;
}

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

void DesktopWindow::Impl::onDestroy(GtkWidget*, gpointer data) {
    auto* impl = static_cast<Impl*>(data);
    impl->window = nullptr;
    impl->view = nullptr;
    if (impl->loop) g_main_loop_quit(impl->loop);
}

gboolean DesktopWindow::Impl::onTerminateSignal(gpointer data) {
    // A session that ends asks the window to close, as its close button would.
    auto* impl = static_cast<Impl*>(data);
    if (impl->window) gtk_window_close(GTK_WINDOW(impl->window));
    return G_SOURCE_CONTINUE;
}

bool desktopAvailable() {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((!x11 || !*x11) && (!wayland || !*wayland)) return false;
    // The window manager groups and names the window by this.
    if (!g_get_prgname()) g_set_prgname("forgeset-server-tool");
    return gtk_init_check(nullptr, nullptr);
}

Result<std::unique_ptr<DesktopWindow>> DesktopWindow::create(const DesktopSettings& settings) {
    // The toolkit gives reasons, not error numbers.
    auto refuse = [](const char* reason) { return fail(0, reason); };
    if (!desktopAvailable()) return refuse("cannot open the display");

    // The web context reads these when it starts its processes: set them first.
    if (!settings.devtoolsPort.empty()) {
        g_setenv("WEBKIT_INSPECTOR_SERVER", ("127.0.0.1:" + settings.devtoolsPort).c_str(), TRUE);
    } else {
        g_unsetenv("WEBKIT_INSPECTOR_SERVER");
        g_unsetenv("WEBKIT_INSPECTOR_HTTP_SERVER");
    }

    auto impl = std::make_unique<Impl>();
    impl->settings = settings;

    WebKitWebsiteDataManager* data =
        settings.dataFolder.empty()
            ? webkit_website_data_manager_new_ephemeral()
            : webkit_website_data_manager_new("base-data-directory", settings.dataFolder.c_str(),
                                              "base-cache-directory",
                                              (settings.dataFolder + "/cache").c_str(), nullptr);
    impl->context = webkit_web_context_new_with_website_data_manager(data);
    g_object_unref(data);
    if (!impl->context) return refuse("cannot create the web view's context");
    // One page, never navigated away from: keep little in memory.
    webkit_web_context_set_cache_model(impl->context, WEBKIT_CACHE_MODEL_DOCUMENT_VIEWER);
    const std::string scheme(kPageScheme);
    webkit_web_context_register_uri_scheme(impl->context, scheme.c_str(), Impl::onSchemeRequest,
                                           impl.get(), nullptr);
    // Secure, so the page has a secure context (modules, storage); CORS-enabled, so the page
    // may read the folder hosts' files that allow its origin.
    WebKitSecurityManager* security = webkit_web_context_get_security_manager(impl->context);
    webkit_security_manager_register_uri_scheme_as_secure(security, scheme.c_str());
    webkit_security_manager_register_uri_scheme_as_cors_enabled(security, scheme.c_str());

    impl->content = webkit_user_content_manager_new();
    g_signal_connect(impl->content,
                     (std::string("script-message-received::") + kMessageHandler).c_str(),
                     G_CALLBACK(Impl::onScriptMessage), impl.get());
    if (!webkit_user_content_manager_register_script_message_handler(impl->content,
                                                                     kMessageHandler)) {
        return refuse("cannot open the page's message channel");
    }
    const std::string shim = pageShimScript(settings.pageShim);
    WebKitUserScript* script =
        webkit_user_script_new(shim.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                               WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
    webkit_user_content_manager_add_script(impl->content, script);
    webkit_user_script_unref(script);

    const bool devtools = !settings.devtoolsPort.empty();
    WebKitSettings* viewSettings = webkit_settings_new_with_settings(
        "enable-developer-extras", devtools, "enable-back-forward-navigation-gestures", FALSE,
        "enable-page-cache", FALSE, nullptr);
    GtkWidget* view = GTK_WIDGET(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", impl->context,
                                              "user-content-manager", impl->content, "settings",
                                              viewSettings, nullptr));
    g_object_unref(viewSettings);
    if (!view) return refuse("cannot create the web view");
    impl->view = WEBKIT_WEB_VIEW(view);
    webkit_web_view_set_background_color(impl->view, &kLoadingBackground);

    impl->window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    if (!impl->window) {
        gtk_widget_destroy(view);
        return refuse("cannot create the window");
    }
    GtkWindow* window = GTK_WINDOW(impl->window);
    gtk_window_set_title(window, settings.title.c_str());
    gtk_window_set_default_size(window, settings.width, settings.height);
    // The page draws the title bar and its buttons.
    gtk_window_set_decorated(window, FALSE);
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, kWindowStyle, -1, nullptr);
    gtk_style_context_add_provider(gtk_widget_get_style_context(impl->window),
                                   GTK_STYLE_PROVIDER(css),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(css);
    gtk_container_add(GTK_CONTAINER(window), view);

    g_signal_connect(impl->window, "destroy", G_CALLBACK(Impl::onDestroy), impl.get());
    g_signal_connect(view, "load-changed", G_CALLBACK(Impl::onLoadChanged), impl.get());
    g_signal_connect(view, "load-failed", G_CALLBACK(Impl::onLoadFailed), impl.get());
    g_signal_connect(view, "web-process-terminated", G_CALLBACK(Impl::onWebProcessTerminated),
                     impl.get());
    g_signal_connect(view, "context-menu", G_CALLBACK(Impl::onContextMenu), impl.get());
    g_signal_connect(view, "notify::zoom-level", G_CALLBACK(Impl::onZoomChanged), impl.get());
    g_signal_connect(view, "event", G_CALLBACK(Impl::onViewEvent), impl.get());
    // Connected before the view's own handlers run, so a press in the band never reaches
    // the page.
    g_signal_connect(view, "button-press-event", G_CALLBACK(Impl::onButtonPress), impl.get());
    g_signal_connect(view, "motion-notify-event", G_CALLBACK(Impl::onMotion), impl.get());

    impl->dialogs = std::make_unique<GtkDialogs>(window);
    return std::unique_ptr<DesktopWindow>(new DesktopWindow(std::move(impl)));
}

DesktopWindow::DesktopWindow(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

DesktopWindow::~DesktopWindow() = default;

Dialogs& DesktopWindow::dialogs() {
    return *impl_->dialogs;
}

void DesktopWindow::run(PageHooks hooks) {
    Impl& impl = *impl_;
    impl.hooks = std::move(hooks);
    if (!impl.window) return;
    gtk_widget_show_all(impl.window);
    webkit_web_view_load_uri(impl.view, impl.indexUrl().c_str());

    const guint signals[] = {
        g_unix_signal_add(SIGTERM, Impl::onTerminateSignal, &impl),
        g_unix_signal_add(SIGINT, Impl::onTerminateSignal, &impl),
        g_unix_signal_add(SIGHUP, Impl::onTerminateSignal, &impl),
    };
    impl.loop = g_main_loop_new(nullptr, FALSE);
    // A close asked for before the loop ran still has to end it.
    if (impl.window) g_main_loop_run(impl.loop);
    for (guint source : signals)
        g_source_remove(source);
}

void DesktopWindow::postToPage(std::string json) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->pending.push_back(std::move(json));
    impl_->schedule();
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

void DesktopWindow::close() {
    // Through the loop, so any thread may ask and the page's own message handler returns
    // before the window goes.
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->closeRequested = true;
    impl_->schedule();
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

void DesktopWindow::reloadForNewRoot() {
    // The species host reads the server folder on every request, so a fresh page is all
    // that a new folder needs.
    if (impl_->view) webkit_web_view_load_uri(impl_->view, impl_->indexUrl().c_str());
}

}  // namespace platform
