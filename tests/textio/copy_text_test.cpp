// copy_text against a model of what its loop of read_line and write_text does,
// written here byte by byte from the rules of the translation: CRs dropped, the
// data ending at the first Ctrl-Z, pieces of at most size - 1 characters ending
// after an LF, a NUL ending what is written of its piece, LF written as CR LF.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tests/textio/test_files.h"
#include "textio/text_file.h"

namespace {

using namespace textio_test;
using namespace std::string_literals;

struct Copied {
  std::string output;              // the bytes written
  std::vector<std::string> pieces; // every piece handed to the filter, in order
};

// The filter of the merge pass: pieces beginning "S7", "S8" or "S9" are kept
// out.
bool starts_like_a_termination(const char *piece, std::size_t length) {
  return length >= 2 && piece[0] == 'S' && piece[1] >= '7' && piece[1] <= '9';
}

Copied model(const std::string &input, std::size_t size) {
  std::string text;
  for (const char byte : input) {
    if (byte == '\x1a') {
      break;
    }
    if (byte != '\r') {
      text += byte;
    }
  }
  Copied expected;
  if (size < 2) {
    return expected;
  }
  for (std::size_t at = 0; at < text.size();) {
    std::size_t length = 0;
    while (length < size - 1 && at + length < text.size()) {
      if (text[at + length++] == '\n') {
        break;
      }
    }
    const std::string piece = text.substr(at, length);
    at += length;
    expected.pieces.push_back(piece);
    if (!starts_like_a_termination(piece.data(), piece.size())) {
      expected.output += with_crlf(piece.substr(0, piece.find('\0')));
    }
  }
  return expected;
}

bool record_piece(const char *piece, std::size_t length, void *context) {
  static_cast<Copied *>(context)->pieces.emplace_back(piece, length);
  return starts_like_a_termination(piece, length);
}

class CopyText : public testing::Test {
protected:
  // Copies input through files with the given block sizes; the result of
  // copy_text must be true and the input must not have failed.
  Copied copy(const std::string &input, std::size_t size,
              std::size_t from_block, std::size_t to_block) {
    const std::string in = folder_.path("in.txt");
    const std::string out = folder_.path("out.txt");
    write_file(in, input);
    Copied copied;
    TextFilePointer from = open_text(in.c_str(), "r", from_block);
    TextFilePointer to = open_text(out.c_str(), "w", to_block);
    EXPECT_TRUE(from && to);
    if (!from || !to) {
      return copied;
    }
    std::vector<char> line(size + 1, '#');
    EXPECT_TRUE(
        copy_text(*from, *to, line.data(), size, record_piece, &copied));
    EXPECT_EQ(line[size], '#') << "stored past size";
    EXPECT_FALSE(text_failed(*from));
    EXPECT_FALSE(text_failed(*to));
    EXPECT_GE(close_text(from), 0);
    EXPECT_GE(close_text(to), 0);
    copied.output = read_file(out);
    return copied;
  }

  void expect_as_model(const std::string &input, std::size_t size,
                       std::size_t from_block, std::size_t to_block) {
    SCOPED_TRACE("size " + std::to_string(size) + ", blocks " +
                 std::to_string(from_block) + " and " +
                 std::to_string(to_block));
    const Copied expected = model(input, size);
    const Copied copied = copy(input, size, from_block, to_block);
    EXPECT_EQ(copied.output, expected.output);
    EXPECT_EQ(copied.pieces, expected.pieces);
  }

