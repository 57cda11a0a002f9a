#include "shell/stdio_host.h"

#include <iostream>
#include <string>

#include "bridge/dispatcher.h"
#include "platform/window.h"
#include "shell/host_session.h"

namespace {

// The Window of the headless host: closing ends the host, the rest means nothing without a
// window. A changed server folder needs no reload: the script sends init again.
class HeadlessWindow : public platform::Window {
  public:
    void minimize() override {}
    void toggleMaximize() override {}
    void close() override { closed_ = true; }
    void startMove() override {}
    void reloadForNewRoot() override {}
    bool closed() const { return closed_; }

  private:
    bool closed_ = false;
};

// Messages are framed by line ends. Escaped strings never hold a raw line end; only the
// whitespace of an embedded document (skins.json) can, and outside strings a line end and a
// blank mean the same to JSON.
void writeLine(std::ostream& out, std::string message) {
    for (char& c : message) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    // The line end goes on its own: appending it could copy a message of many megabytes.
    out.write(message.data(), static_cast<std::streamsize>(message.size()));
    out.put('\n');
    out.flush();
}

}  // namespace

void runStdioHost(const Options& options) {
    HostSession::exitOnTerminateSignals();
    HostSession session(options);
    HeadlessWindow window;
    bridge::App& app = session.start(window);
    // std::cin and std::cerr are tied to std::cout: every read or diagnostic line would flush
    // the output from this thread while the writer fills it from its own, which loses and
    // repeats messages. Only the writer may touch the output.
    std::cin.tie(nullptr);
    std::cerr.tie(nullptr);
    session.deliverOnThread([](std::string message) { writeLine(std::cout, std::move(message)); });
    std::string line;
    while (!window.closed() && std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        bridge::dispatchCommand(app, line);
    }
    // A script that ends its input after a long command still wants that command's answer:
    // an extraction's, an import's, a build's, a remote build's to the end of its job.
    // winClose, like closing the window, does not wait.
    if (!window.closed()) {
        app.studioJobs.waitIdle();
        app.workers.waitIdle();
    }
    session.finishDelivery();
    session.exit(0);
}
