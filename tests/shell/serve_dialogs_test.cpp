// The browser host's dialogs over real loopback connections: the page is asked, lists folders
// and answers; everything else is refused; a page that is gone ends the wait as a cancel.
#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "bridge/json_write.h"
#include "server/commands.h"
#include "shell/serve_client.h"

namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;
using namespace std::chrono_literals;
using namespace serve_test;

// What the file dialog command got back, for tests whose page is gone by then.
struct Picked {
    std::mutex mutex;
    std::condition_variable changed;
    std::optional<std::vector<std::string>> paths;

    std::optional<std::vector<std::string>> wait(std::chrono::milliseconds limit) {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, limit, [&] { return paths.has_value(); });
        return paths;
    }
};

Picked& picked() {
    static Picked p;
    return p;
}

void askFilesCommand(bridge::App& app, const std::string&) {
    std::vector<std::string> paths =
        app.dialogs.pickFiles("Sound files for this species", {{"Sounds", {"*.wav", "*.ogg"}}});
    {
        std::lock_guard lock(picked().mutex);
        picked().paths = paths;
    }
    picked().changed.notify_all();
    app.outbox.post("{\"type\":\"picked\",\"count\":" + std::to_string(paths.size()) + "}");
}

void echoCommand(bridge::App& app, const std::string&) {
    app.outbox.post("{\"type\":\"echo\"}");
}

const bridge::Command kCommands[] = {
    {"pickFolder", server::command::pickFolder},
    {"askFiles", askFilesCommand},
    {"echo", echoCommand},
};

class ServeDialogs : public ::testing::Test {
  protected:
    ServeDialogs() : home_("HOME", scratch / "home") {
        fs::create_directories(scratch / "home/servers");
        std::lock_guard lock(picked().mutex);
        picked().paths.reset();
    }

    // A post from the page to one of the dialog routes.
    Reply dialogPost(HostUnderTest& h, const std::string& route, const std::string& body) {
        return roundTrip(h.port(), requestText("POST", "/_host/dialog/" + route,
                                               {h.hostHeader(), h.cookieHeader(), h.keyHeader(),
                                                h.originHeader(), "Content-Type: application/json"},
                                               body));
    }

    static json parsed(const std::string& text) {
        EXPECT_TRUE(json::accept(text)) << text;
        return json::parse(text, nullptr, false);
    }

    // The next event of the stream that is a message, parsed.
    static json nextMessage(EventReader& page) {
        while (auto event = page.next()) {
            if (event->type == "message") return parsed(event->data);
        }
        return nullptr;
    }

    TempDir scratch;
    ScopedEnv home_;
};

TEST_F(ServeDialogs, ANewOwnerChoosesTheServerFolderInThePage) {
    HostUnderTest h(kCommands, {}, /*withRoot=*/false, /*pageDialogs=*/true);
    EventReader page(h.port(), h.page());
    ASSERT_TRUE(page.connected());
    ASSERT_EQ(h.post(R"({"cmd":"pickFolder"})").status, 204);
    json dialog = nextMessage(page);
    ASSERT_EQ(dialog["type"], "dialog");
    EXPECT_EQ(dialog["kind"], "folder");
    EXPECT_EQ(dialog["title"], "Server folder (where VarraForgesetServer.exe lives)");
    EXPECT_EQ(dialog["start"], scratch / "home");
    const std::string id = std::to_string(dialog["id"].get<std::uint64_t>());
    // A command sent meanwhile waits for the dialog, and then runs.
    ASSERT_EQ(h.post(R"({"cmd":"echo"})").status, 204);

    Reply listing = dialogPost(
        h, "list",
        R"({"id":)" + id + R"(,"path":)" + "\"" + bridge::jsonEscape(scratch / "home") + "\"}");
    EXPECT_EQ(listing.status, 200);
    EXPECT_EQ(listing.header("Content-Type"), "application/json");
    EXPECT_EQ(parsed(listing.body)["entries"],
              json::parse(R"([{"name":"servers","folder":true}])"));

    Reply turnedDown = dialogPost(h, "answer", R"({"id":)" + id + R"(,"paths":["/no/such"]})");
    EXPECT_EQ(turnedDown.status, 422);
    Reply answer = dialogPost(
        h, "answer", R"({"id":)" + id + R"(,"paths":[")" + bridge::jsonEscape(h.root()) + "\"]}");
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(parsed(answer.body)["ok"], true);

    EXPECT_EQ(nextMessage(page), (json{{"type", "dialogEnd"}, {"id", std::stoull(id)}}));
    auto reload = page.next();
    ASSERT_TRUE(reload);
    EXPECT_EQ(reload->type, "reload");
    EXPECT_EQ(nextMessage(page)["type"], "echo");
    std::ifstream stored(h.appData() + "/server-root.txt");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(stored), {}), h.root());
    // Over: no more listings.
    EXPECT_EQ(dialogPost(h, "list", R"({"id":)" + id + R"(,"path":"/"})").status, 403);
}

