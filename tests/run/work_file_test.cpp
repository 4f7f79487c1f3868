// Choosing the work file: the first free candidate next to the output, created by the run
// itself and kept apart from every input and from the output.
#include "run/work_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "tests/run/temp_folder.h"

namespace {

struct Names {
    std::string output;
    std::string input;
};

RunState& prepared_run(const Names& setup) {
    static RunState run;
    run = RunState{};
    run.name_rules = NameRules{true};
    setup.output.copy(run.output_name, setup.output.size());
    run.output_name[setup.output.size()] = '\0';
    setup.input.copy(run.input_names[0].name, setup.input.size());
    run.input_names[0].name[setup.input.size()] = '\0';
    run.input_count = 1;
    return run;
}

TEST(ChooseWorkFile, TakesTheFirstFreeCandidateAndCreatesIt) {
    TempFolder folder;
    write_file("___00000.___", "someone else's");
    ASSERT_EQ(::symlink("missing-target", "___00001.___"), 0);  // a dangling link is taken too
    RunState& run = prepared_run({"out.mot", "in.MOT"});
    ASSERT_EQ(choose_work_file("", "", run), 0);
    EXPECT_STREQ(run.work_name, "___00002.___");
    EXPECT_TRUE(file_exists("___00002.___"));
    EXPECT_EQ(read_file("___00000.___"), "someone else's");
    EXPECT_FALSE(file_exists("missing-target"));
}

// However the output or an input is spelled, a candidate naming it is passed over.
TEST(ChooseWorkFile, PassesOverACandidateThatIsAnInputOrTheOutput) {
    const Names names[] = {
        {"___00000.___", "in.MOT"},       {"./___00000.___", "in.MOT"},
        {"d/../___00000.___", "in.MOT"},  {"out.mot", "___00000.___"},
        {"out.mot", "d/../___00000.___"},
    };
    for (const Names& setup : names) {
        TempFolder folder;
        ASSERT_EQ(::mkdir("d", 0755), 0);
        RunState& run = prepared_run(setup);
        ASSERT_EQ(choose_work_file("", "", run), 0) << setup.output << " " << setup.input;
        EXPECT_STREQ(run.work_name, "___00001.___") << setup.output << " " << setup.input;
        EXPECT_FALSE(file_exists("___00000.___")) << "the passed-over candidate is not left";
    }
}

TEST(ChooseWorkFile, AFolderNamedLikeTheCandidateEndsTheSearch) {
    TempFolder folder;
    ASSERT_EQ(::mkdir("___00000.___", 0755), 0);
    RunState& run = prepared_run({"out.mot", "in.MOT"});
    EXPECT_EQ(choose_work_file("", "", run), -2);
    EXPECT_STREQ(run.work_name, "___00000.___");
    EXPECT_FALSE(file_exists("___00001.___"));
}

TEST(ChooseWorkFile, FailsWhenEveryCandidateIsTaken) {
    TempFolder folder;
    char name[32];
    for (int k = 0; k < WORK_NAME_TRIES; ++k) {
        std::snprintf(name, sizeof name, "___%05d.___", k);
        write_file(name, "");
    }
    RunState& run = prepared_run({"out.mot", "in.MOT"});
    EXPECT_EQ(choose_work_file("", "", run), -1);
    EXPECT_STREQ(run.work_name, "___00299.___");
}

TEST(ChooseWorkFile, RefusesACandidateLongerThan256BytesAndKeepsItWhole) {
    TempFolder folder;
    const std::string deep(250, 'd');
    RunState& run = prepared_run({deep + "/o", "in.MOT"});
    EXPECT_EQ(choose_work_file("", (deep + "/").c_str(), run), -2);
    EXPECT_EQ(std::string(run.work_name), deep + "/___00000.___");
}

TEST(ChooseWorkFile, FailsInAFolderThatDoesNotExist) {
    TempFolder folder;
    RunState& run = prepared_run({"nowhere/out.mot", "in.MOT"});
    EXPECT_EQ(choose_work_file("", "nowhere/", run), -2);
    EXPECT_STREQ(run.work_name, "nowhere/___00000.___");
}

}  // namespace
