#include "platform/unicode.h"

#include <windows.h>

namespace platform {

bool isLetterOrDigit(char32_t c) {
    if (c < 0x80) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    }
    // Windows classifies UTF-16 units, and the runtime's iswalnum judges a character beyond
    // the Basic Multilingual Plane by its surrogate halves, which are neither letters nor
    // digits. Names on Windows have always been held to that, so such a character is refused
    // here too, and a name that passes counts as many characters as UTF-16 units. Lone
    // surrogates are no characters at all.
    if (c > 0xFFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    const wchar_t unit = static_cast<wchar_t>(c);
    WORD type = 0;
    if (!::GetStringTypeW(CT_CTYPE1, &unit, 1, &type)) return false;
    return (type & (C1_ALPHA | C1_DIGIT)) != 0;
}

}  // namespace platform
