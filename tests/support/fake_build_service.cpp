#include "support/fake_build_service.h"

#include <httplib.h>
#include <strings.h>

#include <chrono>
#include <stdexcept>

FakeBuildService::FakeBuildService(const nlohmann::json& script) {
    ChildProcess::Options options(FORGESET_FAKE_BUILD_SERVICE_PATH, {});
    options.in = ChildProcess::Stream::Null;
    options.err = ChildProcess::Stream::Null;
    child_ = std::make_unique<ChildProcess>(options);
    url_ = child_->firstLine(std::chrono::seconds(20));
    if (!url_.starts_with("http://127.0.0.1:")) {
        throw std::runtime_error("the fake build service did not start: " + url_);
    }
    env_ = std::make_unique<ScopedEnv>("VARRAFORGESET_BUILD_URL", url_);
    this->script(script);
}

int FakeBuildService::port() const {
    return std::stoi(url_.substr(url_.rfind(':') + 1));
}

nlohmann::json FakeBuildService::control(const std::string& method, const std::string& path,
                                         const std::string& body) const {
    httplib::Client client("127.0.0.1", port());
    client.set_read_timeout(20, 0);
    httplib::Result result = method == "GET" ? client.Get(path.c_str())
                                             : client.Post(path.c_str(), body, "application/json");
    if (!result || result->status != 200) {
        throw std::runtime_error("fake build service control " + path + " failed: " +
                                 (result ? result->body : httplib::to_string(result.error())));
    }
    return nlohmann::json::parse(result->body);
}

void FakeBuildService::script(const nlohmann::json& script) {
    control("POST", "/_fake/script", script.dump());
}

nlohmann::json FakeBuildService::requests() const {
    return control("GET", "/_fake/requests");
}

nlohmann::json FakeBuildService::state() const {
    return control("GET", "/_fake/state");
}

std::string headerOf(const nlohmann::json& request, const std::string& name) {
    for (const nlohmann::json& header : request.at("headers")) {
        if (strcasecmp(header[0].get<std::string>().c_str(), name.c_str()) == 0) return header[1];
    }
    return {};
}
