#pragma once
#include <optional>
#include <string>

#include "platform/files.h"

namespace bridge {

// Building large messages: one buffer sized ahead, and files read straight into it a block
// at a time, so no copy of a whole file is held beside the message.

// An empty message with room for about `expected` bytes and for what escaping claims ahead
// (kJsonEscapeReach), so text escaped into it never moves it. A large one is asked for in
// large pages.
std::string reservedMessage(std::size_t expected);

// The file open for reading, or nothing when it cannot be opened or is no regular file: a
// missing and an unreadable file look alike, as to readFileBytes.
std::optional<platform::ReadableFile> openDocument(const std::string& path);

// Appends the file's bytes from where it was left, escaped as jsonEscape escapes them.
void appendFileEscaped(std::string& out, platform::ReadableFile& file);

// Appends the file's bytes from where it was left, as they are.
void appendFileBytes(std::string& out, platform::ReadableFile& file);

}  // namespace bridge
