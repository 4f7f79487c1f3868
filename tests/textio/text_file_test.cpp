#include "textio/text_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/textio/test_files.h"

namespace {

using namespace textio_test;

// Every test of this fixture runs once per block size: tiny blocks put CR, LF and Ctrl-Z on
// block edges that the real size would only meet in large files.
class TextFileBlocks : public testing::TestWithParam<std::size_t> {
protected:
    TempFolder folder_;
};

INSTANTIATE_TEST_SUITE_P(BlockSizes, TextFileBlocks,
                         testing::Values(std::size_t{1}, std::size_t{2}, std::size_t{7},
                                         std::size_t{512}, TEXT_BLOCK_SIZE));

struct ReadCase {
    std::string name;
    std::string content;
    std::size_t size;  // read_line's size
    std::vector<std::string> lines;
};

std::vector<ReadCase> read_cases() {
    const std::string long_line(9997, 's');
    const std::string x511(511, 'x');
    const std::string x512(512, 'x');
    return {
        {"CR LF and LF", "ab\r\ncd\nef\r\n", 100, {"ab\n", "cd\n", "ef\n"}},
        // At block size 7 the first CR ends a block; at 2 the CR at 11 does, its LF following.
        {"CR anywhere", "abcdef\r\ngh\r\r\ni\rj\n", 100, {"abcdef\n", "gh\n", "ij\n"}},
        {"blank lines", "\n\r\n\n", 100, {"\n", "\n", "\n"}},
        {"Ctrl-Z mid-line", "a\nb\x1a\nc\n", 100, {"a\n", "b"}},
        {"Ctrl-Z first",
         "\x1a"
         "abc\n",
         100,
         {}},
        {"Ctrl-Z ends a block of 7",
         "abcdef\x1a"
         "zz\n",
         100,
         {"abcdef"}},
        {"Ctrl-Z starts a block of 7",
         "abcdef\n\x1a"
         "zz\n",
         100,
         {"abcdef\n"}},
        {"Ctrl-Z ends a block of 512",
         x511 + "\x1a"
                "zz\n",
         1000,
         {x511}},
        {"Ctrl-Z starts a block of 512",
         x512 + "\x1a"
                "zz\n",
         1000,
         {x512}},
        {"CR alone runs lines together", "ab\rcd\ref\r", 100, {"abcdef"}},
        {"CR alone cut by size", "ab\rcd\ref\r", 4, {"abc", "def"}},
        {"line in pieces", "abcdef\n", 3, {"ab", "cd", "ef", "\n"}},
        {"9997 characters", long_line + "\n", 9998, {long_line, "\n"}},
        {"last line without LF", "a\nlast", 100, {"a\n", "last"}},
        {"empty file", "", 100, {}},
    };
}

TEST_P(TextFileBlocks, ReadDropsCrAndStopsAtCtrlZ) {
    const std::string name = folder_.path("in.txt");
    for (const ReadCase& c : read_cases()) {
        SCOPED_TRACE(c.name);
        write_file(name, c.content);
        TextFilePointer file = open_text(name.c_str(), "r", GetParam());
        ASSERT_TRUE(file);
        // One byte beyond size shows a store past the limit.
        std::vector<char> line(c.size + 1);
        for (const std::string& expected : c.lines) {
            std::fill(line.begin(), line.end(), '#');
            const std::size_t count = read_line(line.data(), c.size, *file);
            ASSERT_EQ(count, expected.size());
            EXPECT_EQ(std::string(line.data(), count), expected);
            EXPECT_EQ(line[count], '\0');
            EXPECT_EQ(line[c.size], '#');
        }
        // The end stays the end, and it is not an error.
        EXPECT_EQ(read_line(line.data(), c.size, *file), 0u);
        EXPECT_EQ(read_line(line.data(), c.size, *file), 0u);
        EXPECT_FALSE(text_failed(*file));
        EXPECT_GE(close_text(file), 0);
        EXPECT_FALSE(file);
    }
}

TEST_P(TextFileBlocks, WriteTurnsLfIntoCrLf) {
    const std::string name = folder_.path("out.txt");
    std::string lines;
    for (int i = 0; i < 6400; ++i) {
        lines += "0123456789\n";
    }
    // Texts that fit, that straddle the end of the block, and that exceed any block.
    const std::string text300(300, 't');
    struct Write {
        std::string text;
        int result;
    };
    const Write writes[] = {
        {"S0\n", '\n'}, {"", 0},        {"ab", 'b'},   {"c\nd\n\n", '\n'},   {"\xe9", 0xE9},
        {text300, 't'}, {text300, 't'}, {lines, '\n'}, {"\x82\xa0\n", '\n'}, {"tail", 'l'},
    };
    TextFilePointer file = open_text(name.c_str(), "w", GetParam());
    ASSERT_TRUE(file);
    std::string expected;
    for (const Write& w : writes) {
        EXPECT_EQ(write_text(w.text.c_str(), *file), w.result) << w.text.substr(0, 20);
        expected += with_crlf(w.text);
    }
    // A NUL ends what is written.
    EXPECT_EQ(write_text("p\0q\n", *file), 'p');
    expected += "p";
    EXPECT_FALSE(text_failed(*file));
    EXPECT_GE(close_text(file), 0);
    EXPECT_EQ(read_file(name), expected);
}

TEST_P(TextFileBlocks, RoundTripKeepsOnlyCrLfLineBreaks) {
    const std::string in = folder_.path("in.txt");
    const std::string out = folder_.path("out.txt");
    write_file(in,
               "S0 head\r\nS1 mid\rdle\n\nS2 lf only\nlone cr\r\r\nS9 last\x1a"
               "after\r\n");
    TextFilePointer reader = open_text(in.c_str(), "r", GetParam());
    TextFilePointer writer = open_text(out.c_str(), "w", GetParam());
    ASSERT_TRUE(reader && writer);
    char piece[5];  // small enough to cut most lines into pieces
    while (read_line(piece, sizeof piece, *reader) > 0) {
        ASSERT_GE(write_text(piece, *writer), 0);
    }
    EXPECT_FALSE(text_failed(*reader));
    EXPECT_GE(close_text(reader), 0);
    EXPECT_GE(close_text(writer), 0);
    EXPECT_EQ(read_file(out), "S0 head\r\nS1 middle\r\n\r\nS2 lf only\r\nlone cr\r\nS9 last");
}

TEST(TextFile, OpenFailsOnMissingFilesAndFolders) {
    const TempFolder folder;
    EXPECT_FALSE(open_text(folder.path("missing").c_str(), "r"));
    EXPECT_FALSE(open_text(folder.path().c_str(), "r"));
    EXPECT_FALSE(open_text(folder.path().c_str(), "w"));
    EXPECT_FALSE(open_text(folder.path("missing/out").c_str(), "w"));
    TextFilePointer none;
    EXPECT_EQ(close_text(none), 0);
}

TEST(TextFile, WriteTextOnAFileOpenForReadingFails) {
    const TempFolder folder;
    const std::string name = folder.path("in.txt");
    write_file(name, "S0\r\n");
    TextFilePointer file = open_text(name.c_str(), "r");
    ASSERT_TRUE(file);
    EXPECT_LT(write_text("S9\n", *file), 0);
    EXPECT_LT(write_text("", *file), 0);
    EXPECT_GE(close_text(file), 0);
    EXPECT_EQ(read_file(name), "S0\r\n");
}

// /dev/full accepts the open and fails every write with ENOSPC.
TEST(TextFile, CloseReportsAFailedWritingOut) {
    TextFilePointer file = open_text("/dev/full", "w");
    ASSERT_TRUE(file);
    EXPECT_EQ(write_text("S9\n", *file), '\n');  // only buffered so far
    EXPECT_LT(close_text(file), 0);
    EXPECT_FALSE(file);
}

TEST(TextFile, AfterAFailedWritingOutEveryWriteFails) {
    TextFilePointer file = open_text("/dev/full", "w", 4);
    ASSERT_TRUE(file);
    EXPECT_EQ(write_text("ab", *file), 'b');
    EXPECT_LT(write_text("cdef", *file), 0);  // does not fit: "ab" is written out and fails
    EXPECT_TRUE(text_failed(*file));
    EXPECT_LT(write_text("", *file), 0);
    EXPECT_LT(write_text("x", *file), 0);
    close_text(file);
    EXPECT_FALSE(file);
}

TEST(TextFile, AFailedDirectWriteLeavesTheFileUsable) {
    TextFilePointer file = open_text("/dev/full", "w", 4);
    ASSERT_TRUE(file);
    EXPECT_LT(write_text("longer than the block", *file), 0);
    EXPECT_FALSE(text_failed(*file));
    EXPECT_EQ(write_text("ok", *file), 'k');
    EXPECT_LT(close_text(file), 0);
}

TEST(TextFile, AReadErrorGivesNothing) {
    // The first page of the address space is never mapped: reading it fails with EIO.
    TextFilePointer file = open_text("/proc/self/mem", "r");
    ASSERT_TRUE(file);
    char line[16];
    EXPECT_EQ(read_line(line, sizeof line, *file), 0u);
    EXPECT_TRUE(text_failed(*file));
    EXPECT_EQ(read_line(line, sizeof line, *file), 0u);
    close_text(file);
}

}  // namespace
