// What only a run acted on while it goes shows: runs paused, acted on and interrupted; runs that
// meet each other; a link planted in a shared folder; permissions carried over; a FIFO fed
// while it is read; a line of 50 MB.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tool.h"

namespace {

#define SKIP_UNLESS_SHIM_REACHES_THE_TOOL()                                \
    if (!tool_is_built_here()) {                                           \
        GTEST_SKIP() << "the fault shim reaches only the tool built here"; \
    }

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

// A run paused at a point: stopped by the shim before or after a step, or merging an endless
// input (/dev/zero). Another hand may change the folder there (another run takes the work file's
// name; the name is swapped for a link, a foreign file or nothing; a link is planted where the
// copy creates the output), and signals may come. The run writes, reads, publishes and deletes
// only its own files, by handle; an interruption leaves the old output or the new one whole and
// no work file, unless the output was being copied, which then goes while the work file is kept
// and named; the run then ends as killed by the signal (Windows: STATUS_CONTROL_C_EXIT, Ctrl-C).
struct Pause {
    std::string name;
    std::string faults;        // SRJOIN_FAULT: the stops, and faults
    int stops;                 // act at stop 1 (before the step) or 2 (after it); 0: while merging
    Files changed;             // each of these names is removed, then made (unless GONE)
    std::vector<int> signals;  // then sent, 300 ms apart
    int exit_code;
    std::vector<Said> said;
    Files changes;  // what the run changes (GONE: removes)
    RunSettings settings = {};
    std::string inputs = {};  // a+b, or a+zero+b to merge without end (stops 0)
};

const std::string MERGED = "S1A\r\nS1B\r\n" + FALLBACK, CREATION = "stop-create:.___";
const Files FOREIGN = {{WORK, "FOREIGN"}};
const std::vector<Said> NOT_PUBLISHED = {{NOT_CREATED, "out.mot"}},
                        KEPT_WORK = {{NOT_CREATED, "out.mot"}, {KEPT, WORK}};
const std::string COPY_CREATES = "stop-create:out.mot,fail-rename";

std::vector<Pause> pauses() {
    // clang-format off
    std::vector<Pause> rows = {
        {"NameTakenByALinkToAFolderBeforeTheCreation", CREATION, 1, {{WORK, link_to("sub")}}, {},
         0, {{CREATED, "out.mot"}}, {{"out.mot", MERGED}}},
        {"LinkAfterTheCreation", CREATION, 2, {{WORK, link_to("victim")}}, {}, 4, NOT_PUBLISHED, {}},
        {"NothingAfterTheCreation", CREATION, 2, {{WORK, GONE}}, {}, 4, NOT_PUBLISHED, {}},
        {"ForeignFileThenInterrupted", CREATION, 2, FOREIGN, {SIGTERM}, -SIGTERM, {}, {}},
        {"ForeignFileThenAReadFails", CREATION + ",fail-read:b.MOT:0", 2, FOREIGN, {}, 3,
         {{NOT_READ, "b.MOT"}}, {}},
        {"ForeignFileJustBeforeTheRename", "stop-rename", 1, FOREIGN, {}, 4, NOT_PUBLISHED,
         {{WORK, GONE}, {"out.mot", "FOREIGN"}}},
        {"LinkAfterARefusedRename", "stop-rename,fail-rename", 2, {{WORK, link_to("victim")}}, {},
         0, {{CREATED, "out.mot"}}, {{"out.mot", MERGED}}},
        {"LinkWhereTheCopyCreatesTheOutput", COPY_CREATES, 1, {{"out.mot", link_to("victim")}}, {},
         4, KEPT_WORK, {{WORK, MERGED}}},
        {"LinkWhereTheCopyCreatesThenInterrupted", COPY_CREATES, 1, {{"out.mot", link_to("victim")}},
         {SIGINT}, -SIGINT, KEPT_WORK, {{WORK, MERGED}}},
        {"FifoPutWhereTheCopyReplacesTheOutput", "stop-rename,fail-rename", 2, {{"out.mot", FIFO}},
         {}, 4, KEPT_WORK, {{WORK, MERGED}}},
        {"HangupIgnoredAtTheStart", "", 0, {}, {SIGHUP, SIGTERM}, -SIGTERM, {}, {},
         {.hangup_ignored = true}},
        // Standard output a pipe of 4 KiB that nobody reads: the skip messages fill it.
        {"INTWhileTheConsoleWaits", "", 0, {}, {SIGINT}, -SIGINT, {}, {}, {.pipe_size = 4096},
         "a"},
    };
    for (int i = 0; i < 49; ++i) {
        const std::string missing = std::string(200, 'm') + std::to_string(i);
        rows.back().inputs += "+" + missing;
        rows.back().said.push_back({SKIPPED, missing + ".MOT"});
    }
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        const std::string name = sigabbrev_np(signal);
        rows.push_back({name + "WhileMerging", "", 0, {}, {signal}, -signal, {}, {}});
        rows.push_back({name + "AfterTheRename", "stop-rename", 2, {{WORK, "ANOTHER RUN'S"}},
                        {signal}, -signal, {}, {{"out.mot", MERGED}}});
        rows.push_back({name + "WhileCopying", COPY_CREATES, 2, {}, {signal}, -signal, KEPT_WORK,
                        {{"out.mot", GONE}, {WORK, MERGED}}});
    }
    // clang-format on
    return rows;
}

