#include <windows.h>

#include <fstream>
#include <stdexcept>

#include "platform/http.h"
#include "platform/win32/wide.h"
#include "support/fake_build_service.h"

namespace {

// Wine's own mapping of a Windows path to the Linux one (its drives are Linux folders).
std::string linuxPath(const std::string& path) {
    using Convert = char*(CDECL*)(LPCWSTR);
    static const auto convert = reinterpret_cast<Convert>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (convert == nullptr) return path;
    char* mapped = convert(platform::win32::toWide(path).c_str());
    if (mapped == nullptr) return path;
    std::string result = mapped;
    HeapFree(GetProcessHeap(), 0, mapped);
    return result;
}

void mapPaths(nlohmann::json& value) {
    if (value.is_array()) {
        for (nlohmann::json& item : value)
            mapPaths(item);
    } else if (value.is_object()) {
        for (auto& [key, item] : value.items()) {
            if ((key == "expectArchive" || key == "result") && item.is_string()) {
                item = linuxPath(item.get<std::string>());
            } else {
                mapPaths(item);
            }
        }
    }
}

// The pool is a Linux program on loopback that CTest starts before the Windows tests (see
// tests/fakes/build_service_pool); its address is in the file it wrote.
int poolPort() {
    std::ifstream in(FORGESET_FAKE_BUILD_SERVICE_POOL_FILE);
    std::string url;
    std::getline(in, url);
    if (!url.starts_with("http://127.0.0.1:")) {
        throw std::runtime_error(
            "the fake build service pool is not running: no address "
            "in " FORGESET_FAKE_BUILD_SERVICE_POOL_FILE " (ctest starts it as a fixture)");
    }
    return std::stoi(url.substr(url.rfind(':') + 1));
}

}  // namespace

class FakeBuildService::Instance {
  public:
    Instance() : pool_(poolPort()) {
        auto [status, url] = fakeServiceExchange(pool_, "POST", "/start", {});
        if (status != 200) throw std::runtime_error("the fake build service did not start: " + url);
        url_ = url;
    }
    ~Instance() {
        try {
            fakeServiceExchange(pool_, "POST", "/end/" + url_.substr(url_.rfind(':') + 1), {});
        } catch (const std::exception&) {
            // The pool ends its fakes when it ends itself.
        }
    }
    const std::string& url() const { return url_; }

  private:
    int pool_;
    std::string url_;
};

FakeBuildService::FakeBuildService(const nlohmann::json& script)
    : instance_(std::make_unique<Instance>()), url_(instance_->url()) {
    if (!url_.starts_with("http://127.0.0.1:")) {
        throw std::runtime_error("the fake build service did not start: " + url_);
    }
    env_ = std::make_unique<ScopedEnv>("VARRAFORGESET_BUILD_URL", url_);
    this->script(script);
}

FakeBuildService::~FakeBuildService() = default;

nlohmann::json scriptForService(const nlohmann::json& script) {
    nlohmann::json mapped = script;
    mapPaths(mapped);
    return mapped;
}

std::pair<int, std::string> fakeServiceExchange(int port, const std::string& method,
                                                const std::string& path, const std::string& body) {
    platform::HttpRequest request;
    request.method = method;
    request.url = "http://127.0.0.1:" + std::to_string(port) + path;
    if (method == "POST") request.headers = "Content-Type: application/json\r\n";
    request.body = body;
    // The record of every request can run to megabytes in the upload tests.
    request.bodyCap = std::size_t{256} << 20;
    request.timeouts.receiveMs = 20000;
    auto reply = platform::httpExchange(request);
    if (!reply) {
        throw std::runtime_error("fake build service " + path + " did not answer (failure " +
                                 std::to_string(static_cast<int>(reply.error())) + ")");
    }
    return {static_cast<int>(reply->status), reply->body};
}
