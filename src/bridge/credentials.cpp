#include "bridge/credentials.h"

#include "bridge/files.h"
#include "bridge/json_read.h"
#include "bridge/json_write.h"
#include "bridge/text.h"
#include "platform/paths.h"
#include "platform/private_file.h"

namespace bridge {

std::string credentialsPath() {
    return platform::appDataFolder() + "/build-auth.json";
}

BuildCredentials loadCredentials() {
    std::string text = fromUtf8(readFileBytes(credentialsPath()));
    return {jsonString(text, "token"), jsonString(text, "steamId"), jsonString(text, "name")};
}

platform::Result<> saveCredentials(const BuildCredentials& credentials) {
    std::string json = "{\"token\":";
    appendJsonString(json, credentials.token);
    json += ",\"steamId\":";
    appendJsonString(json, credentials.steamId);
    json += ",\"name\":";
    appendJsonString(json, credentials.name);
    json += '}';
    // appDataFolder creates the folder itself.
    return platform::replacePrivateFile(credentialsPath(), json);
}

platform::Result<> deleteCredentials() {
    return platform::removeFile(credentialsPath());
}

}  // namespace bridge
