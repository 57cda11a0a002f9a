// The escaper's SSSE3 steps (json_escape_ssse3.cpp) on thirty-two bytes at a time, for
// processors with AVX2: a chunk is classified and its UTF-8 checked once for twice the bytes,
// and spread by two shuffles into four runs of up to sixteen bytes.
#if defined(__SSE2__)

#include <immintrin.h>

#include <cstdint>

#include "bridge/json_escape_spread.h"
#include "bridge/json_escape_walk.h"

namespace bridge {

namespace json_escape {
namespace {

#define FORGESET_AVX2 __attribute__((target("avx2")))

// A value the compiler must take as it is. Left to itself it builds each constant of the
// loop anew in every round from an immediate, three instructions each time; made opaque
// once before the loop, they stay in registers.
FORGESET_AVX2 inline __m256i opaque(__m256i value) {
    asm("" : "+x"(value));
    return value;
}

FORGESET_AVX2 inline __m256i lookUp(const unsigned char (&table)[16], __m256i nibbles) {
    return _mm256_shuffle_epi8(
        _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(table))),
        nibbles);
}

// The chunk's bytes moved up by `n` (1 to 3) across the middle, with zeros coming in: the byte
// n places before each.
template <int n>
FORGESET_AVX2 inline __m256i before(__m256i bytes) {
    return _mm256_alignr_epi8(bytes, _mm256_permute2x128_si256(bytes, bytes, 0x08), 16 - n);
}

FORGESET_AVX2 inline __m256i high(__m256i bytes) {
    return _mm256_and_si256(_mm256_srli_epi16(bytes, 4), _mm256_set1_epi8(0x0F));
}

// As utf8Errors of the SSSE3 kernel, for thirty-two bytes.
FORGESET_AVX2 inline __m256i utf8Errors(__m256i bytes) {
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i first = before<1>(bytes);
    const __m256i pairs =
        _mm256_and_si256(_mm256_and_si256(lookUp(utf8::kFirstHigh, high(first)),
                                          lookUp(utf8::kFirstLow, _mm256_and_si256(first, nibble))),
                         lookUp(utf8::kSecondHigh, high(bytes)));
    const __m256i third = _mm256_subs_epu8(before<2>(bytes), _mm256_set1_epi8(0x60));
    const __m256i fourth = _mm256_subs_epu8(before<3>(bytes), _mm256_set1_epi8(0x70));
    const __m256i mustContinue =
        _mm256_and_si256(_mm256_or_si256(third, fourth), _mm256_set1_epi8(static_cast<char>(0x80)));
    return _mm256_xor_si256(mustContinue, pairs);
}

// Where a character starts that the chunk's end cuts off, else 32.
FORGESET_AVX2 inline unsigned cutCharacter(__m256i bytes) {
    const __m256i longest =
        _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                         -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, static_cast<char>(0xEF),
                         static_cast<char>(0xDF), static_cast<char>(0xBF));
    const __m256i fits =
        _mm256_cmpeq_epi8(_mm256_subs_epu8(bytes, longest), _mm256_setzero_si256());
    const auto cut = ~static_cast<std::uint64_t>(static_cast<unsigned>(_mm256_movemask_epi8(fits)));
    return static_cast<unsigned>(__builtin_ctzll(cut));
}

FORGESET_AVX2 inline __m256i twoShuffles(unsigned low, unsigned high) {
    const auto* lanes = reinterpret_cast<const __m128i*>(kSpreads.lanes);
    return _mm256_inserti128_si256(_mm256_castsi128_si256(lanes[low]), lanes[high], 1);
}

// Puts out the first `limit` bytes of the chunk, a backslash before each of `marked`.
FORGESET_AVX2 inline char* spread(__m256i letters, __m256i backslashes, std::uint32_t marked,
                                  unsigned limit, char* w) {
    const unsigned m0 = marked & 0xFF, m1 = marked >> 8 & 0xFF, m2 = marked >> 16 & 0xFF,
                   m3 = marked >> 24;
    // Eight bytes of each half and eight backslashes in each lane: the first and third
    // eight in one, the second and fourth in the other.
    const __m256i a =
        _mm256_shuffle_epi8(_mm256_unpacklo_epi64(letters, backslashes), twoShuffles(m0, m2));
    const __m256i b =
        _mm256_shuffle_epi8(_mm256_unpackhi_epi64(letters, backslashes), twoShuffles(m1, m3));
    const unsigned l0 = kSpreads.length[m0], l1 = kSpreads.length[m1], l2 = kSpreads.length[m2],
                   l3 = kSpreads.length[m3];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(w), _mm256_castsi256_si128(a));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(w + l0), _mm256_castsi256_si128(b));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(w + l0 + l1), _mm256_extracti128_si256(a, 1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(w + l0 + l1 + l2), _mm256_extracti128_si256(b, 1));
    return w + limit + l0 + l1 + l2 + l3 - 32;
}

// Spreads chunk after chunk from `at` until one needs the walk or fewer than thirty-two
// bytes are left; returns where it stopped. No call in the loop, so its constants stay in
// registers.
FORGESET_AVX2 inline std::size_t spreadChunks(std::string_view text, std::size_t at, char*& out) {
    char* w = out;
    const __m256i quote = opaque(_mm256_set1_epi8('"')), backslash = opaque(_mm256_set1_epi8('\\')),
                  tab = opaque(_mm256_set1_epi8('\t')), lf = opaque(_mm256_set1_epi8('\n')),
                  cr = opaque(_mm256_set1_epi8('\r')), lastControl = opaque(_mm256_set1_epi8(0x1F));
    while (text.size() - at >= 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text.data() + at));
        const __m256i quotes =
            _mm256_or_si256(_mm256_cmpeq_epi8(v, quote), _mm256_cmpeq_epi8(v, backslash));
        const __m256i shortControls =
            _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(v, tab), _mm256_cmpeq_epi8(v, lf)),
                            _mm256_cmpeq_epi8(v, cr));
        // Bytes up to 0x1F without a two-byte escape.
        __m256i wrong = _mm256_andnot_si256(shortControls,
                                            _mm256_cmpeq_epi8(_mm256_min_epu8(v, lastControl), v));
        unsigned limit = 32;
        if (_mm256_movemask_epi8(v)) {
            wrong = _mm256_or_si256(wrong, utf8Errors(v));
            limit = cutCharacter(v);
        }
        if (!_mm256_testz_si256(wrong, wrong)) break;
        const __m256i letters =
            _mm256_xor_si256(v, _mm256_and_si256(shortControls, lookUp(kLetters, v)));
        const auto marked = static_cast<std::uint32_t>(
            _mm256_movemask_epi8(_mm256_or_si256(quotes, shortControls)));
        w = spread(letters, backslash, limit == 32 ? marked : marked & ((1u << limit) - 1), limit,
                   w);
        at += limit;
    }
    out = w;
    return at;
}

}  // namespace

FORGESET_AVX2 __attribute__((flatten)) char* escapeAvx2(char* w, std::string_view text) {
    std::size_t at = 0;
    for (;;) {
        at = spreadChunks(text, at, w);
        if (text.size() - at < 32) break;
        // Sixteen bytes walked; the spreading takes up again after them.
        at += walk(text, at, 16, lookSse2(text.data() + at), text.size(), w);
    }
    // The rest, fewer than thirty-two bytes, as the SSSE3 kernel does it.
    return escapeSsse3(w, text.substr(at));
}

#undef FORGESET_AVX2

}  // namespace json_escape

}  // namespace bridge

#endif
