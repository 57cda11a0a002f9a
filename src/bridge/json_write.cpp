#include "bridge/json_write.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "bridge/text.h"

namespace {

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
    static const char hex[] = "0123456789abcdef";
    const char* data = text.data();
    const std::size_t size = text.size();
    std::size_t i = 0, copied = 0;
    while (i < size) {
        if (i + 8 <= size) {
            std::uint64_t mask = lookMask8(data + i);
            if (mask == 0) {
                i += 8;
                continue;
            }
            i += static_cast<std::size_t>(__builtin_ctzll(mask)) >> 3;
        }
        unsigned char c = static_cast<unsigned char>(data[i]);
        if (c >= 0x20 && c != '"' && c != '\\' && c < 0x80) {
            ++i;
            continue;
        }
        if (c >= 0x80) {
            std::size_t length = wellFormedLength(text, i);
            if (length) {
                i += length;
                continue;
            }
        }
        out.append(data + copied, i - copied);
        switch (c) {
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                if (c < 0x20) {
                    out += "\\u00";
                    out += hex[c >> 4];
                    out += hex[c & 15];
                } else {
                    // Not well-formed UTF-8: the message must stay valid JSON whatever a
                    // file or a name holds, so the bytes become U+FFFD as fromUtf8 does.
                    out += "\xEF\xBF\xBD";
                    i += utf8IllFormedLength(text, i) - 1;
                }
        }
        ++i;
        copied = i;
    }
    out.append(data + copied, size - copied);
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
