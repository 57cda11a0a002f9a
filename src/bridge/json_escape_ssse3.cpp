// The escaper for processors with SSSE3's byte shuffle, which nearly every x86-64 processor
// has. Text such as a pretty-printed JSON document needs an escape every few bytes and
// prose holds characters beyond ASCII every few dozen: a loop that turns aside at each of
// them is slowed more by the turns the processor mispredicts than by the escaping. So nearly
// every chunk of sixteen bytes takes the same steps here: its UTF-8 is checked in one go,
// and it is spread to up to thirty-two bytes by two shuffles that put a backslash before
// each byte that needs one. Only chunks with other control bytes or with bytes that are not
// well-formed UTF-8, both rare, are walked a byte at a time.
#if defined(__SSE2__)

#include <emmintrin.h>
#include <tmmintrin.h>

#include "bridge/json_escape_spread.h"
#include "bridge/json_escape_walk.h"

namespace bridge {

namespace json_escape {
namespace {

#define FORGESET_SSSE3 __attribute__((target("ssse3")))

FORGESET_SSSE3 inline __m128i lookUp(const unsigned char (&table)[16], __m128i nibbles) {
    return _mm_shuffle_epi8(_mm_load_si128(reinterpret_cast<const __m128i*>(table)), nibbles);
}

// Nonzero bytes where the chunk is not well-formed UTF-8, read as a chunk that starts with a
// character: what stood before it is taken as ASCII. A character that the chunk's end cuts
// off is no error here (cutCharacter finds it).
FORGESET_SSSE3 inline __m128i utf8Errors(__m128i bytes) {
    const __m128i nibble = _mm_set1_epi8(0x0F);
    const __m128i before = _mm_slli_si128(bytes, 1);
    auto high = [&](__m128i v) { return _mm_and_si128(_mm_srli_epi16(v, 4), nibble); };
    const __m128i pairs =
        _mm_and_si128(_mm_and_si128(lookUp(utf8::kFirstHigh, high(before)),
                                    lookUp(utf8::kFirstLow, _mm_and_si128(before, nibble))),
                      lookUp(utf8::kSecondHigh, high(bytes)));
    // 0x80 where the byte two before is E0 and up or the one three before is F0 and up.
    const __m128i third = _mm_subs_epu8(_mm_slli_si128(bytes, 2), _mm_set1_epi8(0x60));
    const __m128i fourth = _mm_subs_epu8(_mm_slli_si128(bytes, 3), _mm_set1_epi8(0x70));
    const __m128i mustContinue =
        _mm_and_si128(_mm_or_si128(third, fourth), _mm_set1_epi8(static_cast<char>(0x80)));
    return _mm_xor_si128(mustContinue, pairs);
}

// Where a character starts that the chunk's end cuts off (a lead byte in the last three
// bytes with too few after it), else 16.
inline unsigned cutCharacter(__m128i bytes) {
    const __m128i longest =
        _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, static_cast<char>(0xEF),
                      static_cast<char>(0xDF), static_cast<char>(0xBF));
    const __m128i fits = _mm_cmpeq_epi8(_mm_subs_epu8(bytes, longest), _mm_setzero_si128());
    const auto cut = ~static_cast<unsigned>(_mm_movemask_epi8(fits)) & 0xFFFF;
    return static_cast<unsigned>(__builtin_ctz(cut | 0x10000));
}

// Puts out the first `limit` bytes of the chunk, a backslash before each of `marked`, whose
// tab, line feed and carriage return have already become t, n and r.
FORGESET_SSSE3 inline char* spread(__m128i letters, unsigned marked, unsigned limit, char* w) {
    const __m128i backslashes = _mm_set1_epi8('\\');
    const auto* lanes = reinterpret_cast<const __m128i*>(kSpreads.lanes);
    const unsigned low = marked & 0xFF, high = marked >> 8;
    const unsigned lowLength = kSpreads.length[low], highLength = kSpreads.length[high];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(w),
                     _mm_shuffle_epi8(_mm_unpacklo_epi64(letters, backslashes), lanes[low]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(w + lowLength),
                     _mm_shuffle_epi8(_mm_unpackhi_epi64(letters, backslashes), lanes[high]));
    // Bytes stored past a character left for the next chunk are written over by it.
    return w + limit + lowLength + highLength - 16;
}

// Spreads chunk after chunk from `at` until one needs the walk or fewer than sixteen bytes
// are left; returns where it stopped. No call in the loop, so its constants stay in
// registers.
FORGESET_SSSE3 inline std::size_t spreadChunks(std::string_view text, std::size_t at, char*& out) {
    char* w = out;
    while (text.size() - at >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at));
        const __m128i quotes = _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('"')),
                                            _mm_cmpeq_epi8(v, _mm_set1_epi8('\\')));
        const __m128i shortControls =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\t')),
                                      _mm_cmpeq_epi8(v, _mm_set1_epi8('\n'))),
                         _mm_cmpeq_epi8(v, _mm_set1_epi8('\r')));
        // Bytes up to 0x1F without a two-byte escape.
        __m128i wrong = _mm_andnot_si128(shortControls,
                                         _mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8(0x1F)), v));
        unsigned limit = 16;
        if (_mm_movemask_epi8(v)) {
            wrong = _mm_or_si128(wrong, utf8Errors(v));
            limit = cutCharacter(v);
        }
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(wrong, _mm_setzero_si128())) != 0xFFFF) break;
        const __m128i letters = _mm_xor_si128(v, _mm_and_si128(shortControls, lookUp(kLetters, v)));
        const auto marked =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(quotes, shortControls)));
        w = spread(letters, marked & lowBits(limit), limit, w);
        at += limit;
    }
    out = w;
    return at;
}

}  // namespace

FORGESET_SSSE3 __attribute__((flatten)) char* escapeSsse3(char* w, std::string_view text) {
    std::size_t at = 0;
    for (;;) {
        at = spreadChunks(text, at, w);
        if (text.size() - at < 16) break;
        at += walk(text, at, 16, lookSse2(text.data() + at), text.size(), w);
    }
    return escapeTail(w, text, at);
}

#undef FORGESET_SSSE3

}  // namespace json_escape

}  // namespace bridge

#endif
