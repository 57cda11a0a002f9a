// The field readers on any message: never a crash, and from valid UTF-8 only valid UTF-8.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "bridge/json_read.h"
#include "bridge/text.h"
#include "fuzz_check.h"

namespace {

bool isValidUtf8(std::string_view text) {
    return bridge::fromUtf8(text) == text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first byte says how long the key is; the rest is the message.
    if (size == 0) return 0;
    std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::size_t keyLength = std::min<std::size_t>(data[0] % 12, input.size());
    std::string_view key = input.substr(0, keyLength);
    // The dispatcher hands handlers valid UTF-8 only.
    const std::string text = bridge::fromUtf8(input.substr(keyLength));

    const std::string value = bridge::jsonString(text, key);
    FUZZ_CHECK(isValidUtf8(value));
    for (const std::string& item : bridge::jsonStringArray(text, key))
        FUZZ_CHECK(isValidUtf8(item));
    for (const std::string& item : bridge::jsonArrayStrings(text))
        FUZZ_CHECK(isValidUtf8(item));
    bridge::jsonBool(text, key);
    bridge::jsonNumber(text, key, 0);
    // Every reader finds the key under the same rule.
    if (!bridge::jsonHasKey(text, key)) {
        FUZZ_CHECK(value.empty() && !bridge::jsonBool(text, key));
        FUZZ_CHECK(bridge::jsonStringArray(text, key).empty());
    }
    return 0;
}
