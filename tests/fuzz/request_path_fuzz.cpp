// The folder confinement of served paths: whatever a request path says, what comes out names a
// place inside the folder, with no step up, no root and nothing Windows or a shell would read
// as a separator or a control.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "platform/request_path.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view path(reinterpret_cast<const char*>(data), size);
    std::optional<std::string> relative = platform::confinedRelativePath(path);
    if (!relative) return 0;
    FUZZ_CHECK(!relative->empty() && relative->front() != '/' && relative->back() != '/');
    for (unsigned char c : *relative)
        FUZZ_CHECK(c >= 0x20 && c != 0x7F && c != '\\');
    std::size_t start = 0;
    for (;;) {
        std::size_t end = relative->find('/', start);
        std::string_view segment = std::string_view(*relative).substr(
            start, end == std::string::npos ? std::string::npos : end - start);
        FUZZ_CHECK(!segment.empty() && segment != "." && segment != "..");
        if (end == std::string::npos) break;
        start = end + 1;
    }
    // A path that needs no decoding comes out as sent, less its leading slash.
    if (path.find('%') == std::string_view::npos) FUZZ_CHECK(*relative == path.substr(1));
    return 0;
}
