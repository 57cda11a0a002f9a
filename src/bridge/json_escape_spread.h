#pragma once
// The tables the shuffling escaper kernels share (json_escape_ssse3.cpp, json_escape_avx2.cpp).
#include <cstddef>

namespace bridge {

namespace json_escape {

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
inline constexpr Spreads kSpreads = makeSpreads();

// Tab, line feed and carriage return become t, n and r by an xor with this, looked up by the
// low nibble; the quote and the backslash stay themselves behind their backslash.
alignas(16) inline constexpr unsigned char kLetters[16] = {
    0, 0, 0, 0, 0, 0, 0, 0, 0, '\t' ^ 't', '\n' ^ 'n', 0, 0, '\r' ^ 'r', 0, 0};

// The UTF-8 check of Keiser and Lemire ("Validating UTF-8 in less than one instruction per
// byte", 2021): each byte is judged with the one before it by three table lookups, one on
// each nibble of the pair that can tell an error; each table sets the bits of the errors its
// nibble allows, so a pair is wrong where all three agree. A byte two or three after a
// three- or four-byte lead must be a continuation byte, which the tables cannot see; that is
// checked apart.
namespace utf8 {

inline constexpr unsigned char kTooShort = 1 << 0;      // a lead or ASCII, then a lead or ASCII
inline constexpr unsigned char kTooLong = 1 << 1;       // ASCII, then a continuation
inline constexpr unsigned char kOverlong3 = 1 << 2;     // E0, then 80 to 9F
inline constexpr unsigned char kTooLarge = 1 << 3;      // F4 then 90 and up, or F5 and up
inline constexpr unsigned char kSurrogate = 1 << 4;     // ED, then A0 and up
inline constexpr unsigned char kOverlong2 = 1 << 5;     // C0 or C1
inline constexpr unsigned char kTooLarge1000 = 1 << 6;  // F5 and up, then 80 to 8F
inline constexpr unsigned char kOverlong4 = 1 << 6;     // F0, then 80 to 8F
inline constexpr unsigned char kTwoConts = 1 << 7;      // a continuation, then another
inline constexpr unsigned char kCarry = kTooShort | kTooLong | kTwoConts;

// By the high nibble of the first byte of the pair.
alignas(16) inline constexpr unsigned char kFirstHigh[16] = {
    kTooLong,
    kTooLong,
    kTooLong,
    kTooLong,
    kTooLong,
    kTooLong,
    kTooLong,
    kTooLong,
    kTwoConts,
    kTwoConts,
    kTwoConts,
    kTwoConts,
    kTooShort | kOverlong2,
    kTooShort,
    kTooShort | kOverlong3 | kSurrogate,
    kTooShort | kTooLarge | kTooLarge1000 | kOverlong4,
};
// By the low nibble of the first byte.
alignas(16) inline constexpr unsigned char kFirstLow[16] = {
    kCarry | kOverlong3 | kOverlong2 | kOverlong4,
    kCarry | kOverlong2,
    kCarry,
    kCarry,
    kCarry | kTooLarge,
    kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000 | kSurrogate,
    kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000,
};
// By the high nibble of the second byte.
alignas(16) inline constexpr unsigned char kSecondHigh[16] = {
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge1000 | kOverlong4,
    kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge,
    kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge,
    kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,
};

}  // namespace utf8

}  // namespace json_escape

}  // namespace bridge
