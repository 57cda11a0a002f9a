#include "bridge/json_write.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#if defined(__SSE2__)
#include <cpuid.h>
#include <emmintrin.h>
#include <tmmintrin.h>
#endif

#include "bridge/json_escape_kernels.h"
#include "bridge/text.h"

namespace json_escape {
namespace {

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
constexpr std::array<Escape, 128> kEscapes = makeEscapes();

// Length of the well-formed character at text[i] (a byte of 0x80 or more), else 0. Two- and
// three-byte forms, nearly all non-ASCII text, are checked here without a call.
inline std::size_t wellFormedLength(std::string_view text, std::size_t i) {
    const auto* u = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t left = text.size() - i;
    const unsigned c = u[i];
    auto cont = [&](std::size_t k) { return (u[i + k] & 0xC0) == 0x80; };
    if (c >= 0xC2 && c <= 0xDF) return left >= 2 && cont(1) ? 2 : 0;
    if (c >= 0xE1 && c <= 0xEF && c != 0xED && left >= 3 && cont(1) && cont(2)) return 3;
    return utf8SequenceLength(text, i);
}

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

// The compare is signed, so bytes of 0x80 and more count as below 0x20: one compare finds
// control bytes and non-ASCII alike.
struct Classified {
    __m128i bytes, quote, backslash;
    unsigned look;
};

inline Classified classify(const char* p) {
    Classified c;
    c.bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    c.quote = _mm_cmpeq_epi8(c.bytes, _mm_set1_epi8('"'));
    c.backslash = _mm_cmpeq_epi8(c.bytes, _mm_set1_epi8('\\'));
    const __m128i below = _mm_cmplt_epi8(c.bytes, _mm_set1_epi8(0x20));
    c.look = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_or_si128(c.quote, c.backslash), below)));
    return c;
}

// For each mask of eight bytes that take a backslash: the shuffle that spreads those eight
// bytes (lanes 0 to 7) over up to sixteen, with a backslash (any of lanes 8 to 15) before
// each marked one, and how long the result is.
struct Spreads {
    alignas(16) unsigned char lanes[256][16];
    unsigned char length[256];
};

constexpr Spreads makeSpreads() {
    Spreads table{};
    for (unsigned mask = 0; mask < 256; ++mask) {
        unsigned out = 0;
        for (unsigned i = 0; i < 8; ++i) {
            if (mask >> i & 1) table.lanes[mask][out++] = 8;
            table.lanes[mask][out++] = static_cast<unsigned char>(i);
        }
        table.length[mask] = static_cast<unsigned char>(out);
        while (out < 16)
            table.lanes[mask][out++] = 0x80;
    }
    return table;
}
constexpr Spreads kSpreads = makeSpreads();

// Escapes a chunk whose bytes that need a look are only the five with a two-byte escape and
// well-formed characters, all at once: each half of eight bytes becomes up to sixteen by one
// shuffle. Returns the bytes consumed (a character that reaches past the chunk is left for
// the next), or 0 when the chunk needs the walk.
__attribute__((target("ssse3"))) inline unsigned spreadChunk(std::string_view text, std::size_t at,
                                                             const Classified& c, char*& w) {
    const __m128i tab = _mm_cmpeq_epi8(c.bytes, _mm_set1_epi8('\t'));
    const __m128i lf = _mm_cmpeq_epi8(c.bytes, _mm_set1_epi8('\n'));
    const __m128i cr = _mm_cmpeq_epi8(c.bytes, _mm_set1_epi8('\r'));
    const auto escapes = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_or_si128(_mm_or_si128(c.quote, c.backslash), _mm_or_si128(_mm_or_si128(tab, lf), cr))));
    const auto high = static_cast<unsigned>(_mm_movemask_epi8(c.bytes));
    if (c.look != (escapes | high)) return 0;
    unsigned limit = 16;
    for (unsigned rest = high; rest;) {
        const unsigned i = static_cast<unsigned>(__builtin_ctz(rest));
        const unsigned length = static_cast<unsigned>(wellFormedLength(text, at + i));
        if (!length) return 0;
        if (i + length > 16) {
            limit = i;
            break;
        }
        rest &= ~lowBits(i + length);
    }
    // Tab, line feed and carriage return become the letters t, n and r; the quote and the
    // backslash stay themselves behind their backslash.
    const __m128i letters = _mm_xor_si128(
        c.bytes, _mm_or_si128(_mm_and_si128(tab, _mm_set1_epi8('\t' ^ 't')),
                              _mm_or_si128(_mm_and_si128(lf, _mm_set1_epi8('\n' ^ 'n')),
                                           _mm_and_si128(cr, _mm_set1_epi8('\r' ^ 'r')))));
    const __m128i backslashes = _mm_set1_epi8('\\');
    const unsigned marked = escapes & lowBits(limit), low = marked & 0xFF, highHalf = marked >> 8;
    char* const start = w;
    const auto* lanes = reinterpret_cast<const __m128i*>(kSpreads.lanes);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(w),
                     _mm_shuffle_epi8(_mm_unpacklo_epi64(letters, backslashes), lanes[low]));
    w += kSpreads.length[low];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(w),
                     _mm_shuffle_epi8(_mm_unpackhi_epi64(letters, backslashes), lanes[highHalf]));
    w += kSpreads.length[highHalf];
    // Bytes stored past a character left for the next chunk are written over by it.
    if (limit < 16) w = start + limit + kSpreads.length[low] + kSpreads.length[highHalf] - 16;
    return limit;
}

