#pragma once
#include <span>
#include <string>

#include "bridge/app.h"

namespace remote {

// The remote build's commands and their rows of the command table. Each is defined
// beside what it works on.
namespace command {

// sign_in.cpp: sign in with Steam in the browser (worker thread), sign out.
void buildLogin(bridge::App& app, const std::string& message);
void buildLogout(bridge::App& app, const std::string& message);

// pack_worker.cpp: stage, pack and upload one species, then follow its job (worker thread).
void buildRemote(bridge::App& app, const std::string& message);

// job_commands.cpp: follow a stored job again, ask the service to cancel it.
void buildResume(bridge::App& app, const std::string& message);
void buildCancel(bridge::App& app, const std::string& message);

}  // namespace command

// This area's rows of the command table, beside the handlers' declarations so that a new
// command is its handler and two lines here; the shell joins every area's rows.
inline std::span<const bridge::Command> remoteCommands() {
    static constexpr bridge::Command rows[] = {
        {"buildLogin", command::buildLogin},   {"buildLogout", command::buildLogout},
        {"buildRemote", command::buildRemote}, {"buildResume", command::buildResume},
        {"buildCancel", command::buildCancel},
    };
    return rows;
}

}  // namespace remote
