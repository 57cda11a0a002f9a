#include "shell/host_session.h"

#include <cstdlib>
#include <iostream>

#include "bridge/diagnostics.h"
#include "bridge/files.h"
#include "platform/process.h"
#include "server/root.h"
#include "shell/commands.h"
#include "studio/asset_helper.h"

namespace {

std::optional<platform::ScriptedDialogs> readDialogAnswers(const Options& options) {
    if (!options.dialogs) return std::nullopt;
    platform::Result<platform::ScriptedDialogs> scripted =
        platform::ScriptedDialogs::fromFile(*options.dialogs);
    if (!scripted) {
        std::cerr << "forgeset-server-tool: cannot read dialog answers from " << *options.dialogs
                  << "\n";
        std::exit(2);
    }
    return std::move(*scripted);
}

}  // namespace

HostSession::HostSession(const Options& options)
    : root_(options.root), scripted_(readDialogAnswers(options)) {}

HostSession::~HostSession() {
    // Only reached when a host returns without exit(); the thread must not outlive its outbox.
    if (delivery_.joinable()) finishDelivery();
}

bridge::App& HostSession::start(platform::Window& window, platform::Dialogs* native) {
    platform::Dialogs& dialogs = scripted_ ? *scripted_ : native ? *native : none_;
    bridge::App& app = app_.emplace(outbox_, dialogs, window, commandTable());
    // Where the studio keeps what it extracts; the studio reports it when it cannot write.
    if (platform::Result<> made = bridge::makeDirs(studio::assetsFolder()); !made)
        bridge::reportFailure("Could not make " + studio::assetsFolder(), made.error());
    server::loadServerRoot(app);
    if (root_) server::chooseServerRoot(app, *root_);
    return app;
}

void HostSession::deliverOnThread(std::function<void(std::string)> deliver) {
    delivery_ = std::thread([this, deliver = std::move(deliver)] {
        while (auto message = outbox_.waitNext())
            deliver(std::move(*message));
    });
}

void HostSession::finishDelivery() {
    outbox_.close();
    if (delivery_.joinable()) delivery_.join();
}

void HostSession::exit(int code) {
    platform::endRunningChildren();
    outbox_.close();
    std::cout.flush();
    std::cerr.flush();
    std::_Exit(code);
}