TEST_F(ServeDialogs, ListingsAndAnswersAreRefusedUnlessThePageAsksForTheOpenDialog) {
    HostUnderTest h(kCommands, {}, true, true);
    const std::string listBody = R"({"id":1,"path":"/"})";
    EXPECT_EQ(dialogPost(h, "list", listBody).status, 403) << "no dialog open yet";
    EXPECT_EQ(dialogPost(h, "answer", R"({"id":1,"cancel":true})").status, 403);

    EventReader page(h.port(), h.page());
    ASSERT_EQ(h.post(R"({"cmd":"askFiles"})").status, 204);
    const std::uint64_t id = nextMessage(page)["id"];
    const std::string body = R"({"id":)" + std::to_string(id) + R"(,"path":"/"})";
    const std::string jsonType = "Content-Type: application/json";
    struct Case {
        const char* what;
        std::string method;
        std::string target;
        std::vector<std::string> headers;
        std::string body;
        int status;
    };
    const Case cases[] = {
        {"the page itself",
         "POST",
         "/_host/dialog/list",
         {h.hostHeader(), h.cookieHeader(), h.keyHeader(), h.originHeader(), jsonType},
         body,
         200},
        {"another dialog's id",
         "POST",
         "/_host/dialog/list",
         {h.hostHeader(), h.cookieHeader(), h.keyHeader(), h.originHeader(), jsonType},
         R"({"id":)" + std::to_string(id + 1) + R"(,"path":"/"})",
         403},
        {"no id",
         "POST",
         "/_host/dialog/list",
         {h.hostHeader(), h.cookieHeader(), h.keyHeader(), h.originHeader(), jsonType},
         R"({"path":"/"})",
         403},
        {"no token",
         "POST",
         "/_host/dialog/list",
         {h.hostHeader(), h.originHeader(), jsonType},
         body,
         403},
        {"another origin",
         "POST",
         "/_host/dialog/list",
         {h.hostHeader(), h.cookieHeader(), h.keyHeader(), "Origin: http://evil.example", jsonType},
         body,
         403},
        {"no origin",
         "POST",
         "/_host/dialog/list",
         {h.hostHeader(), h.cookieHeader(), h.keyHeader(), jsonType},
         body,
         403},
        {"a form's type",
         "POST",
         "/_host/dialog/list",
         {h.hostHeader(), h.cookieHeader(), h.keyHeader(), h.originHeader(),
          "Content-Type: text/plain"},
         body,
         403},
        {"another host name",
         "POST",
         "/_host/dialog/list",
         {"Host: localhost:" + std::to_string(h.port()), h.cookieHeader(), h.keyHeader(),
          h.originHeader(), jsonType},
         body,
         403},
        {"a read",
         "GET",
         "/_host/dialog/list?id=1&path=/",
         {h.hostHeader(), h.cookieHeader()},
         "",
         404},
        {"an answer from another origin",
         "POST",
         "/_host/dialog/answer",
         {h.hostHeader(), h.cookieHeader(), h.keyHeader(), "Origin: http://evil.example", jsonType},
         R"({"id":)" + std::to_string(id) + R"(,"cancel":true})",
         403},
    };
    for (const Case& c : cases) {
        Reply reply = roundTrip(h.port(), requestText(c.method, c.target, c.headers, c.body));
        EXPECT_EQ(reply.status, c.status) << c.what;
        if (c.status != 200) {
            EXPECT_EQ(reply.body.find("\"entries\""), std::string::npos) << c.what;
        }
    }
    // Still open after all that: the refused answer did not end it.
    EXPECT_EQ(picked().wait(200ms), std::nullopt);
    EXPECT_EQ(
        dialogPost(h, "answer", R"({"id":)" + std::to_string(id) + R"(,"cancel":true})").status,
        200);
    EXPECT_EQ(picked().wait(5s), std::vector<std::string>{});
}

TEST_F(ServeDialogs, APageThatClosesCancelsTheDialogWithinAFewSeconds) {
    HostUnderTest h(kCommands, {}, true, true);
    EventReader page(h.port(), h.page());
    ASSERT_EQ(h.post(R"({"cmd":"askFiles"})").status, 204);
    ASSERT_EQ(nextMessage(page)["type"], "dialog");
    auto closed = Clock::now();
    page.disconnect();
    EXPECT_EQ(picked().wait(10s), std::vector<std::string>{});
    EXPECT_LT(Clock::now() - closed, 4s);
}

TEST_F(ServeDialogs, StoppingTheHostEndsAWaitingDialog) {
    auto h = std::make_unique<HostUnderTest>(kCommands, std::vector<std::string>{}, true, true);
    EventReader page(h->port(), h->page());
    ASSERT_EQ(h->post(R"({"cmd":"askFiles"})").status, 204);
    ASSERT_EQ(nextMessage(page)["type"], "dialog");
    auto stopping = Clock::now();
    h.reset();
    EXPECT_EQ(picked().wait(1s), std::vector<std::string>{});
    EXPECT_LT(Clock::now() - stopping, 4s);
}

}  // namespace