class Paused : public ToolTest, public testing::WithParamInterface<Pause> {};

TEST_P(Paused, OnlyTheRunsOwnFiles) {
    const Pause& p = GetParam();
    const bool windows = tool_is_windows_build();
    if ((!p.faults.empty() && !tool_is_built_here()) ||
        (windows && p.signals != std::vector{SIGINT})) {
        GTEST_SKIP() << "the shim reaches only the tool built here; Windows knows Ctrl-C alone";
    }
    ASSERT_TRUE(make({{"a.MOT", "S1A\n"},
                      {"b.MOT", "S1B\n"},
                      {"out.mot", "OLD"},
                      {"victim", "KEEP"},
                      {"sub", FOLDER},
                      {"zero.MOT", link_to("/dev/zero")}}));
    Files expected = with(snapshot(), p.changed);
    for (const auto& [path, bytes] : p.changes) {
        expected[path] = bytes;
    }
    std::erase_if(expected, [](const auto& entry) { return entry.second == GONE; });
    RunSettings settings = p.settings;
    settings.env = {"SRJOIN_FAULT=" + p.faults};
    const std::string inputs = !p.inputs.empty() ? p.inputs : p.stops == 0 ? "a+zero+b" : "a+b";
    Running run = start({inputs, "out"}, settings);
    if (p.stops == 0) {
        ASSERT_TRUE(eventually([&] { return snapshot().count(WORK) != 0; }));
    }
    for (int stop = 1; stop <= p.stops; ++stop) {
        ASSERT_TRUE(run.stopped()) << "stop " << stop;
        if (stop < p.stops) {
            run.go_on();
        }
    }
    Files made = p.changed;
    std::erase_if(made, [](const auto& entry) { return entry.second == GONE; });
    for (const auto& [path, bytes] : p.changed) {
        unlink(at(path).c_str());
    }
    ASSERT_TRUE(make(made));
    for (const int signal : p.signals) {
        std::this_thread::sleep_for(std::chrono::milliseconds(p.stops == 0 ? 300 : 0));
        ASSERT_EQ(kill(run.pid(), signal), 0);
    }
    run.go_on();
    if (p.stops == 1) {  // the stop after the step
        ASSERT_TRUE(run.stopped());
        run.go_on();
    }
    ASSERT_TRUE(run.ended());  // even with its console waiting for a reader
    const RunResult result = run.finish();

    EXPECT_EQ(result.exit_code, windows ? 0x3A : p.exit_code);
    const auto pipe_size = static_cast<std::size_t>(p.settings.pipe_size);  // a pipe unread holds
    EXPECT_EQ(result.console,
              console(p.said).substr(0, pipe_size != 0 ? pipe_size : std::string::npos));
    EXPECT_EQ(differences(expected, snapshot()), "");
}

