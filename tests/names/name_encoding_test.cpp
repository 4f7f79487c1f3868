// The choice between the UTF-8 and the Shift-JIS scan, and what it changes in each scan.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "names/path_names.h"

namespace {

constexpr NameRules UTF8_RULES{.slash_separates_folders = true, .utf8_names = true};
constexpr NameRules SHIFT_JIS_RULES{.slash_separates_folders = true, .utf8_names = false};

// UTF-8 names whose last byte, 0x81, 0x86 or 0x88, is a Shift-JIS lead byte: the fixed scan
// takes the byte after it for its trail byte.
const std::string A_MACRON = "\xc4\x81";                            // ā
const std::string CYRILLIC_ES = "\xd1\x81";                         // с
const std::string TESUTO = "\xe3\x83\x86\xe3\x82\xb9\xe3\x83\x88";  // テスト
const std::string HYO = "\x95\x5c";  // 表 in Shift-JIS: its second byte is "\"

std::string printable(std::string_view text) {
    return testing::PrintToString(std::string(text));
}

TEST(NameEncoding, Utf8OnlyForValidUtf8BeyondAscii) {
    struct Case {
        std::string name;
        NameEncoding encoding;  // under UTF8_RULES
    };
    const Case cases[] = {
        {"", NameEncoding::shift_jis},
        {"plain/a.mot", NameEncoding::shift_jis},  // ASCII reads the same either way
        {TESUTO + ".mot", NameEncoding::utf8},
        {A_MACRON + "/", NameEncoding::utf8},
        {"\xc2\x80", NameEncoding::utf8},          // U+0080, the first two-byte character
        {"\xe0\xa0\x80", NameEncoding::utf8},      // U+0800
        {"\xed\x9f\xbf", NameEncoding::utf8},      // U+D7FF, just below the surrogates
        {"\xf0\x9f\x98\x80", NameEncoding::utf8},  // U+1F600
        {"\xf4\x8f\xbf\xbf", NameEncoding::utf8},  // U+10FFFF
        {HYO, NameEncoding::shift_jis},            // raw Shift-JIS
        {"\x83\x65\x83\x58\x83\x67", NameEncoding::shift_jis},  // テスト in Shift-JIS
        {TESUTO + HYO, NameEncoding::shift_jis},                // one invalid byte decides
        {"\x81", NameEncoding::shift_jis},                      // a stray continuation byte
        {"\xc0\xaf", NameEncoding::shift_jis},                  // "/" in an overlong form
        {"\xc1\xbf", NameEncoding::shift_jis},
        {"\xe0\x9f\xbf", NameEncoding::shift_jis},      // overlong
        {"\xf0\x8f\xbf\xbf", NameEncoding::shift_jis},  // overlong
        {"\xed\xa0\x80", NameEncoding::shift_jis},      // a surrogate
        {"\xf4\x90\x80\x80", NameEncoding::shift_jis},  // above U+10FFFF
        {"\xf5\x80\x80\x80", NameEncoding::shift_jis},
        {"\xe3\x83", NameEncoding::shift_jis},   // cut off at the end
        {"\xe3\x83/", NameEncoding::shift_jis},  // cut off by an ASCII byte
    };
    for (const Case& c : cases) {
        EXPECT_EQ(name_encoding(c.name, UTF8_RULES), c.encoding) << printable(c.name);
        EXPECT_EQ(name_encoding(c.name, SHIFT_JIS_RULES), NameEncoding::shift_jis)
            << printable(c.name);
    }
}

TEST(NameEncoding, PiecesAreReadAsOneName) {
    struct Case {
        std::vector<std::string_view> pieces;
        NameEncoding encoding;
    };
    const std::string folder = A_MACRON + "/";
    const Case cases[] = {
        {{}, NameEncoding::shift_jis},
        {{"a/", "out"}, NameEncoding::shift_jis},
        {{"", folder, "___00000", "___"}, NameEncoding::utf8},
        {{folder, HYO}, NameEncoding::shift_jis},     // one piece is not UTF-8
        {{"\xc4", "\x81"}, NameEncoding::shift_jis},  // UTF-8 only when joined
    };
    for (const Case& c : cases) {
        EXPECT_EQ(name_encoding(c.pieces, UTF8_RULES), c.encoding) << c.pieces.size();
    }
}

// Where the Shift-JIS scan would take a ".", "/" or ":" for a trail byte, a UTF-8 name keeps
// them; a name that is not UTF-8 keeps the Shift-JIS result exactly.
TEST(NameEncoding, ScansOfSplitPathAndReplaceExtension) {
    struct Case {
        std::string path;
        std::array<std::string, 4> pieces;  // drive, folder, stem, extension
        std::string as_input;               // replace_extension with "MOT" when it has none
    };
    const Case cases[] = {
        {TESUTO + ".mot", {"", "", TESUTO, "mot"}, TESUTO + ".mot"},
        {A_MACRON + "/out", {"", A_MACRON + "/", "out", ""}, A_MACRON + "/out.MOT"},
        {CYRILLIC_ES + "/" + A_MACRON + "/x",
         {"", CYRILLIC_ES + "/" + A_MACRON + "/", "x", ""},
         CYRILLIC_ES + "/" + A_MACRON + "/x.MOT"},
        {"d." + A_MACRON + "/x", {"", "d." + A_MACRON + "/", "x", ""}, "d." + A_MACRON + "/x.MOT"},
        {A_MACRON + "\\x.y", {"", A_MACRON + "\\", "x", "y"}, A_MACRON + "\\x.y"},
        {A_MACRON + ":x", {A_MACRON + ":", "", "x", ""}, A_MACRON + ":x.MOT"},
        {TESUTO + ".", {"", "", TESUTO, ""}, TESUTO + ".MOT"},
        // Not UTF-8: the fixed scan, trail bytes and all.
        {HYO, {"", "", HYO, ""}, HYO + ".MOT"},
        {"x.\x95/", {"", "x.\x95/", "", ""}, "x.\x95/.MOT"},  // a lead byte before "/" alone
        {A_MACRON + "/" + HYO, {"", A_MACRON + "/", HYO, ""}, A_MACRON + "/" + HYO + ".MOT"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(printable(c.path));
        std::array<std::array<char, 257>, 4> pieces{};
        ASSERT_TRUE(split_path(c.path, pieces[0], pieces[1], pieces[2], pieces[3], UTF8_RULES));
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(std::string(pieces[i].data()), c.pieces[i]) << "piece " << i;
        }
        EXPECT_EQ(extension_of(c.path, UTF8_RULES), c.pieces[3]);
        std::array<char, 257> replaced{};
        const std::string added = c.pieces[3].empty() ? "MOT" : c.pieces[3];
        ASSERT_TRUE(replace_extension(replaced, c.path, added, UTF8_RULES));
        EXPECT_EQ(std::string(replaced.data()), c.as_input);
        EXPECT_EQ(replaced_extension_length(c.path, added, UTF8_RULES), c.as_input.size());
    }
}

TEST(NameEncoding, MakePathChecksOfTheLastByte) {
    struct Case {
        const char* what;
        std::array<const char*, 4> pieces;  // drive, folder, stem, extension
        std::string utf8;                   // made under UTF8_RULES
        std::string shift_jis;              // made under SHIFT_JIS_RULES
    };
    const std::string folder = A_MACRON + "/";
    const std::string stem_dot = A_MACRON + ".";
    const std::string drive = A_MACRON + ":";
    const Case cases[] = {
        {"folder ends in a separator",
         {nullptr, folder.c_str(), "___00000", "___"},
         A_MACRON + "/___00000.___",
         A_MACRON + "/___00000.___"},
        {"folder without separator",
         {nullptr, CYRILLIC_ES.c_str(), "x", nullptr},
         CYRILLIC_ES + "/x",
         CYRILLIC_ES + "/x"},
        {"stem ends in a dot",
         {nullptr, nullptr, stem_dot.c_str(), "mot"},
         A_MACRON + ".mot",
         A_MACRON + "..mot"},
        {"final dot dropped",
         {nullptr, nullptr, stem_dot.c_str(), nullptr},
         A_MACRON,
         A_MACRON + "."},
        {"drive ends in a colon",
         {drive.c_str(), nullptr, "x", nullptr},
         A_MACRON + ":x",
         A_MACRON + "::x"},
        {"one piece not UTF-8",
         {nullptr, folder.c_str(), HYO.c_str(), nullptr},
         A_MACRON + "/" + HYO,
         A_MACRON + "/" + HYO},
    };
    for (const Case& c : cases) {
        const auto& [d, f, s, e] = c.pieces;
        std::array<char, 257> made{};
        ASSERT_TRUE(make_path(made, d, f, s, e, UTF8_RULES)) << c.what;
        EXPECT_EQ(std::string(made.data()), c.utf8) << c.what;
        ASSERT_TRUE(make_path(made, d, f, s, e, SHIFT_JIS_RULES)) << c.what;
        EXPECT_EQ(std::string(made.data()), c.shift_jis) << c.what;
        // The length measured first is the one written.
        std::vector<char> exact(c.utf8.size() + 1);
        EXPECT_TRUE(make_path(exact, d, f, s, e, UTF8_RULES)) << c.what;
        std::vector<char> short_by_one(c.utf8.size());
        EXPECT_FALSE(make_path(short_by_one, d, f, s, e, UTF8_RULES)) << c.what;
    }
}

}  // namespace
