#pragma once
#include <optional>
#include <string>
#include <string_view>

// The browser host serves two folders (the extracted assets and the server's species
// folder). Nothing a request says may lead it to a file outside them.

// The path below a folder's URL prefix, as sent, made into a relative file path. Each
// "%XX" is decoded once. Refused (nothing returned): a malformed escape; an escape that
// stands for '/', '\\', '.' or NUL (browsers never encode these, so only a trick does); a
// backslash or control character in any form; an empty segment (leading, doubled or
// trailing '/'); a "." or ".." segment.
std::optional<std::string> folderRelativePath(std::string_view rawTail);

// The file `relative` names inside `folder`, with every symbolic link resolved, when it is a
// regular file that still lies inside the folder (itself resolved). A link that leads out of
// the folder, a folder, and a missing file give nothing. Links that stay inside are served.
std::optional<std::string> fileInsideFolder(const std::string& folder, const std::string& relative);

// Content-Type of a folder file by its ending (letter case ignored).
std::string_view folderMimeType(std::string_view path);
