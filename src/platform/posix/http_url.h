#pragma once
#include <optional>
#include <string>

namespace platform {

// The URL as it will be requested: scheme (http or https), host, port, path and query, with
// any user name, password and fragment left out. Nothing when it cannot be split that way,
// or when the host is longer than 255 characters or the path or query longer than 2047.
std::optional<std::string> sendableUrl(const std::string& url);

}  // namespace platform
