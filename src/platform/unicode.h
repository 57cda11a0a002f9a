#pragma once

namespace platform {

// True for a letter or digit of any script, as the C library's Unicode classification
// (iswalnum in a UTF-8 locale) judges it. Name rules build on this.
bool isLetterOrDigit(char32_t c);

}  // namespace platform
