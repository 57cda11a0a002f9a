#include "bridge/json_write.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "bridge/text.h"

namespace bridge {

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

// A bit set in the high bit of every byte of the eight that is below 0x20, a quote, a
// backslash or not ASCII: only such bytes need more than a copy. The lowest set bit is
// always exact (borrows only run upwards), which is all the caller uses to skip ahead.
inline std::uint64_t lookMask8(const char* p) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    constexpr std::uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
    auto zeroBytes = [&](std::uint64_t v) { return (v - ones) & ~v & highs; };
    std::uint64_t control = (w - ones * 0x20) & ~w & highs;
    return control | zeroBytes(w ^ (ones * '"')) | zeroBytes(w ^ (ones * '\\')) | (w & highs);
}

// Length of the well-formed character at text[i] (a byte of 0x80 or more). Two- and
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

}  // namespace

void appendJsonEscaped(std::string& out, std::string_view text) {
    // Escapes and the short runs of plain text between them are gathered here and handed to
    // `out` a block at a time: an append per piece costs more than the piece itself in text
    // such as pretty-printed JSON, where something needs escaping every few bytes. Runs
    // longer than kLongRun go to `out` directly, so plain text is still copied once.
    constexpr std::size_t kBlock = 8192, kLongRun = 128, kSlack = 32;
    char block[kBlock + kSlack];
    char* w = block;
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    const char* plain = begin;  // start of the text not yet copied

    auto copyPlain = [&](const char* upTo) {
        const auto run = static_cast<std::size_t>(upTo - plain);
        if (run > kLongRun) {
            out.append(block, static_cast<std::size_t>(w - block));
            w = block;
            out.append(plain, run);
            return;
        }
        if (w + run + 8 > block + kBlock) {
            out.append(block, static_cast<std::size_t>(w - block));
            w = block;
        }
        // Sixteen bytes in one move when the input has them; the slack takes the rest.
        if (run <= 16 && end - plain >= 16)
            std::memcpy(w, plain, 16);
        else
            std::memcpy(w, plain, run);
        w += run;
    };
    // Handles the byte at `s` that needs a look and says where plain text goes on.
    auto handle = [&](const char* s) -> const char* {
        const auto c = static_cast<unsigned char>(*s);
        if (c < 0x80) {
            copyPlain(s);
            const Escape& escape = kEscapes[c];
            std::memcpy(w, escape.text, 8);
            w += escape.length;
            return plain = s + 1;
        }
        // Well-formed characters are copied with the plain text around them.
        const auto at = static_cast<std::size_t>(s - begin);
        if (const std::size_t length = wellFormedLength(text, at)) return s + length;
        // Not well-formed UTF-8: the message must stay valid JSON whatever a file or a name
        // holds, so the bytes become U+FFFD as fromUtf8 does.
        copyPlain(s);
        std::memcpy(w, "\xEF\xBF\xBD", 3);
        w += 3;
        return plain = s + utf8IllFormedLength(text, at);
    };

    const char* p = begin;
#if defined(__SSE2__)
    // Sixteen bytes at a time, each byte that needs a look taken from the chunk's mask. The
    // compare is signed, so bytes of 0x80 and more count as below 0x20: one compare finds
    // control bytes and non-ASCII alike.
    const __m128i space = _mm_set1_epi8(0x20), quote = _mm_set1_epi8('"'),
                  backslash = _mm_set1_epi8('\\');
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i hit =
            _mm_or_si128(_mm_cmplt_epi8(v, space),
                         _mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, backslash)));
        auto mask = static_cast<unsigned>(_mm_movemask_epi8(hit));
        const char* next = p + 16;
        while (mask) {
            const char* after = handle(p + __builtin_ctz(mask));
            const auto done = static_cast<unsigned>(after - p);
            // A character that reaches past the chunk: scanning goes on after it.
            if (done >= 16) {
                next = after;
                break;
            }
            mask &= ~0u << done;
        }
        p = next;
    }
#endif
    for (; end - p >= 8;) {
        if (const std::uint64_t mask = lookMask8(p))
            p = handle(p + (__builtin_ctzll(mask) >> 3));
        else
            p += 8;
    }
    while (p < end) {
        const auto c = static_cast<unsigned char>(*p);
        p = c < 0x20 || c == '"' || c == '\\' || c >= 0x80 ? handle(p) : p + 1;
    }
    out.append(block, static_cast<std::size_t>(w - block));
    out.append(plain, end);
}

std::string jsonEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    appendJsonEscaped(out, text);
    return out;
}

void appendJsonString(std::string& out, std::string_view text) {
    out += '"';
    appendJsonEscaped(out, text);
    out += '"';
}

