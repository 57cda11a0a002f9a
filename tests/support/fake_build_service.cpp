#include "support/fake_build_service.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

int FakeBuildService::port() const {
    return std::stoi(url_.substr(url_.rfind(':') + 1));
}

nlohmann::json FakeBuildService::control(const std::string& method, const std::string& path,
                                         const std::string& body) const {
    auto [status, answer] = fakeServiceExchange(port(), method, path, body);
    if (status != 200) {
        throw std::runtime_error("fake build service control " + path + " failed: " + answer);
    }
    return nlohmann::json::parse(answer);
}

void FakeBuildService::script(const nlohmann::json& script) {
    control("POST", "/_fake/script", scriptForService(script).dump());
}

nlohmann::json FakeBuildService::requests() const {
    return control("GET", "/_fake/requests");
}

nlohmann::json FakeBuildService::state() const {
    return control("GET", "/_fake/state");
}

std::string headerOf(const nlohmann::json& request, const std::string& name) {
    auto sameLetters = [](const std::string& a, const std::string& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
            return std::tolower(static_cast<unsigned char>(x)) ==
                   std::tolower(static_cast<unsigned char>(y));
        });
    };
    for (const nlohmann::json& header : request.at("headers")) {
        if (sameLetters(header[0].get<std::string>(), name)) return header[1];
    }
    return {};
}
