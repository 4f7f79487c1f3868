// What only a run acted on while it goes shows: interruptions, runs that meet each other, a name
// taken or swapped under the run, a FIFO fed while it is read, a line of 50 MB.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "tool.h"

namespace {

#define SKIP_UNLESS_SHIM_REACHES_THE_TOOL()                                \
    if (!tool_is_built_here()) {                                           \
        GTEST_SKIP() << "the fault shim reaches only the tool built here"; \
    }

// Where a run is when the interruption comes: merging an endless input (/dev/zero); stopped by
// the shim after the rename that publishes (another run then takes the work file's name); or the
// rename refused, after the copy has created the output.
enum class Point { Merging, AfterTheRename, CopyingTheOutput };
const char* const POINTS[] = {"Merging", "AfterTheRename", "CopyingTheOutput"};
const char* const FAULTS[] = {"", "stop-rename", "stop-create:out.mot,fail-rename"};

class Interruption : public ToolTest, public testing::WithParamInterface<std::tuple<int, Point>> {};

// The old output stays, or the new one is there whole; no work file is left unless the output
// was being copied, which then goes while the work file is kept and named. The run ends as
// killed by the signal (Windows: STATUS_CONTROL_C_EXIT, after Ctrl-C).
TEST_P(Interruption, CleansUpAndEndsByTheSignal) {
    const auto [signal_number, point] = GetParam();
    if ((point != Point::Merging && !tool_is_built_here()) ||
        (tool_is_windows_build() && signal_number != SIGINT)) {
        GTEST_SKIP() << "the shim reaches only the tool built here; Windows knows Ctrl-C";
    }
    const std::string a(300 * 1000, 'A');  // more than a block, without a line break
    const std::string merged = a + "\r\nS1B\r\n" + FALLBACK;
    ASSERT_TRUE(make({{"a.MOT", a},
                      {"b.MOT", "S1B\n"},
                      {"out.mot", "OLD"},
                      {"zero.MOT", link_to("/dev/zero")}}));
    Files expected = snapshot();

    Running run = start({point == Point::Merging ? "a+zero+b" : "a+b", "out"},
                        {.env = {"SRJOIN_FAULT=" + std::string(FAULTS[static_cast<int>(point)])}});
    if (point == Point::Merging) {
        ASSERT_TRUE(eventually([&] { return snapshot().count(WORK) != 0; }));
    } else {
        ASSERT_TRUE(run.stopped());
        run.go_on();
        ASSERT_TRUE(run.stopped());  // after the step
    }
    if (point == Point::AfterTheRename) {
        make({{WORK, "ANOTHER RUN'S"}});
        expected[WORK] = "ANOTHER RUN'S";
    }
    ASSERT_EQ(kill(run.pid(), signal_number), 0);
    run.go_on();
    const RunResult result = run.finish();

    EXPECT_EQ(result.exit_code, tool_is_windows_build() ? 0x3A : -signal_number);
    std::vector<Said> said;
    const Files after = snapshot();
    if (point == Point::CopyingTheOutput) {
        said = {{NOT_CREATED, "out.mot"}, {KEPT, WORK}};
        expected.erase("out.mot");
        expected[WORK] = merged;
    } else if (point == Point::AfterTheRename) {
        expected["out.mot"] = merged;
    }
    EXPECT_EQ(result.console, console(said));
    EXPECT_EQ(differences(expected, after), "");
}

INSTANTIATE_TEST_SUITE_P(SignalsAndPoints, Interruption,
                         testing::Combine(testing::Values(SIGINT, SIGTERM, SIGHUP),
                                          testing::Values(Point::Merging, Point::AfterTheRename,
                                                          Point::CopyingTheOutput)),
                         [](const testing::TestParamInfo<std::tuple<int, Point>>& row) {
                             return std::string(sigabbrev_np(std::get<0>(row.param))) + "_" +
                                    POINTS[static_cast<int>(std::get<1>(row.param))];
                         });

using Runs = ToolTest;

// Sixteen runs started at once in one folder, run i merging t<i>, t<i+1>, t<i+2> and t<i> into
// t<i>, each of which holds a termination record alone: each output is an input of two other
// runs, replaced while they may read it, and merged into itself stays as it was. Each run
// gets a work file of its own and publishes its file unchanged; one that meets another's output
// in the moment it is replaced reports it as not opening and skips it. No work file is left.
TEST_F(Runs, SixteenAtOnceReadingEachOthersOutputs) {
    if (tool_is_windows_build()) {
        GTEST_SKIP() << "a file being read cannot be replaced on Windows";
    }
    auto name = [](int k) { return "t" + std::to_string(k % 16) + ".mot"; };
    Files files;
    for (int k = 0; k < 16; ++k) {
        files[name(k)] = "S9" + std::to_string(k) + "\r\n";
    }
    ASSERT_TRUE(make(files));
    for (int round = 0; round < 4; ++round) {
        std::vector<Running> runs;
        for (int i = 0; i < 16; ++i) {
            runs.push_back(
                start({name(i) + "+" + name(i + 1) + "+" + name(i + 2) + "+" + name(i), name(i)},
                      {.stopped_at_start = true}));
            ASSERT_TRUE(runs.back().stopped());
        }
        for (const Running& run : runs) {
            run.go_on();  // all at once
        }
        for (int i = 0; i < 16; ++i) {
            const RunResult result = runs[static_cast<std::size_t>(i)].finish();
            EXPECT_EQ(result.exit_code, 0) << name(i);
            // An input skipped, if any, was being replaced.
            std::vector<Said> said;
            for (const std::string& input : {name(i + 1), name(i + 2)}) {
                if (result.console.find(input + "]") != std::string::npos) {
                    said.push_back({SKIPPED, input});
                }
            }
            said.push_back({CREATED, name(i)});
            EXPECT_EQ(result.console, console(said));
        }
        EXPECT_EQ(differences(files, snapshot()), "") << "round " << round;
    }
}

// A name taken between the run's test of it and its creation is passed over: taken by a link to
// a folder, which the run must not follow and take for a folder it cannot create.
TEST_F(Runs, NameTakenBetweenTheTestAndTheCreation) {
    SKIP_UNLESS_SHIM_REACHES_THE_TOOL();
    ASSERT_TRUE(make({{"a.MOT", "S1A\n"}, {"b.MOT", "S1B\n"}, {"sub", FOLDER}}));
    Running run = start({"a+b", "out"}, {.env = {"SRJOIN_FAULT=stop-create:.___"}});
    ASSERT_TRUE(run.stopped());  // the first name is free; about to create it
    ASSERT_TRUE(make({{WORK, link_to("sub")}}));
    run.go_on();
    ASSERT_TRUE(run.stopped());  // the creation failed: the name is taken
    run.go_on();
    const RunResult result = run.finish();

    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.console, console({{CREATED, "out.mot"}}));
    EXPECT_EQ(differences({{"a.MOT", "S1A\n"},
                           {"b.MOT", "S1B\n"},
                           {"sub", FOLDER},
                           {WORK, link_to("sub")},
                           {"out.mot", "S1A\r\nS1B\r\n" + FALLBACK}},
                          snapshot()),
              "");
}

