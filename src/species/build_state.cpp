#include "species/build_state.h"

#include "bridge/app.h"
#include "bridge/build_service.h"
#include "bridge/credentials.h"
#include "bridge/json_write.h"

namespace species {

void appendBuildState(std::string& out, const bridge::App& app) {
    const bridge::BuildCredentials stored = bridge::loadCredentials();
    out += "{\"api\":";
    bridge::appendJsonString(out, bridge::buildServiceBaseUrl());
    out += ",\"signedIn\":";
    out += stored.signedIn() ? "true" : "false";
    out += ",\"name\":";
    bridge::appendJsonString(out, stored.name);
    out += ",\"steamId\":";
    bridge::appendJsonString(out, stored.steamId);
    out += ",\"signingIn\":";
    out += app.signInActive.load() ? "true" : "false";
    out += '}';
}

}  // namespace species