  TempFolder folder_;
};

TEST_F(CopyText, SmallTextsAtEverySizeAndBlock) {
  const std::string long_line(40, 'x');
  const std::vector<std::string> inputs = {
      "",
      "S0 head\nS1 data\nS9 end\n",
      "S0 head\r\nS1 data\r\nS9 end\r\n",
      "S1 no break at the end",
      "S1 CR alone\rin the line\r\n\r\r\nS5\n",
      "S1 ends in CR\r",
      "S1 before\nS1 cut\x1a by Ctrl-Z\nS9 never\n",
      "S1 a\0NUL\nS1 after\r\nS2 \0\r\n\0\n"s,
      "\tS1 tab\t\nS8\t9\n\x01\x19\x1b control bytes\n",
      long_line + "\n" + long_line + "\r\n" + long_line,
      "S9\nS8\nS7",
      "\n\n\r\n\n",
  };
  for (const std::string &input : inputs) {
    SCOPED_TRACE(testing::PrintToString(input));
    for (const std::size_t size : {1U, 2U, 3U, 9U, 1022U}) {
      for (const std::size_t from_block : {1U, 7U, 16U, 4096U}) {
        for (const std::size_t to_block : {1U, 16U, 4096U}) {
          expect_as_model(input, size, from_block, to_block);
        }
      }
    }
  }
}

TEST_F(CopyText, RandomTextsAgreeWithTheModel) {
  // Mostly S-record characters, with every byte the translation treats apart
  // well represented.
  const std::string alphabet = "S0123456789ABCDEFS789\n\n\n\r\r\r\n\0\x1a\t"s;
  std::mt19937 random(20261206);
  for (int round = 0; round < 300; ++round) {
    std::string input(random() % 400, ' ');
    for (char &byte : input) {
      byte = alphabet[random() % alphabet.size()];
    }
    if (round % 2 == 0) {
      // Ctrl-Z, which ends everything, only now and then.
      for (char &byte : input) {
        if (byte == '\x1a') {
          byte = 'S';
        }
      }
    }
    const std::size_t sizes[] = {2, 5, 30, 1022};
    const std::size_t blocks[] = {1, 7, 16, 64, TEXT_BLOCK_SIZE};
    SCOPED_TRACE(testing::PrintToString(input));
    expect_as_model(input, sizes[random() % 4], blocks[random() % 5],
                    blocks[random() % 5]);
  }
}

TEST_F(CopyText, LargeFilesOfRecordsAtTheRealSizes) {
  // Many blocks of LF and of CR LF lines, with lines long enough to be cut into
  // pieces.
  for (const char *line_break : {"\n", "\r\n"}) {
    std::string input;
    for (int i = 0; i < 40000; ++i) {
      input +=
          "S1130000" + std::to_string(i * 7919 % 100000) + "0123456789ABCDEF";
      if (i % 997 == 0) {
        input += std::string(12000, 'L'); // longer than a merge piece
      }
      input += i % 5000 == 4999 ? "S9030000FC" : "";
      input += line_break;
    }
    SCOPED_TRACE(line_break[0] == '\r' ? "CR LF" : "LF");
    expect_as_model(input, 9998, TEXT_BLOCK_SIZE, TEXT_BLOCK_SIZE);
    expect_as_model(input, 1022, TEXT_BLOCK_SIZE, TEXT_BLOCK_SIZE);
    expect_as_model(input, 9998, 1000, 777);
  }
}

TEST_F(CopyText, AFailedWriteStopsTheCopy) {
  const std::string in = folder_.path("in.txt");
  write_file(in, std::string(100, 'a') + "\n" + std::string(100, 'b') + "\n");
  TextFilePointer from = open_text(in.c_str(), "r");
  // /dev/full takes the open and fails every write: with a block of 64 bytes
  // the first piece is written out directly and fails.
  TextFilePointer to = open_text("/dev/full", "w", 64);
  ASSERT_TRUE(from && to);
  char line[200];
  Copied copied;
  EXPECT_FALSE(copy_text(*from, *to, line, sizeof line, record_piece, &copied));
  EXPECT_EQ(copied.pieces.size(),
            1u); // the copy stopped at the piece whose write failed
  EXPECT_FALSE(text_failed(*from));
  close_text(from);
  close_text(to);
}

TEST_F(CopyText, AFailedWritingOutFailsEveryLaterPiece) {
  const std::string in = folder_.path("in.txt");
  write_file(in, "S1 first\nS1 second\nS1 third\n");
  TextFilePointer from = open_text(in.c_str(), "r");
  TextFilePointer to = open_text("/dev/full", "w", 12);
  ASSERT_TRUE(from && to);
  EXPECT_EQ(write_text("0123456789", *to),
            '9'); // buffered: the next text does not fit
  char line[100];
  EXPECT_FALSE(copy_text(*from, *to, line, sizeof line));
  EXPECT_TRUE(text_failed(*to));
  // The input goes on where the copy stopped: after the first piece.
  EXPECT_EQ(read_line(line, sizeof line, *from), std::strlen("S1 second\n"));
  close_text(from);
  close_text(to);
}

TEST_F(CopyText, AReadErrorEndsTheCopyAndIsTold) {
  // The first page of the address space is never mapped: reading it fails.
  TextFilePointer from = open_text("/proc/self/mem", "r");
  const std::string out = folder_.path("out.txt");
  TextFilePointer to = open_text(out.c_str(), "w");
  ASSERT_TRUE(from && to);
  char line[100];
  EXPECT_TRUE(copy_text(*from, *to, line, sizeof line));
  EXPECT_TRUE(text_failed(*from));
  EXPECT_GE(close_text(to), 0);
  EXPECT_EQ(read_file(out), "");
  close_text(from);
}

TEST_F(CopyText, FilesInTheWrongModeCopyNothing) {
  const std::string in = folder_.path("in.txt");
  const std::string out = folder_.path("out.txt");
  write_file(in, "S1 data\n");
  TextFilePointer reader = open_text(in.c_str(), "r");
  TextFilePointer writer = open_text(out.c_str(), "w");
  ASSERT_TRUE(reader && writer);
  char line[100];
  // Reading from a file open for writing gives nothing: nothing to copy.
  EXPECT_TRUE(copy_text(*writer, *reader, line, sizeof line));
  // Writing to a file open for reading fails at the first piece.
  EXPECT_FALSE(copy_text(*reader, *reader, line, sizeof line));
  close_text(reader);
  EXPECT_GE(close_text(writer), 0);
  EXPECT_EQ(read_file(out), "");
}

} // namespace
