#include "bridge/messages.h"

#include "bridge/app.h"
#include "bridge/json_write.h"

namespace bridge {

void postToUi(App& app, std::string json) {
    app.outbox.post(std::move(json));
}

void sendNotice(App& app, std::string_view text, bool isError) {
    std::string json = R"({"type":"notice","error":)";
    json += isError ? "true" : "false";
    json += R"(,"text":)";
    appendJsonString(json, text);
    json += '}';
    postToUi(app, std::move(json));
}

namespace {

void postForRoot(App& app, const std::string& root, std::string json) {
    app.serverRoot.whileCurrent(root, [&] { postToUi(app, std::move(json)); });
}

}  // namespace

void sendSpeciesLog(App& app, const std::string& root, std::string_view name,
                    std::string_view line) {
    std::string json = R"({"type":"speciesLog","name":)";
    appendJsonString(json, name);
    json += R"(,"line":)";
    appendJsonString(json, line);
    json += '}';
    postForRoot(app, root, std::move(json));
}

void sendSpeciesRemote(App& app, const std::string& root, std::string_view name,
                       std::string_view state, std::string_view detail) {
    std::string json = R"({"type":"speciesRemote","name":)";
    appendJsonString(json, name);
    json += R"(,"state":)";
    appendJsonString(json, state);
    json += R"(,"detail":)";
    appendJsonString(json, detail);
    json += '}';
    postForRoot(app, root, std::move(json));
}

}  // namespace bridge
