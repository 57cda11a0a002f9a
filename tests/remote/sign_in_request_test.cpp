// The sign-in's callback on a raw connection: its head is read whole however the browser's
// bytes come split, and what counts is the request line's query, not whether the rest is HTTP
// as strict as the browser host wants it.
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "remote/sign_in.h"
#include "sign_in_fixture.h"
#include "support/test_socket.h"

namespace remote {

namespace {

// Sends `pieces` a moment apart, as a slow network would deliver them; what the listener
// answered, up to its closing the connection.
std::string answerTo(int port, const std::vector<std::string>& pieces) {
    test_socket::Socket socket = test_socket::connectTo(port);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        test_socket::sendAll(socket, pieces[i]);
    }
    std::string answer;
    char buffer[4096];
    for (long n; (n = test_socket::receive(socket, buffer, sizeof buffer)) > 0;)
        answer.append(buffer, static_cast<std::size_t>(n));
    test_socket::closeSocket(socket);
    return answer;
}

std::string replaced(std::string text, const std::string& marker, const std::string& by) {
    for (std::size_t at; (at = text.find(marker)) != std::string::npos;)
        text.replace(at, marker.size(), by);
    return text;
}

TEST_F(SignInTest, TheCallbackIsReadWholeAndJudgedByItsRequestLineAlone) {
    const std::string query = "?token=test-token&state=@STATE&steamId=7";
    struct Case {
        std::string name;
        std::vector<std::string> pieces;
    } cases[] = {
        {"the request line split inside its query",
         {"GET /cb?token=te",
          "st-token&state=@STATE&steamId=7 HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"}},
        {"the blank line split from the head",
         {"GET /cb" + query + " HTTP/1.1\r\nHost: 127.0.0.1\r\n", "\r\n"}},
        {"a folded header and a blank before a colon",
         {"GET /cb" + query + " HTTP/1.1\r\nHost : 127.0.0.1\r\n folded\r\n\r\n"}},
        {"a blank inside the path", {"GET /c b" + query + " HTTP/1.1\r\n\r\n"}},
        {"bare line feeds and an unknown protocol", {"GET /cb" + query + " HTTP/9\n\n"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(t.home / "opened.txt");
        ASSERT_TRUE(bridge::deleteCredentials());
        t.app.remoteTimings.signInMs = 60000;
        t.send(cmd("buildLogin"));
        const std::string address = awaitOpened();
        const std::size_t portAt = address.find("port=") + 5;
        const int port = std::stoi(address.substr(portAt, address.find('&') - portAt));
        const std::string state = address.substr(address.find("state=") + 6);
        std::vector<std::string> pieces;
        for (const std::string& piece : c.pieces)
            pieces.push_back(replaced(piece, "@STATE", state));

        EXPECT_EQ(answerTo(port, pieces), signInAnswer(true));
        std::vector<json> seen = untilIdle();
        ASSERT_FALSE(notices(seen).empty());
        EXPECT_EQ(notices(seen).back(), (Notice{false, "Signed in as Test User."}));
        ASSERT_TRUE(exists(bridge::credentialsPath()));
        EXPECT_EQ(json::parse(readText(bridge::credentialsPath()))["steamId"], "7");
    }
}

}  // namespace

}  // namespace remote
