#pragma once
#include <string>
#include <string_view>

namespace remote {

// The two pages the loopback listener answers the browser with, and the whole HTTP answer
// around one of them.
inline constexpr std::string_view kSignedInPage =
    "<!doctype html><meta charset=utf-8><title>Varra Forgeset</title><body "
    "style=\"font:16px system-ui;background:#0b0c0f;color:#eceef2;padding:40px\">Signed in. "
    "You can close this tab and go back to the Server Tool.</body>";
inline constexpr std::string_view kInvalidLinkPage =
    "<!doctype html><meta charset=utf-8><title>Varra Forgeset</title><body "
    "style=\"font:16px system-ui;background:#0b0c0f;color:#eceef2;padding:40px\">This sign in "
    "link is not valid. Start it again from the Server Tool.</body>";

std::string signInAnswer(bool accepted);

// Equal length and equal bytes, in a time that does not depend on where they differ, so the
// state cannot be guessed byte by byte from the listener's answer times.
bool sameSecret(std::string_view a, std::string_view b);

}  // namespace remote
