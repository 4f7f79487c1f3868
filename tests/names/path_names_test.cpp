#include "names/path_names.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr NameRules POSIX_RULES{true};

NameRules rules_for(bool posix) {
    return posix ? POSIX_RULES : WINDOWS_NAME_RULES;
}

// Bytes that follow every name under test: a function that reads past the end of its view
// picks up a separator, a dot or a colon from them.
constexpr std::string_view AFTER_NAME = "\\Z.q:";

// Holds text followed by AFTER_NAME and gives a view of text alone.
struct PaddedName {
    explicit PaddedName(std::string_view text)
        : bytes(std::string(text) + std::string(AFTER_NAME)), size(text.size()) {}
    std::string_view view() const { return {bytes.data(), size}; }
    std::string bytes;
    std::size_t size;
};

std::string printable(std::string_view text) {
    return testing::PrintToString(std::string(text));
}

// Calls write with a roomy buffer, one that holds expected and its NUL exactly, and one a byte
// short, which must give false and leave that buffer as it was. (A zero-byte buffer would be an
// absent piece, so an empty result gets no short buffer.)
template <typename Write>
void expect_written(std::string_view expected, const Write& write) {
    for (const std::size_t size : {std::size_t{257}, expected.size() + 1, expected.size()}) {
        if (size == 0) {
            continue;
        }
        std::vector<char> buffer(size, '#');
        const bool fits = size > expected.size();
        ASSERT_EQ(write(std::span<char>(buffer)), fits) << "size " << size;
        if (fits) {
            EXPECT_EQ(std::string(buffer.data()), expected);
        } else {
            EXPECT_EQ(buffer, std::vector<char>(size, '#'));
        }
    }
}

TEST(IsLeadByte, FixedShiftJisRanges) {
    const std::pair<unsigned char, bool> cases[] = {
        {0x00, false}, {0x2E, false}, {0x5C, false}, {0x80, false}, {0x81, true},  {0x9F, true},
        {0xA0, false}, {0xDF, false}, {0xE0, true},  {0xFC, true},  {0xFD, false}, {0xFF, false}};
    for (const auto& [byte, lead] : cases) {
        EXPECT_EQ(is_lead_byte(byte), lead) << static_cast<int>(byte);
    }
}

TEST(ByteType, ReadsFromTheStartWhenTheByteBeforeIsInALeadRange) {
    struct Case {
        std::string_view text;
        std::size_t index;
        ByteType type;
    };
    const Case cases[] = {
        {"a", 0, ByteType::single},
        {"\x95", 0, ByteType::lead},
        {"a\x95\x5c", 1, ByteType::lead},
        {"a\x95\x5c", 2, ByteType::trail},      // the "\" of the character 0x95 0x5C
        {"\x81\x95", 1, ByteType::trail},       // a lead-range byte as a trail byte
        {"\x81\x95\x5c", 2, ByteType::single},  // so the "\" after it stands alone
        {"\x81\x81\x81", 2, ByteType::lead},
        {"\x81\x81.", 2, ByteType::single},
        {"\x81.", 1, ByteType::trail},
        {"\xe0\xa0\x81", 2, ByteType::lead},
    };
    for (const Case& c : cases) {
        const PaddedName name(c.text);
        EXPECT_EQ(static_cast<int>(byte_type(name.view(), c.index)), static_cast<int>(c.type))
            << printable(c.text) << " at " << c.index;
    }
}

struct SplitCase {
    std::string_view path;
    bool posix;
    std::array<std::string_view, 4> pieces;  // drive, folder, stem, extension
};

