#include "remote/remote_worker.h"

#include <string>
#include <thread>

#include "bridge/app.h"
#include "bridge/dispatcher.h"

std::function<void()> countedWork(App& app, std::string_view command, std::function<void()> work) {
    app.workers.enter();
    return [&app, name = std::string(command), work = std::move(work)] {
        runReportingFailures(app, name, work);
        app.workers.leave();
    };
}

void startRemoteWorker(App& app, std::string_view command, std::function<void()> work) {
    std::function<void()> counted = countedWork(app, command, std::move(work));
    try {
        std::thread(std::move(counted)).detach();
    } catch (...) {
        app.workers.leave();
        throw;
    }
}
