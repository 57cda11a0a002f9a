// The desktop window's channel to its page: the page's scheme, the messages both ways, and
// what the web view may not do on its own (zoom, its context menu).
#include <gio/gunixinputstream.h>

#include <iostream>

#include "platform/gtk/desktop_window_impl.h"

namespace platform {

namespace {

// Outbound messages travel as text and are parsed in the page, so a message can only ever be
// data, never code, whatever it holds.
constexpr char kDeliverBody[] = "if (window.__forgesetDeliver) window.__forgesetDeliver(text);";

}  // namespace

const char* programName() {
    const char* name = g_get_prgname();
    return name ? name : "forgeset-server-tool";
}

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

}  // namespace platform
