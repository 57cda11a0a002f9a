#include "bridge/json_write.h"

#include <string_view>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "bridge/utf8_length.h"

namespace bridge {

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
            skipPlain();
            if (i_ >= s_.size()) break;
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
            std::size_t length = wellFormedLength(s_, i_);
            if (!length) return false;
            i_ += length;
        }
        return false;
    }

    // Moves to the next byte in a string that needs a look: a quote, a backslash, a control
    // byte or one of 0x80 and up. Documents hold long runs of plain text.
    void skipPlain() {
#if defined(__SSE2__)
        while (s_.size() - i_ >= 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s_.data() + i_));
            // Signed, so 0x80 and up count as below 0x20.
            const __m128i look = _mm_or_si128(_mm_cmplt_epi8(v, _mm_set1_epi8(0x20)),
                                              _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('"')),
                                                           _mm_cmpeq_epi8(v, _mm_set1_epi8('\\'))));
            if (const auto mask = static_cast<unsigned>(_mm_movemask_epi8(look))) {
                i_ += static_cast<unsigned>(__builtin_ctz(mask));
                return;
            }
            i_ += 16;
        }
#endif
        while (i_ < s_.size()) {
            const auto c = static_cast<unsigned char>(s_[i_]);
            if (c < 0x20 || c == '"' || c == '\\' || c >= 0x80) return;
            ++i_;
        }
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

    static bool isDigit(char c) {
        return c >= '0' && c <= '9';
    }
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
