#pragma once
// What every escaper kernel shares: the escapes, the check of a character, and the walk that
// escapes a chunk one byte that needs a look at a time. Only the kernels include this.
#include <array>
#include <cstddef>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "bridge/text.h"
#include "bridge/utf8_length.h"

namespace bridge {

namespace json_escape {

// What each byte below 0x20, the quote and the backslash become; every other byte of the
// table is unused. Two- and six-byte forms, padded to eight so each is one fixed copy.
struct Escape {
    char text[8];
    unsigned char length;
};

constexpr std::array<Escape, 128> makeEscapes() {
    std::array<Escape, 128> table{};
    constexpr char hex[] = "0123456789abcdef";
    for (int c = 0; c < 0x20; ++c)
        table[c] = {{'\\', 'u', '0', '0', hex[c >> 4], hex[c & 15]}, 6};
    table['\t'] = {{'\\', 't'}, 2};
    table['\n'] = {{'\\', 'n'}, 2};
    table['\r'] = {{'\\', 'r'}, 2};
    table['"'] = {{'\\', '"'}, 2};
    table['\\'] = {{'\\', '\\'}, 2};
    return table;
}
inline constexpr std::array<Escape, 128> kEscapes = makeEscapes();

// The lowest n bits, n at most 16.
inline unsigned lowBits(unsigned n) {
    return (1u << n) - 1;
}

// Copies a run of plain bytes; with sixteen bytes readable at `from`, as one fixed move.
inline char* copyRun(char* w, const char* from, std::size_t run, bool sixteenReadable) {
    if (run <= 16 && sixteenReadable)
        std::memcpy(w, from, 16);
    else
        std::memcpy(w, from, run);
    return w + run;
}

// Escapes the chunk text[at, at + limit), whose bytes that need a look (below 0x20, quote,
// backslash, 0x80 and up) are the bits of `look`, one such byte at a time. A character or an
// ill-formed part that starts in the chunk is taken whole, also where it reaches past it.
// Returns the bytes consumed. `readable` is how many bytes from text.data() may be read.
inline std::size_t walk(std::string_view text, std::size_t at, unsigned limit, unsigned look,
                        std::size_t readable, char*& w) {
    const char* const p = text.data() + at;
    unsigned plain = 0;     // start of the bytes not yet written
    unsigned done = limit;  // end of what the chunk consumes
    look &= lowBits(limit);
    while (look) {
        const unsigned i = static_cast<unsigned>(__builtin_ctz(look));
        const auto c = static_cast<unsigned char>(p[i]);
        unsigned next;
        if (c < 0x80) {
            w = copyRun(w, p + plain, i - plain, at + plain + 16 <= readable);
            const Escape& escape = kEscapes[c];
            std::memcpy(w, escape.text, 8);
            w += escape.length;
            next = plain = i + 1;
        } else if (const std::size_t length = wellFormedLength(text, at + i)) {
            next = i + static_cast<unsigned>(length);  // written with the plain bytes around it
        } else {
            // Not well-formed UTF-8: the message must stay valid JSON whatever a file or a
            // name holds, so the bytes become U+FFFD as fromUtf8 does.
            w = copyRun(w, p + plain, i - plain, at + plain + 16 <= readable);
            std::memcpy(w, "\xEF\xBF\xBD", 3);
            w += 3;
            next = plain = i + static_cast<unsigned>(utf8IllFormedLength(text, at + i));
        }
        if (next >= limit) {
            done = next;
            break;
        }
        look &= ~lowBits(next);
    }
    w = copyRun(w, p + plain, done - plain, at + plain + 16 <= readable);
    return done;
}

// Which of sixteen bytes need a look, without vector instructions.
inline unsigned lookPortable(const char* p) {
    unsigned look = 0;
    for (unsigned k = 0; k < 16; ++k) {
        const auto c = static_cast<unsigned char>(p[k]);
        look |= static_cast<unsigned>(c < 0x20 || c == '"' || c == '\\' || c >= 0x80) << k;
    }
    return look;
}

#if defined(__SSE2__)
// Which of sixteen bytes need a look. The compare is signed, so bytes of 0x80 and more count
// as below 0x20: one compare finds control bytes and non-ASCII alike.
inline unsigned lookSse2(const char* p) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i hit = _mm_or_si128(_mm_cmplt_epi8(v, _mm_set1_epi8(0x20)),
                                     _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('"')),
                                                  _mm_cmpeq_epi8(v, _mm_set1_epi8('\\'))));
    return static_cast<unsigned>(_mm_movemask_epi8(hit));
}
#endif

// The last bytes of a text, fewer than sixteen, walked from a padded copy so that no kernel
// reads past the text.
inline char* escapeTail(char* w, std::string_view text, std::size_t at) {
    if (at < text.size()) {
        char tail[32];
        const std::size_t left = text.size() - at;
        std::memcpy(tail, text.data() + at, left);
        std::memset(tail + left, ' ', sizeof tail - left);
        walk(std::string_view(tail, left), 0, static_cast<unsigned>(left), lookPortable(tail),
             sizeof tail, w);
    }
    return w;
}

// The kernels with shuffles, for processors that have them (json_escape_ssse3.cpp,
// json_escape_avx2.cpp, json_escape_avx512.cpp).
char* escapeSsse3(char* out, std::string_view text);
char* escapeAvx2(char* out, std::string_view text);
char* escapeAvx512(char* out, std::string_view text);

}  // namespace json_escape

}  // namespace bridge
