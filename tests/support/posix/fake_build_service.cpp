#include <httplib.h>

#include <chrono>
#include <stdexcept>

#include "support/fake_build_service.h"

class FakeBuildService::Instance {
  public:
    explicit Instance(const ChildProcess::Options& options) : child(options) {}
    ChildProcess child;
};

FakeBuildService::FakeBuildService(const nlohmann::json& script) {
    ChildProcess::Options options(FORGESET_FAKE_BUILD_SERVICE_PATH, {});
    options.in = ChildProcess::Stream::Null;
    options.err = ChildProcess::Stream::Null;
    instance_ = std::make_unique<Instance>(options);
    url_ = instance_->child.firstLine(std::chrono::seconds(20));
    if (!url_.starts_with("http://127.0.0.1:")) {
        throw std::runtime_error("the fake build service did not start: " + url_);
    }
    env_ = std::make_unique<ScopedEnv>("VARRAFORGESET_BUILD_URL", url_);
    this->script(script);
}

FakeBuildService::~FakeBuildService() = default;

nlohmann::json scriptForService(const nlohmann::json& script) {
    return script;
}

std::pair<int, std::string> fakeServiceExchange(int port, const std::string& method,
                                                const std::string& path, const std::string& body) {
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(20, 0);
    httplib::Result result = method == "GET" ? client.Get(path.c_str())
                                             : client.Post(path.c_str(), body, "application/json");
    if (!result) {
        throw std::runtime_error("fake build service " + path +
                                 " did not answer: " + httplib::to_string(result.error()));
    }
    return {result->status, result->body};
}
