// The tool as a person starts it on a desktop: no host option, a display present. It runs on
// a private X server; the test looks at the screen and uses the pointer as a person would.
#include <dlfcn.h>
#include <gdk/gdk.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "shell/virtual_display.h"
#include "support/child_process.h"
#include "support/test_app.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// One run of the tool with its standard error collected.
class DesktopTool : public ChildProcess {
  public:
    DesktopTool(const std::vector<std::string>& args, const std::map<std::string, std::string>& env)
        : ChildProcess(options(args, env)) {}

  private:
    static Options options(const std::vector<std::string>& args,
                           const std::map<std::string, std::string>& env) {
        Options options(FORGESET_TOOL_PATH, args, env);
        options.in = Stream::Null;
        options.out = Stream::Null;
        options.throwIfNotStarted = false;
        return options;
    }
};

// What is on the screen, pixel by pixel (0xRRGGBB).
struct Screen {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    std::uint32_t at(int x, int y) const {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)];
    }
};

GdkDisplay* openDisplay(const std::string& name) {
    static GdkDisplay* display = gdk_display_open(name.c_str());
    return display;
}

// Takes the screen; saves it as PNG when `png` is given.
Screen capture(const std::string& displayName, const std::string& png = {}) {
    Screen screen;
    GdkDisplay* display = openDisplay(displayName);
    if (!display) return screen;
    GdkWindow* root = gdk_screen_get_root_window(gdk_display_get_default_screen(display));
    const int width = gdk_window_get_width(root), height = gdk_window_get_height(root);
    GdkPixbuf* shot = gdk_pixbuf_get_from_window(root, 0, 0, width, height);
    if (!shot) return screen;
    screen.width = width;
    screen.height = height;
    const int stride = gdk_pixbuf_get_rowstride(shot);
    const int channels = gdk_pixbuf_get_n_channels(shot);
    const guchar* bytes = gdk_pixbuf_read_pixels(shot);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const guchar* p = bytes + y * stride + x * channels;
            screen.pixels.push_back((std::uint32_t(p[0]) << 16) | (std::uint32_t(p[1]) << 8) |
                                    p[2]);
        }
    }
    if (!png.empty()) gdk_pixbuf_save(shot, png.c_str(), "png", nullptr, nullptr);
    g_object_unref(shot);
    return screen;
}

std::size_t distinctColours(const Screen& screen) {
    return std::set<std::uint32_t>(screen.pixels.begin(), screen.pixels.end()).size();
}

// Pixels that differ below the page's title bar, where the page shows what the tool told it.
std::size_t contentDifference(const Screen& a, const Screen& b) {
    if (a.width != b.width || a.height != b.height) return SIZE_MAX;
    std::size_t differing = 0;
    for (int y = 48; y < a.height; ++y) {
        for (int x = 0; x < a.width; ++x)
            differing += a.at(x, y) != b.at(x, y);
    }
    return differing;
}

// The few X calls the test needs beyond the toolkit, loaded when used: the window list and
// the XTest pointer, which stands in for a person's hand.
class XClient {
  public:
    using Window = unsigned long;

    explicit XClient(const std::string& displayName) {
        x11_ = ::dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
        xtst_ = ::dlopen("libXtst.so.6", RTLD_NOW | RTLD_LOCAL);
        if (!x11_) return;
        load(x11_, open_, "XOpenDisplay");
        load(x11_, close_, "XCloseDisplay");
        load(x11_, defaultRoot_, "XDefaultRootWindow");
        load(x11_, queryTree_, "XQueryTree");
        load(x11_, fetchName_, "XFetchName");
        load(x11_, free_, "XFree");
        load(x11_, geometry_, "XGetGeometry");
        load(x11_, internAtom_, "XInternAtom");
        load(x11_, property_, "XGetWindowProperty");
        load(x11_, sync_, "XSync");
        if (xtst_) {
            load(xtst_, motion_, "XTestFakeMotionEvent");
            load(xtst_, button_, "XTestFakeButtonEvent");
        }
        if (open_ && close_ && defaultRoot_ && queryTree_ && fetchName_ && free_ && geometry_ &&
            internAtom_ && property_ && sync_)
            display_ = open_(displayName.c_str());
    }

