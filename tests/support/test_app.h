#pragma once
#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/app.h"
#include "bridge/outbox.h"
#include "platform/dialogs.h"
#include "platform/paths.h"
#include "platform/window.h"
#include "support/scoped_env.h"

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& tail) const { return path_ + "/" + tail; }

  private:
    std::string path_;
};

// Records what the page asked of the window.
class RecordingWindow : public platform::Window {
  public:
    void minimize() override { calls.push_back("minimize"); }
    void toggleMaximize() override { calls.push_back("toggleMaximize"); }
    void close() override { calls.push_back("close"); }
    void startMove() override { calls.push_back("startMove"); }
    void reloadForNewRoot() override { calls.push_back("reload"); }
    std::vector<std::string> calls;
};

// An App over a temporary server folder and app data folder, with the real command table
// and a capturing outbox. The app data folder's variable (XDG_DATA_HOME, LOCALAPPDATA on
// Windows) points into the temporary folder for its lifetime.
class TestApp {
  public:
    TestApp();

    // Runs one inbound message through the real dispatcher.
    void send(const std::string& message);

    // Every message posted since the last call, each parsed as JSON (a test fails on any
    // message that is not valid JSON).
    std::vector<nlohmann::json> take();

    // The raw texts posted since the last call.
    std::vector<std::string> takeRaw();

    std::string root() const { return home.path() + "/server"; }
    // Joined with the system's separator, as the tool joins it.
    std::string appData() const {
        return home.path() + "/data" + platform::pathSeparator + "VarraForgeset";
    }

    TempDir home;
    bridge::Outbox outbox;
    platform::ScriptedDialogs dialogs;
    RecordingWindow window;
    bridge::App app;

  private:
    ScopedEnv dataHome_;
};

// A path from UTF-8 text. std::filesystem reads a plain std::string in the ANSI code page on
// Windows, which cannot hold every name a test uses.
std::filesystem::path utf8Path(std::string_view text);
// The path's text as UTF-8.
std::string utf8Text(const std::filesystem::path& path);

// Test file helpers that fail loudly instead of hiding a setup mistake. Paths are UTF-8.
void writeText(const std::string& path, const std::string& bytes);
std::string readText(const std::string& path);
bool exists(const std::string& path);

std::string base64Encode(const std::string& bytes);

// The notices among messages, as (error, text) pairs.
std::vector<std::pair<bool, std::string>> notices(const std::vector<nlohmann::json>& messages);

// The types of the messages, in order.
std::vector<std::string> types(const std::vector<nlohmann::json>& messages);
