#include "remote/sign_in.h"

#include <chrono>
#include <optional>

#include "bridge/app.h"
#include "bridge/build_service.h"
#include "bridge/credentials.h"
#include "bridge/diagnostics.h"
#include "bridge/json_read.h"
#include "bridge/messages.h"
#include "bridge/random_token.h"
#include "bridge/text.h"
#include "platform/http_message.h"
#include "platform/loopback_listener.h"
#include "remote/commands.h"
#include "remote/query_param.h"
#include "remote/remote_worker.h"
#include "species/species_message.h"

namespace remote {

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kNotFinished = "Sign in did not finish.";
constexpr const char* kMismatch = "The sign in answer did not match. Try again.";
constexpr const char* kNoPort = "Could not open a local port for the sign in.";

// The request line is all the sign-in reads; a head longer than this is cut here, and what
// its first bytes say is the answer.
constexpr std::size_t kRequestBytes = 8191;
// How long an accepted connection may take to send its request's head. Browsers open spare
// connections that send nothing; one of them must not keep the real answer waiting.
constexpr std::uint32_t kReceiveMs = 2000;

// The sign-in worker's own copies, taken on the dispatching thread.
struct SignInJob {
    platform::HttpTimeouts timeouts;
    std::uint32_t limitMs = 0;
};

// What the browser brought back: a token (empty until one is accepted), the Steam id, and
// the words for the user should none be accepted.
struct Callback {
    std::string token;
    std::string steamId;
    std::string pending = kNotFinished;
};

std::uint32_t millisecondsLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<std::uint32_t>(left.count()) : 0;
}

// Answers one connection; true when it carried the sign-in. The head is read as the browser
// host reads heads, but not parsed as strictly: the answer is whatever the request line's
// query says, whether or not the rest is well-formed HTTP.
bool answerOne(platform::LoopbackConnection& connection, const std::string& state,
               Callback& callback, Clock::time_point deadline) {
    std::string request =
        connection.receiveHead(kRequestBytes, std::min(kReceiveMs, millisecondsLeft(deadline)));
    std::string_view query = requestQuery(request);
    std::string token = queryParam(query, "token");
    bool accepted = !token.empty() && sameSecret(queryParam(query, "state"), state);
    connection.sendAll(signInAnswer(accepted));
    if (accepted) {
        callback.token = std::move(token);
        callback.steamId = queryParam(query, "steamId");
    } else if (!token.empty()) {
        callback.pending = kMismatch;
    }
    return accepted;
}

void awaitCallback(platform::LoopbackListener& listener, const std::string& state,
                   std::uint32_t limitMs, Callback& callback) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(limitMs);
    while (Clock::now() < deadline) {
        std::optional<platform::LoopbackConnection> connection =
            listener.accept(std::min<std::uint32_t>(1000, millisecondsLeft(deadline)));
        if (connection && answerOne(*connection, state, callback, deadline)) return;
    }
}

// Asks the service whose token it is and keeps the sign-in.
void finishSignIn(bridge::App& app, const SignInJob& job, const Callback& callback) {
    bridge::BuildServiceResponse me = bridge::buildServiceRequest(
        job.timeouts, "GET", "/api/me", bridge::bearerHeader(callback.token), {}, {}, {});
    if (me.status != 200 || !me.error.empty()) {
        bridge::sendNotice(app, "Sign in failed: " + bridge::describeFailure(me), true);
        return;
    }
    const std::string answer = bridge::fromUtf8(me.body);
    bridge::BuildCredentials credentials{callback.token, callback.steamId,
                                         bridge::jsonString(answer, "name")};
    if (credentials.steamId.empty()) credentials.steamId = bridge::jsonString(answer, "steamId");
    // Every later request reads the sign-in from its file: one that could not be stored is no
    // sign-in, and saying "Signed in" would be contradicted by the next species message.
    if (platform::Result<> stored = bridge::saveCredentials(credentials); !stored) {
        bridge::sendFailureNotice(app, "Sign in failed: it could not be stored in build-auth.json.",
                                  stored.error());
        return;
    }
    const std::string& shown = credentials.name.empty() ? credentials.steamId : credentials.name;
    bridge::sendNotice(app, "Signed in as " + shown + ".", false);
}

void signInWorker(bridge::App& app, const SignInJob& job) {
    Callback callback;
    {
        platform::Result<platform::LoopbackListener> listener = platform::LoopbackListener::open();
        if (listener) {
            const std::string state = bridge::randomHex(16);
            app.openExternal(bridge::buildServiceBaseUrl() + "/auth/steam?port=" +
                             std::to_string(listener->port()) + "&state=" + state);
            bridge::sendNotice(app, "Sign in with Steam in your browser.", false);
            awaitCallback(*listener, state, job.limitMs, callback);
        } else {
            callback.pending = kNoPort;
        }
    }
    if (callback.token.empty()) {
        bridge::sendNotice(app, callback.pending, true);
    } else {
        finishSignIn(app, job, callback);
    }
}

// The flag is cleared and the page told on every path: by the worker when it ends, an
// unexpected failure too, and by the command when the worker cannot be started, since nobody
// else would and every later sign-in would be ignored.
void endSignIn(bridge::App& app) {
    app.signInActive.store(false);
    species::sendSpeciesMessage(app);
}

}  // namespace

std::string signInAnswer(bool accepted) {
    std::string_view page = accepted ? kSignedInPage : kInvalidLinkPage;
    std::string answer = platform::statusLine(accepted ? 200 : 400);
    answer += "Content-Type: text/html; charset=utf-8\r\nConnection: close\r\nContent-Length: ";
    answer += std::to_string(page.size());
    answer += "\r\n\r\n";
    answer += page;
    return answer;
}

bool sameSecret(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

namespace command {

void buildLogin(bridge::App& app, const std::string&) {
    if (app.signInActive.exchange(true)) return;
    species::sendSpeciesMessage(app);
    SignInJob job{app.buildServiceTimeouts, app.remoteTimings.signInMs};
    try {
        startRemoteWorker(app, "buildLogin", [&app, job = std::move(job)] {
            struct Finish {
                bridge::App& app;
                ~Finish() { endSignIn(app); }
            } finish{app};
            signInWorker(app, job);
        });
    } catch (...) {
        endSignIn(app);
        throw;
    }
}

void buildLogout(bridge::App& app, const std::string&) {
    // A sign-in still stored is still used by every request, so only a deleted one is a
    // sign-out.
    if (platform::Result<> forgotten = bridge::deleteCredentials(); !forgotten) {
        bridge::sendFailureNotice(app, "Could not sign out: build-auth.json could not be deleted.",
                                  forgotten.error());
    } else {
        bridge::sendNotice(app, "Signed out of the build service.", false);
    }
    species::sendSpeciesMessage(app);
}

}  // namespace command

}  // namespace remote
