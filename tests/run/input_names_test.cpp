// The names on the command line: the input list split at "+", default extensions given, and
// names too long for a buffer kept whole for the messages rather than cut.
#include "run/input_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr NameRules POSIX_RULES{true};

std::vector<std::string> stored_names(const RunState& run) {
    std::vector<std::string> names;
    for (int i = 0; i < run.input_count; ++i) {
        names.emplace_back(run.input_names[i].name);
    }
    return names;
}

struct ListCase {
    std::string list;
    std::vector<std::string> names;
};

TEST(InputList, SplitsAtPlusAndGivesNamesWithoutExtensionMOT) {
    const ListCase cases[] = {
        {"a+b", {"a.MOT", "b.MOT"}},
        {"tst1.mot+tst2.mot", {"tst1.mot", "tst2.mot"}},
        {"a+", {"a.MOT", ".MOT"}},
        {"+a", {".MOT", "a.MOT"}},
        {"a++b", {"a.MOT", ".MOT", "b.MOT"}},
        {"", {".MOT"}},
        {"one", {"one.MOT"}},
        {"file.+x.s19", {"file.MOT", "x.s19"}},
        {"dir.d/name+c:\\dir.x\\f", {"dir.d/name.MOT", "c:\\dir.x\\f.MOT"}},
        {"\x95\x5c+\x95\x5c.mot", {"\x95\x5c.MOT", "\x95\x5c.mot"}},
    };
    static RunState run;
    run.name_rules = POSIX_RULES;
    for (const ListCase& test : cases) {
        EXPECT_EQ(split_input_list(test.list, run), static_cast<int>(test.names.size()))
            << test.list;
        EXPECT_EQ(stored_names(run), test.names) << test.list;
        EXPECT_EQ(run.input_names[run.input_count].name[0], '\0')
            << "the list ends in an empty slot";
    }
}

TEST(InputList, TakesAtMostFiftyNames) {
    std::string list = "n0";
    for (int i = 1; i <= 60; ++i) {
        list += "+n" + std::to_string(i);
    }
    static RunState run;
    run.name_rules = POSIX_RULES;
    ASSERT_EQ(split_input_list(list, run), MAX_INPUTS);
    EXPECT_STREQ(run.input_names[MAX_INPUTS - 1].name, "n49.MOT");
    EXPECT_EQ(run.input_names[MAX_INPUTS].name[0], '\0');
}

struct LongCase {
    std::string name;
    bool fits;
    std::string shown;  // what a message shows, name and tail together
};

// 256 bytes fit once the default extension is added; 257 do not, and are shown whole.
TEST(DefaultExtension, NamesLongerThan256BytesAreRefusedAndShownWhole) {
    const std::string a252(252, 'a');
    const std::string a253(253, 'a');
    const LongCase cases[] = {
        {a252, true, a252 + ".mot"},
        {a253, false, a253 + ".mot"},
        {a252 + ".", true, a252 + ".mot"},
        {a253 + ".", false, a253 + ".mot"},
        {std::string(254, 'b') + ".s", true, std::string(254, 'b') + ".s"},
        {std::string(255, 'b') + ".s", false, std::string(255, 'b') + ".s"},
        {std::string(100000, 'c'), false, std::string(100000, 'c') + ".mot"},
    };
    for (const LongCase& test : cases) {
        char buffer[NAME_SIZE];
        const GivenName given =
            give_default_extension(test.name, OUTPUT_DEFAULT_EXTENSION, buffer, POSIX_RULES);
        EXPECT_EQ(given.fits, test.fits) << test.name.size();
        EXPECT_EQ(std::string(given.shown) + std::string(given.shown_tail), test.shown);
        if (given.fits) {
            EXPECT_EQ(std::string(buffer), test.shown);
        } else {
            EXPECT_EQ(buffer[0], '\0');
        }
    }
}

}  // namespace
