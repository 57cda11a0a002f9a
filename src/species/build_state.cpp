#include "species/build_state.h"

#include "bridge/app.h"
#include "bridge/build_service.h"
#include "bridge/credentials.h"
#include "bridge/json_write.h"

void appendBuildState(std::string& out, const App& app) {
    const BuildCredentials stored = loadCredentials();
    out += "{\"api\":";
    appendJsonString(out, buildServiceBaseUrl());
    out += ",\"signedIn\":";
    out += stored.signedIn() ? "true" : "false";
    out += ",\"name\":";
    appendJsonString(out, stored.name);
    out += ",\"steamId\":";
    appendJsonString(out, stored.steamId);
    out += ",\"signingIn\":";
    out += app.signInActive.load() ? "true" : "false";
    out += '}';
}
