// What the host writes to the page: any bytes, made valid by fromUtf8 and escaped, form valid
// JSON that the field readers read back exactly; and every escaper kernel the processor has,
// and the escaping of the bytes in two pieces, give exactly the same bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "bridge/json_escape_kernels.h"
#include "bridge/json_read.h"
#include "bridge/json_write.h"
#include "bridge/text.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string text = bridge::fromUtf8(bytes);
    FUZZ_CHECK(bridge::fromUtf8(text) == text);
    FUZZ_CHECK(bridge::characterCount(text) <= bytes.size());

    const std::string escaped = bridge::jsonEscape(text);
    // jsonEscape also cleans what did not pass fromUtf8.
    FUZZ_CHECK(bridge::jsonEscape(bytes) == escaped);
    std::string message = "{\"cmd\":\"x\",\"v\":";
    bridge::appendJsonString(message, text);
    message += ",\"list\":[";
    bridge::appendJsonString(message, text);
    message += "]}";
    FUZZ_CHECK(message ==
               "{\"cmd\":\"x\",\"v\":\"" + escaped + "\",\"list\":[\"" + escaped + "\"]}");
    FUZZ_CHECK(bridge::isJsonText(message));
    FUZZ_CHECK(bridge::jsonString(message, "v") == text);
    FUZZ_CHECK(bridge::jsonStringArray(message, "list") == std::vector<std::string>{text});
    FUZZ_CHECK(bridge::jsonString(message, "cmd") == "x");

    const std::string whole = bridge::jsonEscape(bytes);
    for (const bridge::json_escape::NamedKernel& kernel : bridge::json_escape::available()) {
        std::string out(bridge::json_escape::room(bytes.size()), '\0');
        out.resize(static_cast<std::size_t>(kernel.escape(out.data(), bytes) - out.data()));
        FUZZ_CHECK(out == whole);
    }
    // Cut where the first byte says, as a file read a block at a time is cut.
    const std::size_t cut = size ? data[0] % (size + 1) : 0;
    std::string pieces;
    std::string left(bytes.substr(0, cut));
    left.erase(0, bridge::appendJsonEscapedPart(pieces, left));
    bridge::appendJsonEscaped(pieces, left + std::string(bytes.substr(cut)));
    FUZZ_CHECK(pieces == whole);
    return 0;
}