const SplitCase SPLIT_CASES[] = {
    {"C:\\dir\\file.mot", false, {"C:", "\\dir\\", "file", "mot"}},
    {"file", false, {"", "", "file", ""}},
    {"file.", false, {"", "", "file", ""}},
    {"", false, {"", "", "", ""}},
    {".mot", false, {"", "", "", "mot"}},
    {"dir.x\\file", false, {"", "dir.x\\", "file", ""}},
    {"a.b.c", false, {"", "", "a.b", "c"}},
    {"C:file", false, {"C:", "", "file", ""}},
    {"a/b.c", false, {"", "", "a/b", "c"}},
    // Shift-JIS: 0x95 0x5C ends in the byte of "\", which separates nothing.
    {"\x95\x5c", false, {"", "", "\x95\x5c", ""}},
    {"d\\\x95\x5c\\x.y", false, {"", "d\\\x95\x5c\\", "x", "y"}},
    {"a.b\x95\x5c", false, {"", "", "a", "b\x95\x5c"}},
    {"a\x81.b", false, {"", "", "a\x81.b", ""}},  // the "." is a trail byte
    {"ab.\x81", false, {"", "", "ab", "\x81"}},   // a lone lead byte at the end stays
    {"a\\\x81", false, {"", "a\\", "\x81", ""}},
    // A ":" after a "\": the drive runs through the last ":".
    {"a\\b:c", false, {"a\\b:", "", "c", ""}},
    {"a\\b:c\\d", false, {"a\\b:", "c\\", "d", ""}},
    {"a:b:c", false, {"a:b:", "", "c", ""}},
    // A "." before the last ":" still starts the extension.
    {"a.b:c", false, {"a.b:", "", "", "b:c"}},
    {"dir.d/name", true, {"", "dir.d/", "name", ""}},
    {"build/out", true, {"", "build/", "out", ""}},
    {"/tmp/x.mot", true, {"", "/tmp/", "x", "mot"}},
    {"a\\b/c.d", true, {"", "a\\b/", "c", "d"}},
    {"x.\x95/", true, {"", "x.\x95/", "", ""}},  // a lead byte before "/" stands alone
};

TEST(SplitPath, PiecesAloneOrTogether) {
    for (const SplitCase& c : SPLIT_CASES) {
        SCOPED_TRACE(printable(c.path) + (c.posix ? " posix" : " windows"));
        const PaddedName path(c.path);
        const NameRules rules = rules_for(c.posix);
        // Each piece alone: the absent ones before it must still be skipped over.
        for (std::size_t piece = 0; piece < 4; ++piece) {
            expect_written(c.pieces[piece], [&](std::span<char> output) {
                std::array<std::span<char>, 4> pieces{};
                pieces[piece] = output;
                return split_path(path.view(), pieces[0], pieces[1], pieces[2], pieces[3], rules);
            });
        }
        std::array<std::array<char, 257>, 4> buffers{};
        ASSERT_TRUE(split_path(path.view(), buffers[0], buffers[1], buffers[2], buffers[3], rules));
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(std::string(buffers[i].data()), c.pieces[i]) << "piece " << i;
        }
        // An extension that does not fit: the pieces before it are not written either.
        if (!c.pieces[3].empty()) {
            for (auto& buffer : buffers) {
                buffer.fill('#');
            }
            EXPECT_FALSE(split_path(path.view(), buffers[0], buffers[1], buffers[2],
                                    std::span(buffers[3]).first(c.pieces[3].size()), rules));
            for (const auto& buffer : buffers) {
                EXPECT_EQ(buffer[0], '#');
            }
        }
    }
}

