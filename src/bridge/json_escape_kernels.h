#pragma once
#include <cstddef>
#include <string_view>
#include <vector>

namespace bridge {

// The escaper's inner loops. Each writes the escaped form of a whole text at `out`, which has
// room for jsonEscapeRoom(text.size()) bytes, and returns the end of what it wrote; bytes
// past that end may have been written over. jsonEscape picks the fastest one the processor
// can run; they differ only in speed, which is why the tests hold each against the others.
namespace json_escape {

// Room a kernel may write into for a text of `size` bytes: a control byte grows to six, and
// whole stores of up to sixty-four bytes may reach past the last byte escaped.
constexpr std::size_t room(std::size_t size) {
    return size * 6 + 64;
}

using Kernel = char* (*)(char* out, std::string_view text);

struct NamedKernel {
    const char* name;
    Kernel escape;
};

// The kernel jsonEscape uses on this processor.
Kernel fastest();

// Every kernel this processor can run, the portable one first.
std::vector<NamedKernel> available();

}  // namespace json_escape

}  // namespace bridge
