#include "platform/unicode.h"

#include <locale.h>
#include <wctype.h>

namespace platform {

bool isLetterOrDigit(char32_t c) {
    // A private UTF-8 locale: the process locale stays "C" so number formatting is unaffected.
    static const locale_t utf8 = [] {
        locale_t l = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
        return l ? l : ::newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
    }();
    if (c < 0x80) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    }
    return ::iswalnum_l(static_cast<wint_t>(c), utf8) != 0;
}

}  // namespace platform
