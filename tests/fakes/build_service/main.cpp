// fake-build-service: a stand-in for the remote build service, for tests and for trying the
// tool by hand. It listens on 127.0.0.1 and prints its base URL as the first line of
// standard output, then serves until it is ended:
//
//   build/fakes/fake-build-service [--port N] [--script FILE]
//   VARRAFORGESET_BUILD_URL=http://127.0.0.1:N build/forgeset-server-tool
//
// --port 0 (the default) takes a free port from the system. Every endpoint the tool uses is
// served with a real service's checks (bearer token, content types, part sizes, the
// reassembled upload), and a script (a JSON object, from --script or POSTed to
// /_fake/script) changes the behaviour per call. The control endpoints are never recorded:
//
//   POST /_fake/script    load a script: settings and rules replace the old ones, the rules'
//                         attempt counts start again, listed jobs are added
//   GET  /_fake/requests  every request so far, in order: method, target, path, query,
//                         headers as [name, value] pairs in the order sent, bodySize and the
//                         body's first 64 KiB
//   GET  /_fake/state     uploads (parts received, complete, matchesArchive) and jobs
//   POST /_fake/reset     forget script, uploads, jobs and requests
//
// Script keys (all optional):
//   user          {"token", "name", "steamId"}: the signed-in user; requests must carry
//                 "Authorization: Bearer <token>" (default token "test-token")
//   requireToken  false lets requests without the right bearer through
//   signIn        {"token", "state", "path"}: overrides for the sign-in redirect
//   partSize      granted by POST /api/uploads (default 8 MiB)
//   uploadIds, jobIds   ids handed out in turn (then up-N, job-N)
//   expectArchive path of a file that the reassembled upload must equal on complete
//   keepParts     false: parts are counted, not kept (for benchmarks of large uploads)
//   job           plan of each new job: {"stages": [{"state", "position", "polls", "log",
//                 "error", "flood": {"lines", "bytes"}}], "omit": [".ucas"],
//                 "files": {name: content}, "result": path of a file served as the result
//                 instead}; a stage lasts "polls" status requests (default 1), the last
//                 one for ever; "{species}" in a log line becomes the species name; "flood"
//                 adds that many lines of that many letters x
//   jobs          jobs that exist from now on: job plans with "id" and "species"
//   rules         tried in order before the built-in behaviour, each
//                 {"method", "path" ("*" matches within one segment), "skip", "count",
//                  "delayMs", "status", "body" or "json", "headers", "action", "bytes"}:
//                 a rule lets `skip` matching requests pass, then answers `count` of them
//                 (default all); with only delayMs it delays the built-in answer; actions
//                 are hang, close, cut, stall, statusOnly, garbage and flood (see wire.h)
//
// Endpoints: GET /auth/steam?port=&state= redirects (302) to
// http://127.0.0.1:<port>/callback?token=&state=&steamId=, as the real sign-in page sends
// the browser back; GET /api/me; POST /api/uploads; PUT /api/uploads/<id>/parts/<i>;
// POST /api/uploads/<id>/complete (creates the job); GET /api/jobs/<id> (one poll);
// GET /api/jobs/<id>/log?from=n; GET /api/jobs/<id>/result (a zip with
// species_<name>.pak/.utoc/.ucas and build.log, once done); POST /api/jobs/<id>/cancel.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

#include "service.h"
#include "wire.h"

namespace {

// Upload parts are kept whole (up to a size no test needs more of); any other body only as
// far as the record shows it, so a benchmark upload of hundreds of megabytes to a scripted
// path is counted, not held in the fake's memory.
std::uint64_t keepLimit(const WireRequest& request) {
    bool part = request.path.starts_with("/api/uploads/") &&
                request.path.find("/parts/") != std::string::npos;
    bool upload = request.path == "/api/uploads" || request.path == "/_fake/script";
    return part ? 256ull << 20 : upload ? 1 << 20 : 64 << 10;
}

WireAnswer control(Service& service, const WireRequest& request) {
    auto jsonAnswer = [](const nlohmann::json& body) {
        return WireAnswer{200,
                          "application/json",
                          {},
                          body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)};
    };
    if (request.method == "GET" && request.path == "/_fake/requests") {
        return jsonAnswer(service.requests());
    }
    if (request.method == "GET" && request.path == "/_fake/state")
        return jsonAnswer(service.state());
    if (request.method == "POST" && request.path == "/_fake/reset") {
        service.reset();
        return jsonAnswer(nlohmann::json::object());
    }
    if (request.method == "POST" && request.path == "/_fake/script") {
        try {
            service.load(nlohmann::json::parse(request.body));
        } catch (const nlohmann::json::exception& e) {
            return {400, "application/json", {}, nlohmann::json{{"error", e.what()}}.dump()};
        }
        return jsonAnswer(nlohmann::json::object());
    }
    return {404, "application/json", {}, R"({"error":"No such control endpoint."})"};
}

void serve(Service& service, int fd) {
    WireRequest request;
    if (readRequest(fd, request, keepLimit)) {
        if (request.path.starts_with("/_fake/")) {
            sendAnswer(fd, control(service, request));
        } else {
            Plan plan = service.handle(request);
            if (plan.delayMs) std::this_thread::sleep_for(std::chrono::milliseconds(plan.delayMs));
            if (plan.action.empty()) {
                sendAnswer(fd, plan.answer);
            } else if (!sendBroken(fd, plan.action, plan.answer.status, plan.bytes)) {
                sendAnswer(fd, {500, "application/json", {}, R"({"error":"Unknown action."})"});
            }
        }
    }
    ::shutdown(fd, SHUT_WR);
    ::close(fd);
}

int listenOn(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 64) != 0) {
        std::perror("fake-build-service: listen");
        std::exit(1);
    }
    return fd;
}

int boundPort(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

}  // namespace

int main(int argc, char** argv) {
    ::signal(SIGPIPE, SIG_IGN);
    int port = 0;
    Service service;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string option = argv[i];
        if (option == "--port") {
            port = std::atoi(argv[i + 1]);
        } else if (option == "--script") {
            std::ifstream in(argv[i + 1]);
            service.load(nlohmann::json::parse(in));
        } else {
            std::cerr << "usage: fake-build-service [--port N] [--script FILE]\n";
            return 2;
        }
    }
    int listener = listenOn(port);
    std::cout << "http://127.0.0.1:" << boundPort(listener) << std::endl;
    for (;;) {
        int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        std::thread([&service, fd] { serve(service, fd); }).detach();
    }
}
