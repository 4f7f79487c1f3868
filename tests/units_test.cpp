// What the rows of promises_test.cpp cannot reach: the copy's fast path across tiny blocks, held to
// the model of the text translation; the names made under the Windows rules (Wine aside).
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>

#include "names/path_names.h"
#include "run/input_names.h"
#include "text_model.h"

namespace {

using namespace std::string_literals;

// Random texts, mostly S-record characters with every byte the translation treats apart, and
// lines longer than a piece, through blocks of every size around them.
TEST(CopyText, AgreesWithTheModelAcrossBlocks) {
    const std::string alphabet = "S0123456789ABCDEFS789\n\n\n\r\r\r\n\0\t\x1a"s;
    std::mt19937 random(20261207);
    for (int i = 0; i < 200; ++i) {
        std::string input(random() % 400, ' ');
        for (char& byte : input) {  // Ctrl-Z, which ends everything, in every other text only
            byte = alphabet[random() % (alphabet.size() - static_cast<std::size_t>(i % 2))];
        }
        input += i % 10 == 0 ? std::string(40, 'x') + "\r\n" + std::string(40, 'x') : "";
        for (const std::size_t size : {2U, 3U, 9U, 1022U}) {
            for (const std::size_t from_block : {1U, 7U, 16U, 4096U}) {
                for (const std::size_t to_block : {2U, 16U, 4096U}) {
                    EXPECT_EQ(text_model::copy_differs(input, size, from_block, to_block), "")
                        << testing::PrintToString(input) << ", pieces of " << size - 1
                        << ", blocks " << from_block << " and " << to_block;
                }
            }
        }
    }
}

const std::string HYO = "\x95\x5C";  // a Shift-JIS character whose second byte is "\"

// The names made of an argument under the Windows rules (the POSIX ones are rows of the table):
// as the output, with its default extension; the first work-file name next to it; as an input.
TEST(Names, UnderTheWindowsRules) {
    const std::array<std::string, 4> names[] = {
        {"C:\\dir\\x.s19", "C:\\dir\\x.s19", "C:\\dir\\___00000.___", "C:\\dir\\x.s19"},
        {"file", "file.mot", "___00000.___", "file.MOT"},
        {"file.", "file.mot", "___00000.___", "file.MOT"},
        {"dir.x\\f", "dir.x\\f.mot", "dir.x\\___00000.___", "dir.x\\f.MOT"},
        {"Z:sub\\a.b.c", "Z:sub\\a.b.c", "Z:sub\\___00000.___", "Z:sub\\a.b.c"},
        {"a/b", "a/b.mot", "___00000.___", "a/b.MOT"},
        {HYO + "\\o.x" + HYO, HYO + "\\o.x" + HYO, HYO + "\\___00000.___", HYO + "\\o.x" + HYO},
        {"x\x81", "x\x81.mot", "___00000.___", "x\x81.MOT"},  // the dot becomes a trail byte
    };
    for (const auto& [argument, as_output, work_file, as_input] : names) {
        SCOPED_TRACE(testing::PrintToString(argument));
        const NameRules windows{.slash_separates_folders = false, .utf8_names = false};
        std::array<char, 257> output{}, input{}, work{};
        EXPECT_TRUE(give_default_extension(argument, ".mot", output, windows).fits);
        EXPECT_EQ(output.data(), as_output);
        EXPECT_TRUE(give_default_extension(argument, ".MOT", input, windows).fits);
        EXPECT_EQ(input.data(), as_input);
        const PathPieces pieces = split_path(output.data(), windows);
        const std::string_view folder(output.data(), pieces.drive.size() + pieces.folder.size());
        ASSERT_TRUE(make_path(work, folder, "___00000", "___"));
        EXPECT_EQ(work.data(), work_file);
    }
}

}  // namespace
