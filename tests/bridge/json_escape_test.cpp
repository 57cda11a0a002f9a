// The escaper's fast kernels held against its rules written out plainly, byte by byte: any
// byte a fast path gets wrong shows up here as a difference.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/json_escape_kernels.h"
#include "bridge/json_write.h"

namespace bridge {

namespace {

// Unicode's table of well-formed UTF-8: how many bytes a lead byte starts, and the range its
// second byte must lie in (the later ones are always 80 to BF). 0 for no lead byte.
struct Lead {
    std::size_t length;
    unsigned secondLow, secondHigh;
};

Lead leadOf(unsigned char c) {
    if (c >= 0xC2 && c <= 0xDF) return {2, 0x80, 0xBF};
    if (c == 0xE0) return {3, 0xA0, 0xBF};
    if (c == 0xED) return {3, 0x80, 0x9F};
    if (c >= 0xE1 && c <= 0xEF) return {3, 0x80, 0xBF};
    if (c == 0xF0) return {4, 0x90, 0xBF};
    if (c >= 0xF1 && c <= 0xF3) return {4, 0x80, 0xBF};
    if (c == 0xF4) return {4, 0x80, 0x8F};
    return {0, 0, 0};
}

// The rules one byte at a time: the five short escapes, \u00xx for other control bytes,
// well-formed characters as they are, and one U+FFFD for each maximal ill-formed part (a
// lead byte with the continuation bytes that still fit it).
std::string referenceEscape(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if (c == '\t') {
                out += "\\t";
            } else if (c == '\n') {
                out += "\\n";
            } else if (c == '\r') {
                out += "\\r";
            } else if (c == '"') {
                out += "\\\"";
            } else if (c == '\\') {
                out += "\\\\";
            } else if (c < 0x20) {
                char code[8];
                std::snprintf(code, sizeof code, "\\u%04x", c);
                out += code;
            } else {
                out += static_cast<char>(c);
            }
            ++i;
            continue;
        }
        const Lead lead = leadOf(c);
        std::size_t fit = 1;
        while (lead.length && fit < lead.length && i + fit < text.size()) {
            const auto b = static_cast<unsigned char>(text[i + fit]);
            const unsigned low = fit == 1 ? lead.secondLow : 0x80;
            const unsigned high = fit == 1 ? lead.secondHigh : 0xBF;
            if (b < low || b > high) break;
            ++fit;
        }
        if (lead.length && fit == lead.length)
            out.append(text.substr(i, fit));
        else
            out += "\xEF\xBF\xBD";
        i += fit;
    }
    return out;
}

std::string escapeWith(json_escape::Kernel kernel, std::string_view text) {
    std::string out(json_escape::room(text.size()), '\0');
    out.resize(static_cast<std::size_t>(kernel(out.data(), text) - out.data()));
    return out;
}

// Every way one kernel and the public functions can be asked for the escaped text.
void expectAllAgree(std::string_view text, const std::string& what) {
    const std::string want = referenceEscape(text);
    for (const json_escape::NamedKernel& kernel : json_escape::available())
        ASSERT_EQ(escapeWith(kernel.escape, text), want) << kernel.name << ", " << what;
    ASSERT_EQ(jsonEscape(text), want) << what;
    std::string appended = "prefix";
    appendJsonEscaped(appended, text);
    ASSERT_EQ(appended, "prefix" + want) << what;
}

// Pieces the text is made of: plain runs, every escape, well-formed characters of each
// length, and ill-formed ones of every kind (stray continuations, bad leads, overlong forms,
// encoded surrogates, beyond U+10FFFF, cut off).
const std::vector<std::string> kPieces = {
    "a",
    "plain text ",
    "0123456789abcdefghij",
    "\"",
    "\\",
    "\t",
    "\n",
    "\r",
    "/",
    "\x7f",
    "\x01",
    "\x1f",
    std::string(1, '\0'),
    "\x08\x0c",
    "é",
    "ß",
    "–",
    "恐竜",
    "€",
    "😀",
    "\U0010FFFF",
    "\xC2\x80",
    "\xEF\xBF\xBF",
    "\x80",
    "\xBF",
    "\xC0\xAF",
    "\xC1\xBF",
    "\xE0\x80\xAF",
    "\xE0\x9F\xBF",
    "\xED\xA0\x80",
    "\xED\xBF\xBF",
    "\xF0\x8F\xBF\xBF",
    "\xF4\x90\x80\x80",
    "\xF5\x80\x80\x80",
    "\xFF",
    "\xFE",
    "\xC3",
    "\xE2\x82",
    "\xF0\x9F\x98",
    "\xF0\x9F",
};