namespace {

// A syntax check of JSON without building a tree: a small state machine with an explicit
// stack of open containers, so deep nesting cannot exhaust the call stack.
class JsonChecker {
  public:
    JsonChecker(std::string_view text, int maxDepth) : s_(text), maxDepth_(maxDepth) {}

    bool run() {
        skipSpace();
        if (!value()) return false;
        skipSpace();
        return i_ == s_.size();
    }

  private:
    // One value; containers are walked iteratively with `open` as the stack.
    bool value() {
        std::vector<char> open;
        for (;;) {
            skipSpace();
            if (i_ >= s_.size()) return false;
            char c = s_[i_];
            bool closedEmpty = false;
            if (c == '{' || c == '[') {
                if (static_cast<int>(open.size()) >= maxDepth_) return false;
                open.push_back(c);
                ++i_;
                skipSpace();
                char close = c == '{' ? '}' : ']';
                if (i_ < s_.size() && s_[i_] == close) {
                    ++i_;
                    open.pop_back();
                    closedEmpty = true;
                } else if (c == '{') {
                    if (!member()) return false;
                    continue;
                } else {
                    continue;
                }
            }
            if (!closedEmpty && !scalar()) return false;
            // After a value: a comma goes on in the innermost container, a bracket closes it.
            for (;;) {
                if (open.empty()) return true;
                skipSpace();
                if (i_ >= s_.size()) return false;
                char next = s_[i_++];
                if (next == ',') {
                    if (open.back() == '{' && !member()) return false;
                    break;
                }
                if (next != (open.back() == '{' ? '}' : ']')) return false;
                open.pop_back();
            }
        }
    }

    // A key and its colon; the value follows in the loop above.
    bool member() {
        skipSpace();
        if (!string()) return false;
        skipSpace();
        if (i_ >= s_.size() || s_[i_] != ':') return false;
        ++i_;
        return true;
    }

    bool scalar() {
        char c = s_[i_];
        if (c == '"') return string();
        if (c == '-' || (c >= '0' && c <= '9')) return number();
        for (std::string_view word : {"true", "false", "null"}) {
            if (s_.substr(i_, word.size()) == word) {
                i_ += word.size();
                return true;
            }
        }
        return false;
    }

    bool string() {
        if (i_ >= s_.size() || s_[i_] != '"') return false;
        ++i_;
        while (i_ < s_.size()) {
            unsigned char c = static_cast<unsigned char>(s_[i_]);
            if (c == '"') {
                ++i_;
                return true;
            }
            if (c < 0x20) return false;
            if (c == '\\') {
                if (++i_ >= s_.size()) return false;
                char e = s_[i_];
                if (e == 'u') {
                    for (int k = 1; k <= 4; ++k) {
                        if (i_ + k >= s_.size() || !isHex(s_[i_ + k])) return false;
                    }
                    i_ += 4;
                } else if (std::string_view("\"\\/bfnrt").find(e) == std::string_view::npos) {
                    return false;
                }
                ++i_;
                continue;
            }
            if (c >= 0x80) {
                std::size_t length = utf8SequenceLength(s_, i_);
                if (!length) return false;
                i_ += length;
                continue;
            }
            ++i_;
        }
        return false;
    }

    bool number() {
        if (s_[i_] == '-') ++i_;
        if (i_ >= s_.size() || !isDigit(s_[i_])) return false;
        if (s_[i_] == '0') {
            ++i_;
        } else {
            while (i_ < s_.size() && isDigit(s_[i_]))
                ++i_;
        }
        if (i_ < s_.size() && s_[i_] == '.') {
            ++i_;
            if (i_ >= s_.size() || !isDigit(s_[i_])) return false;
            while (i_ < s_.size() && isDigit(s_[i_]))
                ++i_;
        }
        if (i_ < s_.size() && (s_[i_] == 'e' || s_[i_] == 'E')) {
            ++i_;
            if (i_ < s_.size() && (s_[i_] == '+' || s_[i_] == '-')) ++i_;
            if (i_ >= s_.size() || !isDigit(s_[i_])) return false;
            while (i_ < s_.size() && isDigit(s_[i_]))
                ++i_;
        }
        return true;
    }

    void skipSpace() {
        while (i_ < s_.size() &&
               (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r')) {
            ++i_;
        }
    }

    static bool isDigit(char c) { return c >= '0' && c <= '9'; }
    static bool isHex(char c) {
        return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    }

    std::string_view s_;
    int maxDepth_;
    std::size_t i_ = 0;
};

}  // namespace

bool isJsonText(std::string_view text, int maxDepth) {
    return JsonChecker(text, maxDepth).run();
}

}  // namespace bridge
