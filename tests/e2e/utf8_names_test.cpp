// UTF-8 names on a POSIX build: a name that is UTF-8 is scanned by UTF-8 characters, so no byte
// of a character is taken for "." or "/"; raw Shift-JIS names keep the Shift-JIS rules. The
// UTF-8 names chosen end in bytes that are Shift-JIS lead bytes (0x81, 0x86, 0x88), after which
// the Shift-JIS scan would swallow the ".", "/" or ":" that follows.
#include <string>
#include <vector>

#include "console_text.h"
#include "harness.h"

namespace {

const std::string FALLBACK = "S804FFDE40DE\r\n";
const std::string MERGED = "S1A\r\nS1B\r\n" + FALLBACK;
const std::string A_MACRON = "\xc4\x81";     // ā
const std::string CYRILLIC_ES = "\xd1\x81";  // с
const std::string HYO = "\x95\x5c";          // 表 in Shift-JIS

// A folder named like the first work-file candidate: a run whose work file would go to the top
// folder ends with exit code 1, so a published output proves the work file went elsewhere.
const Entry TOP_CANDIDATE_BLOCKED = folder_entry("___00000.___");

struct Utf8Case {
    const char* title;
    std::vector<Entry> entries;  // two inputs holding S1A and S1B, and anything else
    std::vector<std::string> args;
    std::string output;  // as reported, and where it is published
};

std::vector<Utf8Case> utf8_cases() {
    return {
        {"ExtensionAfterUtf8Stem",
         {{"テスト.mot", "S1A\n"}, {"データ.MOT", "S1B\n"}},
         {"テスト.mot+データ", "out"},
         "out.mot"},
        {"OutputExtensionAfterUtf8Stem",
         {{"a.MOT", "S1A\n"}, {"b.MOT", "S1B\n"}},
         {"a+b", "テスト.s19"},
         "テスト.s19"},
        {"OutputAndWorkFileInUtf8Folder",
         {{"a.MOT", "S1A\n"}, {"b.MOT", "S1B\n"}, folder_entry(A_MACRON), TOP_CANDIDATE_BLOCKED},
         {"a+b", A_MACRON + "/out"},
         A_MACRON + "/out.mot"},
        {"NestedUtf8Folders",
         {{"a.MOT", "S1A\n"},
          {"b.MOT", "S1B\n"},
          folder_entry(CYRILLIC_ES + "/" + A_MACRON),
          TOP_CANDIDATE_BLOCKED},
         {"a+b", CYRILLIC_ES + "/" + A_MACRON + "/out"},
         CYRILLIC_ES + "/" + A_MACRON + "/out.mot"},
        // The "." before the folder's "/" starts no extension: the input gets .MOT.
        {"DotInUtf8FolderIsNoExtension",
         {{"d." + A_MACRON + "/x.MOT", "S1A\n"}, {CYRILLIC_ES + ".d/y.MOT", "S1B\n"}},
         {"d." + A_MACRON + "/x+" + CYRILLIC_ES + ".d/y", "out"},
         "out.mot"},
        // Raw Shift-JIS: 0x95 0x5C is one character, its "\" separates nothing.
        {"ShiftJisNamesKeepTheirRules",
         {{HYO + ".MOT", "S1A\n"}, {"\x83\x65\x83\x58\x83\x67.mot", "S1B\n"}},
         {HYO + "+\x83\x65\x83\x58\x83\x67.mot", HYO},
         HYO + ".mot"},
    };
}

void PrintTo(const Utf8Case& c, std::ostream* os) {
    *os << c.title;
}

class Utf8Names : public E2eTest, public testing::WithParamInterface<Utf8Case> {};

TEST_P(Utf8Names, ArePublishedWhereTheyPoint) {
    SKIP_UNLESS_POSIX_BUILD();
    const Utf8Case& c = GetParam();
    make(c.entries);
    Snapshot expected = snapshot();

    const RunResult result = run(c.args);

    EXPECT_EQ(result.exit_code, 0);
    EXPECT_BYTES(result.output, banner() + printed(CREATED, c.output));
    expected[c.output] = "file:" + MERGED;
    EXPECT_EQ(differences(expected, snapshot()), "");
}

INSTANTIATE_TEST_SUITE_P(Runs, Utf8Names, testing::ValuesIn(utf8_cases()),
                         [](const testing::TestParamInfo<Utf8Case>& one) {
                             return std::string(one.param.title);
                         });

class Utf8WorkFile : public E2eTest {};

// The work file's name, as the run reports it when it cannot be created, lies in the UTF-8
// folder, with one "/" before it.
TEST_F(Utf8WorkFile, IsNamedInTheOutputsFolder) {
    SKIP_UNLESS_POSIX_BUILD();
    const std::string work = A_MACRON + "/___00000.___";
    make({{"a.MOT", "S1A\n"}, {"b.MOT", "S1B\n"}, folder_entry(work)});
    const Snapshot before = snapshot();

    const RunResult result = run({"a+b", A_MACRON + "/out"});

    EXPECT_EQ(result.exit_code, 1);
    EXPECT_BYTES(result.output, banner() + printed(CANNOT_CREATE_WORK, work));
    EXPECT_EQ(differences(before, snapshot()), "");
}

}  // namespace
