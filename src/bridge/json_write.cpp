#include "bridge/json_write.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "bridge/text.h"

namespace {

// True when one of the eight bytes is below 0x20, a quote, a backslash or not ASCII: only
// such bytes need more than a copy. Plain text thus moves eight bytes per step.
inline bool needsLook8(const char* p) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    constexpr std::uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
    auto hasZero = [&](std::uint64_t v) { return (v - ones) & ~v & highs; };
    std::uint64_t control = (w - ones * 0x20) & ~w & highs;  // a byte below 0x20
    std::uint64_t quote = hasZero(w ^ (ones * '"'));
    std::uint64_t backslash = hasZero(w ^ (ones * '\\'));
    return ((control | quote | backslash) != 0) || (w & highs) != 0;
}

}  // namespace

void appendJsonEscaped(std::string& out, std::string_view text) {
    static const char hex[] = "0123456789abcdef";
    const char* data = text.data();
    const std::size_t size = text.size();
    std::size_t i = 0, copied = 0;
    while (i < size) {
        if (i + 8 <= size && !needsLook8(data + i)) {
            i += 8;
            continue;
        }
        unsigned char c = static_cast<unsigned char>(data[i]);
        if (c >= 0x20 && c != '"' && c != '\\' && c < 0x80) {
            ++i;
            continue;
        }
        if (c >= 0x80) {
            std::size_t length = utf8SequenceLength(text, i);
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