INSTANTIATE_TEST_SUITE_P(Runs, Paused, testing::ValuesIn(pauses()),
                         [](const testing::TestParamInfo<Pause>& row) { return row.param.name; });

// A link planted by the owner of a shared folder (mode 1777) at the output's name, to a file of
// the user who runs the tool: that user may not replace the link, and the run neither writes
// through it nor reports success; it keeps the work file.
TEST_F(Runs, LinkPlantedInASharedFolder) {
    if (geteuid() != 0 || tool_is_windows_build()) {
        GTEST_SKIP() << "acts as two users: needs root, on POSIX";
    }
    constexpr uid_t OWNER = 2001, USER = 2002;
    ASSERT_TRUE(make({{"a.MOT", "S1A\n"},
                      {"b.MOT", "S1B\n"},
                      {"mine/file", "MINE"},
                      {"shared/out.mot", link_to("../mine/file")}}));
    ASSERT_EQ(chmod(at("").c_str(), 0755) | chown(at("shared").c_str(), OWNER, OWNER) |
                  chmod(at("shared").c_str(), 01777) |
                  lchown(at("shared/out.mot").c_str(), OWNER, OWNER) |
                  chown(at("mine").c_str(), USER, USER) |
                  chown(at("mine/file").c_str(), USER, USER),
              0);
    const Files expected = with(snapshot(), {{"shared/" + WORK, MERGED}});

    const RunResult result = run({"a+b", "shared/out"}, {.user = USER});

    EXPECT_EQ(result.exit_code, 4);
    EXPECT_EQ(result.console, console({{NOT_CREATED, "shared/out.mot"}, {KEPT, "shared/" + WORK}}));
    EXPECT_EQ(differences(expected, snapshot()), "");
}

// A replaced output keeps its permission bits, and (as root) its owner and group, whether the
// work file is renamed onto it or copied into a new one; a new output has the default mode; a
// work file kept beside a read-only output, which it may hold the text of, is its owner's alone.
TEST_F(Runs, PermissionsOfWhatTheRunLeaves) {
    if (tool_is_windows_build()) {
        GTEST_SKIP() << "Windows files carry no permission bits";
    }
    const bool root = geteuid() == 0;
    const mode_t mask = umask(0);
    umask(mask);
    const struct {
        std::string fault;
        mode_t old_mode;  // 0: no old output
        int exit_code;
        std::string left;
        mode_t mode;
    } cases[] = {{"", 0640, 0, "out.mot", 0640},
                 {"SRJOIN_FAULT=fail-rename", 0640, 0, "out.mot", 0640},
                 {"", 0, 0, "out.mot", 0666 & ~mask},
                 {"", 0400, 4, WORK, 0600}};
    for (const auto& [fault, old_mode, exit_code, left, mode] : cases) {
        if (!fault.empty() && !tool_is_built_here()) {
            continue;
        }
        ASSERT_TRUE(make({{"a.MOT", "S1A\n"}, {"b.MOT", "S1B\n"}}));
        unlink(at("out.mot").c_str());
        unlink(at(WORK).c_str());
        const bool carried = old_mode == 0640 && root;
        ASSERT_TRUE(old_mode == 0 || make({{"out.mot", "OLD"}}));
        ASSERT_TRUE(old_mode == 0 || chmod(at("out.mot").c_str(), old_mode) == 0);
        ASSERT_TRUE(!carried || chown(at("out.mot").c_str(), 2001, 2002) == 0);

        const RunResult result =
            run({"a+b", "out"},
                {.env = fault.empty() ? std::vector<std::string>{} : std::vector{fault}});

        struct stat status {};
        ASSERT_EQ(stat(at(left).c_str(), &status), 0) << left;
        EXPECT_EQ(result.exit_code, exit_code) << fault << " " << old_mode;
        EXPECT_EQ(get(left), MERGED) << left;
        EXPECT_EQ(status.st_mode & 07777, mode) << fault << " " << old_mode;
        EXPECT_TRUE(!carried || (status.st_uid == 2001 && status.st_gid == 2002)) << fault;
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
