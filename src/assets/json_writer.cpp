#include "assets/json_writer.h"

#include <cmath>
#include <cstdio>

namespace assets {

namespace {

// Length of the valid UTF-8 sequence starting at `at`, or 0 when the bytes there are not one.
size_t utf8Length(std::string_view text, size_t at) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(at);
    size_t length = lead < 0x80                   ? 1
                    : lead >= 0xC2 && lead < 0xE0 ? 2
                    : lead >= 0xE0 && lead < 0xF0 ? 3
                    : lead >= 0xF0 && lead < 0xF5 ? 4
                                                  : 0;
    if (length == 0 || at + length > text.size()) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
    }
    // Overlong forms, surrogates and code points above U+10FFFF are not UTF-8 either.
    if (lead == 0xE0 && byte(at + 1) < 0xA0) return 0;
    if (lead == 0xED && byte(at + 1) >= 0xA0) return 0;
    if (lead == 0xF0 && byte(at + 1) < 0x90) return 0;
    if (lead == 0xF4 && byte(at + 1) >= 0x90) return 0;
    return length;
}

}  // namespace

std::string jsonEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        size_t length = utf8Length(text, i);
        if (length == 0) {
            out += "\\ufffd";
            ++i;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
            out += buffer;
        } else {
            out.append(text.substr(i, length));
        }
        i += length;
    }
    return out;
}

JsonWriter& JsonWriter::key(std::string_view name) {
    separate();
    text_ += '"' + jsonEscape(name) + "\": ";
    afterKey_ = true;
    return *this;
}

JsonWriter& JsonWriter::value(std::string_view text) {
    return raw('"' + jsonEscape(text) + '"');
}

JsonWriter& JsonWriter::value(long long number) {
    return raw(std::to_string(number));
}

JsonWriter& JsonWriter::value(double number) {
    if (!std::isfinite(number)) return raw("0");
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.3f", number);
    std::string text = buffer;
    while (text.back() == '0')
        text.pop_back();
    if (text.back() == '.') text.pop_back();
    if (text == "-0") text = "0";
    return raw(text);
}

JsonWriter& JsonWriter::value(bool flag) {
    return raw(flag ? "true" : "false");
}

JsonWriter& JsonWriter::open(char bracket) {
    separate();
    text_ += bracket;
    empty_.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::close(char bracket) {
    bool wasEmpty = empty_.back();
    empty_.pop_back();
    if (!wasEmpty) newline();
    text_ += bracket;
    return *this;
}

JsonWriter& JsonWriter::raw(std::string_view token) {
    separate();
    text_ += token;
    return *this;
}

void JsonWriter::separate() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (empty_.empty()) return;
    if (!empty_.back()) text_ += ',';
    empty_.back() = false;
    newline();
}

void JsonWriter::newline() {
    text_ += '\n';
    text_.append(empty_.size() * 2, ' ');
}

}  // namespace assets