    ~XClient() {
        if (display_) close_(display_);
        if (xtst_) ::dlclose(xtst_);
        if (x11_) ::dlclose(x11_);
    }

    bool ready() const { return display_ != nullptr; }
    bool canClick() const { return display_ && motion_ && button_; }

    // The top-level window with this title; 0 when there is none.
    Window findWindow(const std::string& title) {
        Window rootReturn = 0, parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (!queryTree_(display_, defaultRoot_(display_), &rootReturn, &parent, &children, &count))
            return 0;
        Window found = 0;
        for (unsigned i = 0; i < count && !found; ++i) {
            char* name = nullptr;
            if (fetchName_(display_, children[i], &name) && name) {
                if (title == name) found = children[i];
                free_(name);
            }
        }
        if (children) free_(children);
        return found;
    }

    void size(Window window, unsigned* width, unsigned* height) {
        Window root = 0;
        int x = 0, y = 0;
        unsigned border = 0, depth = 0;
        geometry_(display_, window, &root, &x, &y, width, height, &border, &depth);
    }

    // Whether the window asks the window manager for no frame (Motif hints, decorations 0).
    bool undecorated(Window window) {
        const unsigned long hints = internAtom_(display_, "_MOTIF_WM_HINTS", 1);
        if (!hints) return false;
        unsigned long type = 0, items = 0, after = 0;
        int format = 0;
        unsigned char* data = nullptr;
        property_(display_, window, hints, 0, 5, 0, 0, &type, &format, &items, &after, &data);
        bool result = false;
        if (data && format == 32 && items >= 3) {
            const long* values = reinterpret_cast<const long*>(data);
            result = (values[0] & 2) != 0 && values[2] == 0;
        }
        if (data) free_(data);
        return result;
    }

    void click(int x, int y) {
        motion_(display_, -1, x, y, 0);
        sync_(display_, 0);
        std::this_thread::sleep_for(200ms);
        button_(display_, 1, 1, 0);
        button_(display_, 1, 0, 0);
        sync_(display_, 0);
    }

  private:
    template <typename F>
    void load(void* library, F& into, const char* name) {
        into = reinterpret_cast<F>(::dlsym(library, name));
    }

    void* x11_ = nullptr;
    void* xtst_ = nullptr;
    void* display_ = nullptr;
    void* (*open_)(const char*) = nullptr;
    int (*close_)(void*) = nullptr;
    Window (*defaultRoot_)(void*) = nullptr;
    int (*queryTree_)(void*, Window, Window*, Window*, Window**, unsigned*) = nullptr;
    int (*fetchName_)(void*, Window, char**) = nullptr;
    int (*free_)(void*) = nullptr;
    int (*geometry_)(void*, Window, Window*, int*, int*, unsigned*, unsigned*, unsigned*,
                     unsigned*) = nullptr;
    unsigned long (*internAtom_)(void*, const char*, int) = nullptr;
    int (*property_)(void*, Window, unsigned long, long, long, int, unsigned long, unsigned long*,
                     int*, unsigned long*, unsigned long*, unsigned char**) = nullptr;
    int (*sync_)(void*, int) = nullptr;
    int (*motion_)(void*, int, int, int, unsigned long) = nullptr;
    int (*button_)(void*, unsigned, int, unsigned long) = nullptr;
};

constexpr char kTitle[] = "Varra Forgeset Server Tool";

class DesktopSmokeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(display.name().empty()) << display.error();
        fs::create_directories(server() + "/server-plugin/build");
        writeText(server() + "/VarraForgesetServer.exe", "");
        writeText(server() + "/server-plugin/build/varra-forgeset-server.dll", "");
        writeText(server() + "/server.cfg", "sv_hostname \"Smoke\"\n");
    }

    std::string server() const { return home.path() + "/server"; }

    // A run with a private home, so nothing of the user's is read or written.
    std::map<std::string, std::string> environment(const std::string& name) const {
        const std::string base = home.path() + "/" + name;
        return {
            {"DISPLAY", display.name()},
            {"WAYLAND_DISPLAY", ""},
            {"GDK_BACKEND", "x11"},
            {"NO_AT_BRIDGE", "1"},
            {"HOME", base + "/home"},
            {"XDG_DATA_HOME", base + "/data"},
            // Shared by the runs of one test: the font index is built once.
            {"XDG_CACHE_HOME", home.path() + "/cache"},
            {"XDG_CONFIG_HOME", base + "/config"},
            {"VARRAFORGESET_DEVTOOLS_PORT", ""},
        };
    }

    // The drawn page once it has stopped changing: three takes in a row alike, and more than
    // a bare background (the window is plain until the page's first paint).
    Screen settledScreen() {
        Screen last = capture(display.name());
        int alike = 1;
        // A fresh home makes the first paint slow (fonts are indexed anew): allow for it.
        for (int i = 0; i < 160 && (alike < 3 || distinctColours(last) < 64); ++i) {
            std::this_thread::sleep_for(250ms);
            Screen next = capture(display.name());
            alike = next.pixels == last.pixels ? alike + 1 : 1;
            last = std::move(next);
        }
        return last;
    }

    VirtualDisplay& display = VirtualDisplay::shared();
    TempDir home;
};

TEST_F(DesktopSmokeTest, TheWindowShowsThePageWithWhatTheToolToldIt) {
    // Without a server folder the page shows what it shows before any answer: the picture
    // to compare with.
    Screen empty;
    {
        DesktopTool tool({}, environment("first"));
        ASSERT_TRUE(tool.started());
        ASSERT_TRUE(tool.waitForError("page connected", 60s)) << tool.err;
        empty = settledScreen();
        ASSERT_GE(distinctColours(empty), 64u) << "the page was never drawn";
        // The session ending closes the window the ordinary way.
        tool.signal(SIGTERM);
        EXPECT_EQ(tool.waitExit(30s), 0) << tool.err;
    }

    DesktopTool tool({"--root", server()}, environment("second"));
    ASSERT_TRUE(tool.started());
    ASSERT_TRUE(tool.waitForError("page connected", 60s)) << tool.err;

    // The page's init went to the tool and its answer came back: the page now shows the
    // folder it was told about.
    // Only settled pictures count: a page still being laid out differs from anything.
    Screen shown;
    const auto deadline = Clock::now() + 20s;
    do {
        shown = settledScreen();
    } while (contentDifference(shown, empty) < 2000 && Clock::now() < deadline);
    EXPECT_GE(contentDifference(shown, empty), 2000u) << "the page never showed the tool's answer";
    // Kept beside the test program (the build folder) for a look after the run.
    const std::string png = fs::read_symlink("/proc/self/exe").parent_path() / "desktop-smoke.png";
    capture(display.name(), png);
    std::cout << "screenshot: " << png << "\n";
    // A drawn page, not an empty or single-coloured surface.
    EXPECT_GE(distinctColours(shown), 64u);

    XClient x(display.name());
    ASSERT_TRUE(x.ready()) << "cannot open the display with libX11";
    XClient::Window window = x.findWindow(kTitle);
    ASSERT_NE(window, 0u) << "no window titled " << kTitle;
    unsigned width = 0, height = 0;
    x.size(window, &width, &height);
    EXPECT_EQ(width, 1280u);
    EXPECT_EQ(height, 860u);
    EXPECT_TRUE(x.undecorated(window));

    tool.signal(SIGTERM);
    EXPECT_EQ(tool.waitExit(30s), 0) << tool.err;
}

TEST_F(DesktopSmokeTest, ThePagesCloseButtonEndsTheToolWithZero) {
    DesktopTool tool({"--root", server()}, environment("close"));
    ASSERT_TRUE(tool.started());
    ASSERT_TRUE(tool.waitForError("page connected", 60s)) << tool.err;
    settledScreen();
    XClient x(display.name());
    ASSERT_TRUE(x.canClick()) << "needs libX11 and libXtst (Debian: libx11-6, libxtst6)";
    // The close button is the last of the page's title bar buttons, in the top right corner,
    // just inside the resize band.
    x.click(1280 - 23, 20);
    EXPECT_EQ(tool.waitExit(30s), 0) << tool.err;
}

}  // namespace