std::string randomText(std::mt19937& random, std::size_t atLeast) {
    std::string text;
    while (text.size() < atLeast) {
        const unsigned kind = random() % 8;
        if (kind == 0) {
            text.append(random() % 40, static_cast<char>('a' + random() % 26));
        } else if (kind == 1) {
            text += static_cast<char>(random());
        } else {
            text += kPieces[random() % kPieces.size()];
        }
    }
    return text;
}

}  // namespace

TEST(JsonEscapeKernelTest, EveryByteAloneAndInEveryLane) {
    // Each byte value at each position of a chunk of sixteen and across the chunk's end, with
    // plain bytes or a two-byte escape around it.
    for (int byte = 0; byte < 256; ++byte) {
        for (std::size_t pos = 0; pos < 40; ++pos) {
            for (const char filler : {'x', '"'}) {
                std::string text(40, filler);
                text[pos] = static_cast<char>(byte);
                expectAllAgree(text, "byte " + std::to_string(byte) + " at " + std::to_string(pos) +
                                         " among " + filler);
            }
        }
    }
}

TEST(JsonEscapeKernelTest, EveryPieceAtEveryPositionAndCutAtEveryLength) {
    for (const std::string& piece : kPieces) {
        for (std::size_t pos = 0; pos < 36; ++pos) {
            std::string text = std::string(pos, 'x') + piece + "\"tail\n" + piece + "é";
            // Every cut, so characters that end the text early are seen at every position.
            for (std::size_t length = 0; length <= text.size(); ++length)
                expectAllAgree(std::string_view(text).substr(0, length),
                               "piece " + referenceEscape(piece) + " at " + std::to_string(pos) +
                                   " cut to " + std::to_string(length));
        }
    }
}

TEST(JsonEscapeKernelTest, RandomTextsOfEveryDensity) {
    std::mt19937 random(20261210);
    for (int round = 0; round < 3000; ++round) {
        const std::string text = randomText(random, random() % 200);
        expectAllAgree(text, "round " + std::to_string(round));
    }
}

TEST(JsonEscapeKernelTest, LongTextsAcrossTheStepsOfTheAppend) {
    // appendJsonEscaped escapes long texts a slice at a time: a character at any place around
    // a slice's end must come out as in one piece.
    std::mt19937 random(99);
    for (const std::string& piece : kPieces) {
        for (std::size_t offset = 16 * 1024 - 5; offset <= 16 * 1024 + 1; ++offset) {
            std::string text(offset, 'y');
            text += piece + piece + randomText(random, 20000);
            expectAllAgree(text,
                           "piece " + referenceEscape(piece) + " at " + std::to_string(offset));
        }
    }
}

TEST(JsonEscapeKernelTest, PiecesEscapedOneAfterAnotherGiveTheWhole) {
    // A file read a block at a time: the bytes a piece leaves over go to the front of the
    // next, and the last piece is escaped whole.
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        const std::string text = randomText(random, 300);
        const std::string want = referenceEscape(text);
        for (std::size_t piece : {1, 2, 3, 5, 16, 17, 64}) {
            std::string out, carried;
            std::size_t at = 0;
            while (at < text.size()) {
                carried += text.substr(at, piece);
                at += piece;
                const std::size_t done = appendJsonEscapedPart(out, carried);
                ASSERT_GE(done + 3, carried.size());
                carried.erase(0, done);
            }
            appendJsonEscaped(out, carried);
            ASSERT_EQ(out, want) << "round " << round << ", pieces of " << piece;
        }
    }
}

}  // namespace bridge
