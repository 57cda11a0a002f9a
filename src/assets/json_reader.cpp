#include "assets/json_reader.h"

#include <cstdlib>

namespace assets {

const JsonValue* JsonValue::find(std::string_view name) const {
    const JsonValue* found = nullptr;
    if (kind != Kind::Object) return nullptr;
    for (const auto& [key, value] : members) {
        if (key == name) found = &value;
    }
    return found;
}

namespace {

// Deep enough for any species definition, shallow enough that a hostile file cannot exhaust
// the stack.
constexpr int kMaxDepth = 200;

class Parser {
  public:
    explicit Parser(std::string_view text) : text_(text) {
        if (text_.starts_with("\xEF\xBB\xBF")) pos_ = 3;
    }

    std::optional<JsonValue> document() {
        JsonValue value;
        if (!parseValue(value, 0)) return std::nullopt;
        skipBlanks();
        if (pos_ != text_.size()) return std::nullopt;
        return value;
    }

  private:
    char peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }
    bool take(char c) {
        if (peek() != c) return false;
        ++pos_;
        return true;
    }
    bool takeWord(std::string_view word) {
        if (text_.substr(pos_, word.size()) != word) return false;
        pos_ += word.size();
        return true;
    }
    void skipBlanks() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' ||
                                       text_[pos_] == '\n' || text_[pos_] == '\r'))
            ++pos_;
    }

    bool parseValue(JsonValue& value, int depth) {
        if (depth > kMaxDepth) return false;
        skipBlanks();
        char c = peek();
        if (c == '{') return parseObject(value, depth);
        if (c == '[') return parseArray(value, depth);
        if (c == '"') {
            value.kind = JsonValue::Kind::String;
            return parseString(value.text);
        }
        if (takeWord("true")) {
            value.kind = JsonValue::Kind::Bool;
            value.flag = true;
            return true;
        }
        if (takeWord("false")) {
            value.kind = JsonValue::Kind::Bool;
            return true;
        }
        if (takeWord("null")) return true;
        return parseNumber(value);
    }

    bool parseObject(JsonValue& value, int depth) {
        value.kind = JsonValue::Kind::Object;
        ++pos_;
        skipBlanks();
        if (take('}')) return true;
        for (;;) {
            skipBlanks();
            std::string key;
            if (!parseString(key)) return false;
            skipBlanks();
            if (!take(':')) return false;
            JsonValue member;
            if (!parseValue(member, depth + 1)) return false;
            value.members.emplace_back(std::move(key), std::move(member));
            skipBlanks();
            if (take('}')) return true;
            if (!take(',')) return false;
        }
    }

    bool parseArray(JsonValue& value, int depth) {
        value.kind = JsonValue::Kind::Array;
        ++pos_;
        skipBlanks();
        if (take(']')) return true;
        for (;;) {
            JsonValue item;
            if (!parseValue(item, depth + 1)) return false;
            value.items.push_back(std::move(item));
            skipBlanks();
            if (take(']')) return true;
            if (!take(',')) return false;
        }
    }

    bool parseNumber(JsonValue& value) {
        size_t start = pos_;
        take('-');
        while (pos_ < text_.size() &&
               std::string_view("0123456789.eE+-").find(peek()) != std::string_view::npos)
            ++pos_;
        std::string digits(text_.substr(start, pos_ - start));
        if (digits.empty() || digits == "-") return false;
        char* end = nullptr;
        value.number = std::strtod(digits.c_str(), &end);
        value.kind = JsonValue::Kind::Number;
        return end == digits.c_str() + digits.size();
    }

    std::optional<unsigned> hex4() {
        if (pos_ + 4 > text_.size()) return std::nullopt;
        unsigned code = 0;
        for (int i = 0; i < 4; ++i) {
            char c = text_[pos_++];
            int digit = c >= '0' && c <= '9'   ? c - '0'
                        : c >= 'a' && c <= 'f' ? c - 'a' + 10
                        : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                               : -1;
            if (digit < 0) return std::nullopt;
            code = code * 16 + static_cast<unsigned>(digit);
        }
        return code;
    }

    bool parseEscape(std::string& out);
    bool parseString(std::string& out) {
        if (!take('"')) return false;
        while (pos_ < text_.size()) {
            char c = text_[pos_++];
            if (c == '"') return true;
            if (static_cast<unsigned char>(c) < 0x20) return false;
            if (c != '\\') {
                out += c;
            } else if (!parseEscape(out)) {
                return false;
            }
        }
        return false;
    }

    std::string_view text_;
    size_t pos_ = 0;
};

void appendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

bool Parser::parseEscape(std::string& out) {
    char e = peek();
    ++pos_;
    static constexpr std::string_view plain = "\"\\/bfnrt", meant = "\"\\/\b\f\n\r\t";
    if (size_t i = plain.find(e); e != '\0' && i != std::string_view::npos) {
        out += meant[i];
        return true;
    }
    if (e != 'u') return false;
    auto code = hex4();
    if (!code) return false;
    // A surrogate pair makes one code point; a lone surrogate becomes U+FFFD.
    if (*code >= 0xD800 && *code < 0xDC00 && text_.substr(pos_, 2) == "\\u") {
        size_t back = pos_;
        pos_ += 2;
        auto low = hex4();
        if (low && *low >= 0xDC00 && *low < 0xE000) {
            appendUtf8(out, 0x10000 + ((*code - 0xD800) << 10) + (*low - 0xDC00));
            return true;
        }
        pos_ = back;
    }
    appendUtf8(out, *code >= 0xD800 && *code < 0xE000 ? 0xFFFD : *code);
    return true;
}

}  // namespace

std::optional<JsonValue> parseJson(std::string_view text) {
    return Parser(text).document();
}

}  // namespace assets
