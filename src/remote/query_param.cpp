#include "remote/query_param.h"

#include "bridge/text.h"
#include "platform/ascii.h"

namespace remote {

namespace {

// The two characters after a "%", read as strtol reads hex: digits up to the first
// non-digit. strtol itself would also skip blanks and take a sign or "0x"; the callback never
// needs those, and a value such as "%-1" must not turn into a byte of 0xff.
char percentByte(char first, char second) {
    int value = 0;
    for (char c : {first, second}) {
        int digit = platform::hexDigitValue(c);
        if (digit < 0) break;
        value = value * 16 + digit;
    }
    return static_cast<char>(value);
}

std::string urlDecode(std::string_view text) {
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            bytes += ' ';
        } else if (text[i] == '%' && i + 2 < text.size()) {
            bytes += percentByte(text[i + 1], text[i + 2]);
            i += 2;
        } else {
            bytes += text[i];
        }
    }
    return bridge::fromUtf8(bytes);
}

}  // namespace

std::string_view requestQuery(std::string_view request) {
    std::string_view line = request.substr(0, request.find("\r\n"));
    std::size_t question = line.find('?');
    std::size_t blank = line.rfind(' ');
    if (question == std::string_view::npos || blank == std::string_view::npos || blank < question) {
        return {};
    }
    return line.substr(question + 1, blank - question - 1);
}

std::string queryParam(std::string_view query, std::string_view key) {
    while (true) {
        std::size_t amp = query.find('&');
        std::string_view piece = query.substr(0, amp);
        std::size_t equals = piece.find('=');
        if (equals != std::string_view::npos && piece.substr(0, equals) == key) {
            return urlDecode(piece.substr(equals + 1));
        }
        if (amp == std::string_view::npos) return {};
        query.remove_prefix(amp + 1);
    }
}

}  // namespace remote