TEST(MakePath, JoinsAndFitsExactly) {
    struct Case {
        const char* drive;
        const char* folder;
        const char* stem;
        const char* extension;
        bool posix;
        std::string_view expected;
    };
    const Case cases[] = {
        {"C:", "\\dir\\", "file", "mot", false, "C:\\dir\\file.mot"},
        {"C", "dir", "file", ".mot", false, "C:dir\\file.mot"},
        {"", "", "work", "___", false, "work.___"},
        {nullptr, nullptr, "file", nullptr, false, "file"},
        {nullptr, nullptr, nullptr, nullptr, false, ""},
        {"", "", "", "", false, ""},                    // "." alone is dropped
        {nullptr, nullptr, "file", "", false, "file"},  // "file." loses its "."
        {nullptr, nullptr, "file.", "mot", false, "file.mot"},
        {nullptr, nullptr, "file.", nullptr, false, "file"},
        // A folder ending in ":" is separated only when the drive is absent.
        {nullptr, "C:", "f", nullptr, false, "C:f"},
        {"", "C:", "f", nullptr, false, "C:\\f"},
        // Shift-JIS trail bytes of the values of "\", ":" and ".".
        {nullptr, "\x95\x5c", "f", nullptr, false, "\x95\x5c\\f"},
        {nullptr, "d\\\x95\x5c\\", "f", nullptr, false, "d\\\x95\x5c\\f"},
        {"\x81:", nullptr, "f", nullptr, false, "\x81::f"},
        {nullptr, "\x81:", "f", nullptr, false, "\x81:\\f"},
        {nullptr, nullptr, "\x81\x81.", nullptr, false, "\x81\x81"},
        {nullptr, nullptr, "\x81.", nullptr, false, "\x81."},
        {nullptr, nullptr, "\x81\x81.", "mot", false, "\x81\x81.mot"},
        {nullptr, nullptr, "\x81.", "mot", false, "\x81..mot"},
        {nullptr, "build/", "out", "mot", false, "build/\\out.mot"},
        {nullptr, "build/", "out", "mot", true, "build/out.mot"},
        {"", "/tmp/", "x", "___", true, "/tmp/x.___"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(printable(c.expected) + (c.posix ? " posix" : " windows"));
        expect_written(c.expected, [&](std::span<char> path) {
            return make_path(path, c.drive, c.folder, c.stem, c.extension, rules_for(c.posix));
        });
    }
}

TEST(ExtensionCut, LastDotAfterTheLastSeparator) {
    struct Case {
        std::string_view source;
        bool posix;
        std::size_t cut;
    };
    const Case cases[] = {
        {"a.b.c", false, 3},       {"dir.x\\file", false, 10},
        {"file.", false, 4},       {"", false, 0},
        {"a.b:c", false, 1},       {"a:b.c", false, 3},
        {"a.b\x95\x5c", false, 1}, {"a\x81.b", false, 4},
        {"dir.d/name", false, 3},  {"dir.d/name", true, 10},
        {"d/x.y", true, 3},
    };
    for (const Case& c : cases) {
        const PaddedName source(c.source);
        EXPECT_EQ(extension_cut(source.view(), rules_for(c.posix)), c.cut) << printable(c.source);
    }
}

TEST(ReplaceExtension, ReplacesAddsOrRemovesAlsoInPlace) {
    struct Case {
        std::string_view source;
        std::string_view extension;
        bool posix;
        std::string_view expected;
    };
    const Case cases[] = {
        {"file", "mot", false, "file.mot"},
        {"file", ".mot", false, "file.mot"},
        {"file.txt", "mot", false, "file.mot"},
        {"file.txt", "", false, "file"},
        {"file.txt", ".", false, "file"},
        {"file.", "MOT", false, "file.MOT"},
        {"", "MOT", false, ".MOT"},
        {"", "", false, ""},
        {"x.y", "..z", false, "x..z"},
        {"dir.x\\file", "mot", false, "dir.x\\file.mot"},
        {"a.b.c", "d", false, "a.b.d"},
        {"a.b:c", "x", false, "a.x"},
        {"a.b", "longer", false, "a.longer"},
        {"\x95\x5c", "mot", false, "\x95\x5c.mot"},
        {"a.b\x95\x5c", "c", false, "a.c"},
        {"ab\x81", "mot", false, "ab\x81.mot"},
        {"dir.d/name", "mot", false, "dir.mot"},
        {"dir.d/name", "mot", true, "dir.d/name.mot"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(printable(c.source) + " + " + printable(c.extension));
        const NameRules rules = rules_for(c.posix);
        const PaddedName source(c.source);
        const PaddedName extension(c.extension);
        EXPECT_EQ(replaced_extension_length(source.view(), extension.view(), rules),
                  c.expected.size());
        expect_written(c.expected, [&](std::span<char> destination) {
            return replace_extension(destination, source.view(), extension.view(), rules);
        });
        // The destination holding the source itself.
        std::array<char, 257> buffer{};
        c.source.copy(buffer.data(), c.source.size());
        ASSERT_TRUE(replace_extension(buffer, std::string_view(buffer.data(), c.source.size()),
                                      extension.view(), rules));
        EXPECT_EQ(std::string(buffer.data()), c.expected) << "in place";
    }
}

}  // namespace
