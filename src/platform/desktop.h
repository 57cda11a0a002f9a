#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/dialogs.h"
#include "platform/folder_access.h"
#include "platform/result.h"
#include "platform/window.h"

// The desktop window: a frameless toplevel whose whole surface is a web view showing the page.
// The toolkit stays behind this header; the shell wires the application to it.
namespace platform {

// ---------------------------------------------------------------- the page's addresses

// Every file the page loads comes through one private scheme with three host names: the page
// itself, the extracted assets and the species folder of the server. The names end in
// ".invalid", so they can never reach the network.
inline constexpr std::string_view kPageScheme = "forgeset";
inline constexpr std::string_view kAppHost = "app.varraforgeset.invalid";
inline constexpr std::string_view kAssetsHost = "assets.varraforgeset.invalid";
inline constexpr std::string_view kSpeciesHost = "species.varraforgeset.invalid";

// "forgeset://<host>/".
std::string pageHostUrl(std::string_view host);

// The origin of the page as the web view reports it: "forgeset://app.varraforgeset.invalid".
std::string pageOrigin();

// The host (lower-cased) and the path of a URI of the page's scheme. The path is cut at "?"
// and "#", is "/" when the URI has none, and is not decoded.
struct PageUriParts {
    std::string host;
    std::string path;
};
PageUriParts splitPageUri(std::string_view uri);

// ---------------------------------------------------------------- answering the page's requests

// A file compiled into the program that answers a request of the page.
struct PageFile {
    // Lives as long as the program.
    std::string_view body;
    std::string_view contentType;
};

// Where the page's files come from. Each is asked anew on every request, so a changed server
// folder is seen by the next request.
struct PageSources {
    // The embedded page for a request URI; nothing when its path is not one of the page's.
    std::function<std::optional<PageFile>(std::string_view uri)> embedded;
    // The folders behind the assets and species hosts; empty when there is none.
    std::function<std::string()> assetsFolder;
    std::function<std::string()> speciesFolder;
};

// What one request of the page gets: either `body` (bytes that live as long as the program:
// the embedded page or a fixed text, handed to the web view without a copy) or the open
// regular file `file` of `fileSize` bytes.
struct PageAnswer {
    int status = 404;
    std::string reason = "Not Found";
    std::string contentType = "text/plain";
    std::vector<std::pair<std::string, std::string>> headers;
    std::string_view body;
    FileHandle file;
    std::uint64_t fileSize = 0;
};

// Answers one request of the page's scheme. The page's own files are served on any of the
// three hosts; other paths of the assets and species hosts are files inside those folders,
// readable by the page's origin only. Nothing outside a folder is ever served.
PageAnswer answerPageRequest(const PageSources& sources, std::string_view method,
                             std::string_view uri);

// ---------------------------------------------------------------- the resize band

// Where a press lands with respect to the window's resize band, as the window's own
// hit-testing sorts it.
enum class ResizeEdge {
    none,
    top,
    bottom,
    left,
    right,
    topLeft,
    topRight,
    bottomLeft,
    bottomRight,
};

inline constexpr int kResizeBand = 8;

// The edge under the point (x, y), in window coordinates, of a window `width` by `height`
// pixels. Left is tested before right and top before bottom, so a window narrower than two
// bands still picks one; a maximised window has no band.
ResizeEdge resizeEdgeAt(int x, int y, int width, int height, bool maximized,
                        int band = kResizeBand);

// ---------------------------------------------------------------- file dialogs

// A file name pattern of a file dialog's filter that matches without regard to ASCII case
// ("*.wav" becomes "*.[wW][aA][vV]"), as file dialogs match on Windows.
std::string caseInsensitivePattern(const std::string& pattern);

// ---------------------------------------------------------------- the window

struct DesktopSettings {
    std::string title;
    int width = 1280;
    int height = 860;
    // Where the web view keeps its storage and cache.
    std::string dataFolder;
    // The remote inspector's port on 127.0.0.1; empty keeps developer tools off.
    std::string devtoolsPort;
    // The script that gives the page its window.chrome.webview, run before the page's own;
    // the window fills in its marks @HANDLER@, @ASSETS@ and @SPECIES@.
    std::string pageShim;
};

// What the page does to the program, once it runs.
struct PageHooks {
    PageSources sources;
    // Each message the page posts (JSON text), on the thread that runs the window.
    std::function<void(const std::string&)> onMessage;
};

// True when a display is there and the toolkit can open it.
bool desktopAvailable();

class DesktopWindow : public Window {
  public:
    // Creates the (still hidden) window and its web view; fails with the reason when either
    // cannot be made.
    static Result<std::unique_ptr<DesktopWindow>> create(const DesktopSettings& settings);
    ~DesktopWindow() override;

    // Native dialogs owned by this window.
    Dialogs& dialogs();

    // Shows the window, loads the page and runs until the window closes.
    void run(PageHooks hooks);

    // Callable from any thread. Messages reach the page in posting order through the window's
    // loop; those that arrive before the page has loaded are dropped.
    void postToPage(std::string json);

    void minimize() override;
    void toggleMaximize() override;
    // Callable from any thread: closes the window the ordinary way, which ends run().
    void close() override;
    void startMove() override;
    void reloadForNewRoot() override;

    struct Impl;

  private:
    explicit DesktopWindow(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace platform
