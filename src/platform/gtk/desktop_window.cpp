// The desktop window: GTK 3 around one WebKitGTK web view that fills it. The page draws the
// whole surface, title bar included; the window adds the resize band, the moves and size
// changes the page asks for (window_frame.cpp), the page's scheme and the two-way message
// channel (page_channel.cpp). This file makes the window and runs its loop.
#include <glib-unix.h>

#include <csignal>
#include <cstdlib>

#include "platform/gtk/desktop_window_impl.h"

namespace platform {

namespace {

// Colour of the window while the page is still loading, the page's own background.
constexpr GdkRGBA kLoadingBackground = {15 / 255.0, 17 / 255.0, 21 / 255.0, 1.0};
constexpr char kWindowStyle[] = "window { background-color: #0F1115; }";

}  // namespace

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

void DesktopWindow::close() {
    // Through the loop, so any thread may ask and the page's own message handler returns
    // before the window goes.
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->closeRequested = true;
    impl_->schedule();
}

void DesktopWindow::reloadForNewRoot() {
    // The species host reads the server folder on every request, so a fresh page is all
    // that a new folder needs.
    if (impl_->view) webkit_web_view_load_uri(impl_->view, impl_->indexUrl().c_str());
}

}  // namespace platform
