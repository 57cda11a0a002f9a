#pragma once
#include <string>
#include <string_view>

namespace remote {

// Reading the one request with which the browser brings a sign-in back to the tool.

// The query of an HTTP request: the text strictly between the first "?" and the last blank
// of the request line (the text up to the first CR LF). Empty when either is missing or the
// blank comes first. The path is not looked at: the service chooses it.
std::string_view requestQuery(std::string_view request);

// The URL-decoded value of the first key=value pair of `query` whose key equals `key` byte
// for byte, as valid UTF-8; empty when there is none. "+" is a blank; "%" with at least two
// more characters takes them as a hex number read as strtol would (a non-digit ends it, no
// digit gives 0); any other byte is kept.
std::string queryParam(std::string_view query, std::string_view key);

}  // namespace remote
