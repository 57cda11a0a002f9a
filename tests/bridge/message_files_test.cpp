#include "bridge/message_files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "bridge/json_write.h"
#include "support/held_files.h"
#include "support/test_app.h"

namespace bridge {

namespace {

// Characters and broken sequences of every length, to stand across the end of a block.
const std::vector<std::string> kAcrossBlocks = {
    "\"",       "\n",       "\x01",         "é",        "恐",           "😀",
    "\xC3",     "\xE2\x82", "\xF0\x9F\x98", "\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80",
    "\xC0\xAF", "\xFF",
};

std::string escapedFromFile(const std::string& path) {
    std::optional<platform::ReadableFile> file = openDocument(path);
    EXPECT_TRUE(file);
    std::string out = "before";
    if (file) appendFileEscaped(out, *file);
    return out;
}

}  // namespace

TEST(MessageFilesTest, EscapedFromTheFileAsFromItsBytesWhereverABlockEnds) {
    // Read a block of 32 KiB at a time: every piece placed so that the end of the first or
    // second block falls before it, inside it or after it.
    TempDir dir;
    const std::string path = dir / "document.json";
    for (const std::string& piece : kAcrossBlocks) {
        for (const std::size_t block : {32u * 1024, 64u * 1024}) {
            for (std::size_t at = block - 4; at <= block + 1; ++at) {
                std::string bytes(at, 'a');
                bytes += piece + "tail \"quoted\"\n" + piece;
                writeText(path, bytes);
                EXPECT_EQ(escapedFromFile(path), "before" + jsonEscape(bytes))
                    << jsonEscape(piece) << " at " << at;
            }
        }
    }
}

TEST(MessageFilesTest, FilesOfEverySizeAndNone) {
    TempDir dir;
    const std::string path = dir / "file";
    for (const std::size_t size : {0u, 1u, 15u, 16u, 17u, 100u, 70'000u}) {
        std::string bytes;
        for (std::size_t i = 0; i < size; ++i)
            bytes += static_cast<char>(i * 37 + 11);
        writeText(path, bytes);
        EXPECT_EQ(escapedFromFile(path), "before" + jsonEscape(bytes)) << size;
        std::optional<platform::ReadableFile> file = openDocument(path);
        ASSERT_TRUE(file);
        EXPECT_EQ(file->size, size);
        std::string raw = "before";
        appendFileBytes(raw, *file);
        EXPECT_EQ(raw, "before" + bytes) << size;
    }
    // What cannot be read as a document is no document, as for readFileBytes.
    EXPECT_FALSE(openDocument(dir / "missing"));
    EXPECT_FALSE(openDocument(dir.path()));
}

TEST(MessageFilesTest, AFileThatGrowsAfterItWasOpenedIsReadToItsNewEnd) {
    TempDir dir;
    const std::string path = dir / "growing.log";
    writeText(path, "first part\n");
    std::optional<platform::ReadableFile> raw = openDocument(path);
    std::optional<platform::ReadableFile> escaped = openDocument(path);
    ASSERT_TRUE(raw && escaped);
    {
        std::ofstream more(utf8Path(path), std::ios::binary | std::ios::app);
        more << std::string(40'000, 'x') << "\"end\"";
    }
    std::string bytes = readText(path), out;
    appendFileBytes(out, *raw);
    EXPECT_EQ(out, bytes);
    out.clear();
    appendFileEscaped(out, *escaped);
    EXPECT_EQ(out, jsonEscape(bytes));
}

TEST(MessageFilesTest, AFileAnotherProgramWritesIsStillRead) {
    TempDir dir;
    const std::string path = dir / "live.log";
    HeldForWriting writer(path, "being written \"now\"");
    ASSERT_TRUE(writer.holds());
    EXPECT_EQ(escapedFromFile(path), "before" + jsonEscape("being written \"now\""));
}

TEST(MessageFilesTest, AReservedMessageIsNotMovedByTheEscapingItWasReservedFor) {
    // Escaping claims room ahead for the worst case; the reservation covers that claim.
    std::string message = reservedMessage(4000);
    const char* const start = message.data();
    message += "{\"text\":";
    appendJsonString(message, std::string(1000, '"'));
    appendJsonString(message, std::string(1000, 'x'));
    EXPECT_EQ(message.data(), start);
    EXPECT_EQ(message.size(), 8 + 2002 + 1002u);
}

}  // namespace bridge
