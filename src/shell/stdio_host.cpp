#include "shell/stdio_host.h"

#include <string>
#include <thread>

#include "bridge/dispatcher.h"

namespace {

// Messages are framed by line ends. Escaped strings never hold a raw line end; only the
// whitespace of an embedded document (skins.json) can, and outside strings a line end and a
// blank mean the same to JSON.
void writeLine(std::ostream& out, std::string message) {
    for (char& c : message) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    message += '\n';
    out.write(message.data(), static_cast<std::streamsize>(message.size()));
    out.flush();
}

}  // namespace

int runStdioHost(App& app, HeadlessWindow& window, std::istream& in, std::ostream& out) {
    // std::cin is tied to std::cout: every read would flush the output from this thread while
    // the writer fills it from its own, which loses and repeats messages. Only the writer may
    // touch the output.
    in.tie(nullptr);
    // Workers post from their own threads; one writer keeps the posting order on the output.
    std::thread writer([&] {
        while (auto message = app.outbox.waitNext())
            writeLine(out, std::move(*message));
    });
    std::string line;
    while (!window.closed() && std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        dispatchCommand(app, line);
    }
    // A script that ends its input after a long command still wants that command's answer;
    // winClose, like closing the window, does not wait.
    if (!window.closed()) app.studioJobs.waitIdle();
    app.outbox.close();
    writer.join();
    return 0;
}
