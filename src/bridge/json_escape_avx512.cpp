// The escaper's steps (json_escape_ssse3.cpp) on sixty-four bytes at a time, for processors
// with AVX-512's byte instructions (VBMI2, on Ice Lake, Zen 4 and later): the bytes are
// classified into masks, and each half of thirty-two is spread by one expand instruction,
// which places the chunk's bytes at the places a mask names and a backslash at the others.
#if defined(__SSE2__)

#include <immintrin.h>

#include <cstdint>

#include "bridge/json_escape_spread.h"
#include "bridge/json_escape_walk.h"

namespace bridge {

namespace json_escape {
namespace {

#define FORGESET_AVX512 \
    __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2,bmi2,popcnt")))

// A value the compiler must take as it is, so the loop's constants are made once before it
// and not anew in every round (as in the AVX2 kernel).
FORGESET_AVX512 inline __m512i opaque(__m512i value) {
    asm("" : "+v"(value));
    return value;
}

// A table of sixteen bytes in each of the four lanes, for lookups across the whole register.
struct FourTimes {
    alignas(64) unsigned char bytes[64];
};

constexpr FourTimes fourTimes(const unsigned char (&table)[16]) {
    FourTimes four{};
    for (int i = 0; i < 64; ++i)
        four.bytes[i] = table[i % 16];
    return four;
}

constexpr FourTimes kFirstHigh = fourTimes(utf8::kFirstHigh);
constexpr FourTimes kFirstLow = fourTimes(utf8::kFirstLow);
constexpr FourTimes kSecondHigh = fourTimes(utf8::kSecondHigh);
constexpr FourTimes kLetters4 = fourTimes(kLetters);

FORGESET_AVX512 inline __m512i lookUp(const FourTimes& table, __m512i nibbles) {
    return _mm512_shuffle_epi8(_mm512_load_si512(table.bytes), nibbles);
}

// The byte `n` places before each (1 to 3), zero for the first n.
template <int n>
FORGESET_AVX512 inline __m512i before(__m512i bytes) {
    const __m512i back = _mm512_sub_epi8(
        _mm512_set_epi8(63, 62, 61, 60, 59, 58, 57, 56, 55, 54, 53, 52, 51, 50, 49, 48, 47, 46, 45,
                        44, 43, 42, 41, 40, 39, 38, 37, 36, 35, 34, 33, 32, 31, 30, 29, 28, 27, 26,
                        25, 24, 23, 22, 21, 20, 19, 18, 17, 16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6,
                        5, 4, 3, 2, 1, 0),
        _mm512_set1_epi8(n));
    return _mm512_maskz_permutexvar_epi8(~std::uint64_t{0} << n, back, bytes);
}

FORGESET_AVX512 inline __m512i high(__m512i bytes) {
    return _mm512_and_si512(_mm512_srli_epi16(bytes, 4), _mm512_set1_epi8(0x0F));
}

// The bytes that are not well-formed UTF-8, as utf8Errors of the SSSE3 kernel.
FORGESET_AVX512 inline std::uint64_t utf8Errors(__m512i bytes) {
    const __m512i first = before<1>(bytes);
    const __m512i pairs = _mm512_and_si512(
        _mm512_and_si512(lookUp(kFirstHigh, high(first)),
                         lookUp(kFirstLow, _mm512_and_si512(first, _mm512_set1_epi8(0x0F)))),
        lookUp(kSecondHigh, high(bytes)));
    const __m512i third = _mm512_subs_epu8(before<2>(bytes), _mm512_set1_epi8(0x60));
    const __m512i fourth = _mm512_subs_epu8(before<3>(bytes), _mm512_set1_epi8(0x70));
    const __m512i mustContinue =
        _mm512_and_si512(_mm512_or_si512(third, fourth), _mm512_set1_epi8(static_cast<char>(0x80)));
    const __m512i errors = _mm512_xor_si512(mustContinue, pairs);
    return _mm512_test_epi8_mask(errors, errors);
}

// Where a character starts that the chunk's end cuts off, else 64.
FORGESET_AVX512 inline unsigned cutCharacter(__m512i bytes) {
    const std::uint64_t cut =
        (_mm512_cmpge_epu8_mask(bytes, _mm512_set1_epi8(static_cast<char>(0xF0))) & std::uint64_t{1}
                                                                                        << 61) |
        (_mm512_cmpge_epu8_mask(bytes, _mm512_set1_epi8(static_cast<char>(0xE0))) & std::uint64_t{1}
                                                                                        << 62) |
        (_mm512_cmpge_epu8_mask(bytes, _mm512_set1_epi8(static_cast<char>(0xC0))) & std::uint64_t{1}
                                                                                        << 63);
    return cut ? static_cast<unsigned>(__builtin_ctzll(cut)) : 64;
}

// Thirty-two bytes (the low half of `bytes`), a backslash before each of `marked`: the
// expand takes the bytes in order to the places its mask names. Each byte has two places,
// one for a backslash (kept where marked) and its own; the mask says which of those kept
// are the byte's own.
FORGESET_AVX512 inline __m512i expandHalf(__m512i bytes, std::uint32_t marked,
                                          __m512i backslashes) {
    constexpr std::uint64_t kOwn = 0xAAAAAAAAAAAAAAAAull;
    const std::uint64_t places = _pdep_u64(marked, 0x5555555555555555ull) | kOwn;
    return _mm512_mask_expand_epi8(backslashes, _pext_u64(kOwn, places), bytes);
}

// Spreads chunk after chunk from `at` until one needs the walk or fewer than sixty-four
// bytes are left; returns where it stopped.
FORGESET_AVX512 inline std::size_t spreadChunks(std::string_view text, std::size_t at, char*& out) {
    char* w = out;
    const __m512i quote = opaque(_mm512_set1_epi8('"')),
                  backslashes = opaque(_mm512_set1_epi8('\\')),
                  tab = opaque(_mm512_set1_epi8('\t')), lf = opaque(_mm512_set1_epi8('\n')),
                  cr = opaque(_mm512_set1_epi8('\r')), lastControl = opaque(_mm512_set1_epi8(0x1F));
    while (text.size() - at >= 64) {
        const __m512i v = _mm512_loadu_si512(text.data() + at);
        const std::uint64_t quotes =
            _mm512_cmpeq_epi8_mask(v, quote) | _mm512_cmpeq_epi8_mask(v, backslashes);
        const std::uint64_t shortControls = _mm512_cmpeq_epi8_mask(v, tab) |
                                            _mm512_cmpeq_epi8_mask(v, lf) |
                                            _mm512_cmpeq_epi8_mask(v, cr);
        // Bytes up to 0x1F without a two-byte escape.
        std::uint64_t wrong = _mm512_cmple_epu8_mask(v, lastControl) & ~shortControls;
        unsigned limit = 64;
        if (_mm512_movepi8_mask(v)) {
            wrong |= utf8Errors(v);
            limit = cutCharacter(v);
        }
        if (wrong) break;
        const __m512i letters =
            _mm512_xor_si512(v, _mm512_maskz_mov_epi8(shortControls, lookUp(kLetters4, v)));
        const std::uint64_t marked =
            (quotes | shortControls) &
            (limit == 64 ? ~std::uint64_t{0} : ~(~std::uint64_t{0} << limit));
        const auto low = static_cast<std::uint32_t>(marked),
                   high = static_cast<std::uint32_t>(marked >> 32);
        _mm512_storeu_si512(w, expandHalf(letters, low, backslashes));
        _mm512_storeu_si512(w + 32 + _mm_popcnt_u32(low),
                            expandHalf(_mm512_maskz_shuffle_i64x2(0xFF, letters, letters, 0xEE),
                                       high, backslashes));
        // Bytes stored past a character left for the next chunk are written over by it.
        w += limit + static_cast<unsigned>(_mm_popcnt_u64(marked));
        at += limit;
    }
    out = w;
    return at;
}

}  // namespace

FORGESET_AVX512 __attribute__((flatten)) char* escapeAvx512(char* w, std::string_view text) {
    std::size_t at = 0;
    for (;;) {
        at = spreadChunks(text, at, w);
        if (text.size() - at < 64) break;
        at += walk(text, at, 16, lookSse2(text.data() + at), text.size(), w);
    }
    // The rest, fewer than sixty-four bytes, as the AVX2 kernel does it (AVX-512 processors
    // all have AVX2).
    return escapeAvx2(w, text.substr(at));
}

#undef FORGESET_AVX512

}  // namespace json_escape

}  // namespace bridge

#endif
