#pragma once
#include <string>
#include <string_view>

// UTF-16 exists only at the Windows API boundary; everything above it is UTF-8.
namespace platform::win32 {

// UTF-8 to UTF-16. Invalid UTF-8 never fails: each bad sequence becomes U+FFFD.
std::wstring toWide(std::string_view utf8);

// UTF-16 to UTF-8. A lone surrogate (a file name may hold one) becomes U+FFFD, so the
// result is always valid UTF-8.
std::string fromWide(std::wstring_view utf16);

// A path in the form the file API takes. One too long for the classic 260-character limit
// is made absolute and given the \\?\ prefix, which lifts the limit; that prefix also turns
// off the API's own tidying of the path (either slash as separator, "." and ".."), so the
// tidying is done here first, exactly as the API would have done it.
std::wstring widePath(std::string_view path);

// "C:\..." or "\\server\share\..." (either slash): a path that does not depend on the current
// folder or drive.
bool isAbsolutePath(std::wstring_view path);

}  // namespace platform::win32