#endif

enum class Simd { none, sse2, ssse3 };

// Sixteen bytes at a time: a chunk with nothing to escape is copied in one move, others are
// spread or walked. The last bytes go through the walk from a padded copy, so no load reads
// past the text.
template <Simd kind>
inline char* escapeText(char* w, std::string_view text) {
    const std::size_t size = text.size();
    std::size_t at = 0;
    while (size - at >= 16) {
        const char* const p = text.data() + at;
#if defined(__SSE2__)
        if constexpr (kind != Simd::none) {
            const Classified c = classify(p);
            if (!c.look) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(w), c.bytes);
                w += 16;
                at += 16;
                continue;
            }
            if constexpr (kind == Simd::ssse3) {
                if (const unsigned taken = spreadChunk(text, at, c, w)) {
                    at += taken;
                    continue;
                }
            }
            at += walk(text, at, 16, c.look, size, w);
            continue;
        }
#endif
        at += walk(text, at, 16, lookPortable(p), size, w);
    }
    if (at < size) {
        char tail[32];
        const std::size_t left = size - at;
        std::memcpy(tail, text.data() + at, left);
        std::memset(tail + left, ' ', sizeof tail - left);
        walk(std::string_view(tail, left), 0, static_cast<unsigned>(left), lookPortable(tail),
             sizeof tail, w);
    }
    return w;
}

char* escapePortable(char* out, std::string_view text) {
    return escapeText<Simd::none>(out, text);
}

#if defined(__SSE2__)
char* escapeSse2(char* out, std::string_view text) {
    return escapeText<Simd::sse2>(out, text);
}

// Everything it calls is inlined, so the shuffles sit in the loop itself.
__attribute__((target("ssse3"), flatten)) char* escapeSsse3(char* out, std::string_view text) {
    return escapeText<Simd::ssse3>(out, text);
}

bool hasSsse3() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    return __get_cpuid(1, &a, &b, &c, &d) && (c & bit_SSSE3);
}
#endif

}  // namespace

Kernel fastest() {
#if defined(__SSE2__)
    static const Kernel kernel = hasSsse3() ? escapeSsse3 : escapeSse2;
    return kernel;
#else
    return escapePortable;
#endif
}

std::vector<NamedKernel> available() {
    std::vector<NamedKernel> kernels = {{"portable", escapePortable}};
#if defined(__SSE2__)
    kernels.push_back({"sse2", escapeSse2});
    if (hasSsse3()) kernels.push_back({"ssse3", escapeSsse3});
#endif
    return kernels;
}

}  // namespace json_escape

namespace {

// Input escaped per step into room claimed ahead for its worst case.
constexpr std::size_t kSlice = 16 * 1024;
static_assert(json_escape::room(kSlice) == kJsonEscapeReach);

// Where text may be cut so that escaping the two parts one after the other gives the bytes
// escaping the whole does: not inside a character that the bytes after the cut could still
// complete. Only the last three bytes before `end` can start one.
std::size_t safeCut(std::string_view text, std::size_t end) {
    for (std::size_t q = end > 3 ? end - 3 : 0; q < end; ++q) {
        const auto c = static_cast<unsigned char>(text[q]);
        const std::size_t needs = c >= 0xC2 && c <= 0xDF   ? 2
                                  : c >= 0xE0 && c <= 0xEF ? 3
                                  : c >= 0xF0 && c <= 0xF4 ? 4
                                                           : 1;
        if (q + needs > end) return q;
    }
    return end;
}

void appendEscapedSlice(std::string& out, std::string_view slice) {
    const std::size_t used = out.size();
    out.resize_and_overwrite(
        used + json_escape::room(slice.size()), [&](char* buffer, std::size_t) {
            return static_cast<std::size_t>(json_escape::fastest()(buffer + used, slice) - buffer);
        });
}

}  // namespace

std::size_t appendJsonEscapedPart(std::string& out, std::string_view text) {
    const std::size_t end = safeCut(text, text.size());
    appendJsonEscaped(out, text.substr(0, end));
    return end;
}

void appendJsonEscaped(std::string& out, std::string_view text) {
    while (text.size() > kSlice) {
        const std::size_t cut = safeCut(text, kSlice);
        appendEscapedSlice(out, text.substr(0, cut));
        text.remove_prefix(cut);
    }
    appendEscapedSlice(out, text);
}

std::string jsonEscape(std::string_view text) {
    std::string out;
    // Room for the worst case of a short text; a long one is reserved at its size and a
    // little more, and grows only when it is escape-dense.
    out.reserve(
        std::min(json_escape::room(text.size()), text.size() + text.size() / 8 + kJsonEscapeReach));
    appendJsonEscaped(out, text);
    return out;
}

void appendJsonString(std::string& out, std::string_view text) {
    out += '"';
    appendJsonEscaped(out, text);
    out += '"';
}
