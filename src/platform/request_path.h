#pragma once
#include <optional>
#include <string>
#include <string_view>

// The first line of defence of both page hosts' folder mappings, apart from the file system so
// that it can be checked on its own (and fuzzed) wherever the rest cannot be built.
namespace platform {

// The relative path inside a folder that a request path ("/a/b.png", as sent) names, each
// "%XX" decoded once. Nothing when it could leave the folder or names no file: a path not
// starting with "/", an empty, "." or ".." segment, a broken escape, an escape standing for
// "/", "\", "." or NUL (browsers never encode these, so only a trick does), or a backslash or
// control character in any form.
std::optional<std::string> confinedRelativePath(std::string_view requestPath);

}  // namespace platform