// The work file is the file the run created, not whatever has its name: a link put there, or
// nothing, in the moment after the creation is never written through, published or deleted,
// and the old output stays.
TEST_F(Runs, WorkFileSwappedAfterTheCreation) {
    SKIP_UNLESS_SHIM_REACHES_THE_TOOL();
    for (const Files& swapped_in : {Files{{WORK, link_to("victim")}}, Files{}}) {
        ASSERT_TRUE(
            make({{"a.MOT", "S1A\n"}, {"b.MOT", "S1B\n"}, {"out.mot", "OLD"}, {"victim", "KEEP"}}));
        Files expected = with(snapshot(), swapped_in);
        Running run = start({"a+b", "out"}, {.env = {"SRJOIN_FAULT=stop-create:.___"}});
        ASSERT_TRUE(run.stopped());
        run.go_on();
        ASSERT_TRUE(run.stopped());  // created
        ASSERT_EQ(unlink(at(WORK).c_str()), 0);
        ASSERT_TRUE(make(swapped_in));
        run.go_on();
        const RunResult result = run.finish();

        EXPECT_EQ(result.exit_code, 4);
        EXPECT_EQ(result.console, console({{NOT_CREATED, "out.mot"}}));
        EXPECT_EQ(differences(expected, snapshot()), "");
        unlink(at(WORK).c_str());
    }
}

// A FIFO as an input, fed while the tool reads it: 1 MiB, arriving as it comes.
TEST_F(Runs, FifoFedWhileRead) {
    if (tool_is_windows_build()) {
        GTEST_SKIP() << "Wine does not wait for a FIFO's writer";
    }
    std::signal(SIGPIPE, SIG_IGN);  // a tool that stopped reading must fail the test, not end it
    ASSERT_TRUE(make({{"a.MOT", "S1A\n"}, {"b.MOT", "S1B\nS9030000FC\n"}}));
    ASSERT_EQ(mkfifo(at("pipe.MOT").c_str(), 0600), 0);
    std::string fed;
    for (int i = 0; fed.size() < (1 << 20); ++i) {
        fed += "S1" + std::to_string(i) + std::string(static_cast<std::size_t>(i % 61), 'x') + "\n";
    }

    Running run = start({"a+pipe+b", "out"});
    std::thread feeder([&] { std::ofstream(at("pipe.MOT"), std::ios::binary) << fed; });
    const RunResult result = run.finish();
    close(open(at("pipe.MOT").c_str(), O_RDONLY | O_NONBLOCK));  // a feeder still waiting goes
    feeder.join();

    EXPECT_EQ(result.exit_code, 0);
    EXPECT_TRUE(get("out.mot") == "S1A\r\n" + with_crlf(fed) + "S1B\r\nS9030000FC\r\n");
}

// One line of 50 MB without a line break reaches the output whole, and the fallback record
// continues it. (Not a row of the table: every test process would build the line.)
TEST_F(Runs, FiftyMegabyteLine) {
    std::string line(50 * 1000 * 1000, 'A');
    for (std::size_t i = 0; i < line.size(); i += 4093) {
        line[i] = static_cast<char>('B' + i % 23);  // no piece starts like a termination record
    }
    ASSERT_TRUE(make({{"huge.MOT", line}, {"empty.MOT", ""}}));

    const RunResult result = run({"huge+empty", "out"});

    EXPECT_EQ(result.exit_code, 0);
    EXPECT_TRUE(get("out.mot") == line + "\r\n" + FALLBACK)
        << "the output is not the line and the fallback";
}

}  // namespace
