#pragma once
#include <string>

#include "platform/result.h"

namespace bridge {

// The sign-in record of the build service, kept in build-auth.json in the app data folder
// so the user stays signed in across runs. It is read afresh by every user: signing out in
// one place is seen everywhere at once, and nothing holds the token longer than a request.
struct BuildCredentials {
    std::string token;
    std::string steamId;
    std::string name;

    bool signedIn() const { return !token.empty(); }
};

// appDataFolder + "/build-auth.json".
std::string credentialsPath();

// The stored record; a missing file or key gives empty strings.
BuildCredentials loadCredentials();

// Writes the record as one line of JSON, replacing the file in one step and readable by its
// owner only (the token is a secret on a shared machine).
platform::Result<> saveCredentials(const BuildCredentials& credentials);

// Signs the user out; a missing file is no failure.
platform::Result<> deleteCredentials();

}  // namespace bridge
