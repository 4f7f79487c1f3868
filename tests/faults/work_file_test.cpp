// The work file among other runs and hostile folder entries: runs started together in one
// folder, runs that replace files other runs are reading, and links named like a candidate.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "console_text.h"
#include "fault_support.h"

namespace {

using ParallelRuns = FaultTest;

// t<k>.mot: one S9 record and nothing else, so that merging it with other such files into itself
// gives it back unchanged, whatever the others hold and whether they are read at all.
std::string termination_file(int k) {
    char record[32];
    std::snprintf(record, sizeof record, "S903%04X%02X\r\n", k,
                  0xFF & ~(3 + (k >> 8) + (k & 0xFF)));
    return record;
}

// Sixteen runs started at once in one folder, each with an output of its own, run i merging
// t<i>, t<i+1>, t<i+2> and t<i> into t<i>: each output is an input of two other runs, replaced
// while they may be reading it. Each run gets a work file of its own and publishes its file
// unchanged; one that meets another's output in the moment it is replaced reports it as not
// opening (it is deleted, not yet created again) and skips it. No work file is left.
TEST_F(ParallelRuns, SixteenRunsReadingEachOthersOutputs) {
    SKIP_UNLESS_POSIX_BUILD();  // a file being read cannot be deleted on Windows
    auto name = [](int k) { return "t" + std::to_string(k % 16) + ".mot"; };
    for (int k = 0; k < 16; ++k) {
        put(name(k), termination_file(k));
    }
    const Snapshot expected = snapshot();
    int skips = 0;
    for (int round = 0; round < 4; ++round) {
        StartGate gate;
        std::vector<Running> runs;
        for (int i = 0; i < 16; ++i) {
            runs.push_back(
                start({name(i) + "+" + name(i + 1) + "+" + name(i + 2) + "+" + name(i), name(i)},
                      {{}, &gate}));
        }
        gate.open();
        for (int i = 0; i < 16; ++i) {
            SCOPED_TRACE(name(i));
            const RunResult result = runs[static_cast<std::size_t>(i)].finish();
            EXPECT_EQ(result.exit_code, 0);
            const std::string skip1 = printed(SKIPPED, name(i + 1));
            const std::string skip2 = printed(SKIPPED, name(i + 2));
            std::set<std::string> allowed;
            for (const std::string& skipped : {std::string(), skip1, skip2, skip1 + skip2}) {
                allowed.insert(banner() + skipped + printed(CREATED, name(i)));
            }
            EXPECT_EQ(allowed.count(result.output), 1u) << result.output;
            skips += result.output.find("Skip") != std::string::npos ? 1 : 0;
        }
        EXPECT_EQ(differences(expected, snapshot()), "") << "round " << round;
    }
    std::printf("runs that skipped an input being replaced: %d of 64\n", skips);
}

using WorkFileCandidates = FaultTest;

// A link named like a candidate is a name taken, whatever it leads to: never followed, never
// written through, never removed; what it leads to stays as it was, or missing.
TEST_F(WorkFileCandidates, LinksAreNeverFollowed) {
    SKIP_UNLESS_POSIX_BUILD();
    const struct {
        const char* folder;
        std::vector<Entry> entries;
    } cases[] = {
        {"to_a_file", {{"kept.txt", "KEEP\n"}, link_entry("___00000.___", "kept.txt")}},
        {"to_an_input", {link_entry("___00000.___", "a.MOT")}},
        {"to_a_file_then_nowhere",
         {{"kept.txt", "KEEP\n"},
          link_entry("___00000.___", "kept.txt"),
          link_entry("___00001.___", "made.txt")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        const std::string dir = std::string(c.folder) + "/";
        std::vector<Entry> entries{{dir + "a.MOT", "S1A\n"}, {dir + "b.MOT", "S1B\n"}};
        for (const Entry& entry : c.entries) {
            entries.push_back({dir + entry.path, entry.bytes, entry.kind});
        }
        make(entries);
        Snapshot expected = snapshot();

        const RunResult result = run({dir + "a+" + dir + "b", dir + "out"});

        EXPECT_EQ(result.exit_code, 0);
        EXPECT_BYTES(result.output, banner() + printed(CREATED, dir + "out.mot"));
        expected[dir + "out.mot"] = "file:S1A\r\nS1B\r\n" + FALLBACK;
        EXPECT_EQ(differences(expected, snapshot()), "");
    }
}

// A run finds the first candidate free, fails to create it because another run took it in
// between, and finds it free again because that run has ended: the name was another run's work
// file, not a folder, so the search goes on and the run publishes. The shim stops the run at
// each of these moments.
TEST_F(WorkFileCandidates, TakenThenGivenBackByAnotherRun) {
    SKIP_UNLESS_SHIM_WORKS();
    put("a.MOT", numbered_lines("A", 100 * 1024));
    put("b.MOT", "S1B\n");
    Snapshot expected = snapshot();

    Running run = start_with_faults({"b+b", "out"}, {.stop_at_create = ".___"});
    const KillLeftoverRuns kill_leftovers(*this);
    const pid_t pid = next_stop();  // ___00000.___ is free; about to create it
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(is_stopped(pid));
    {
        Running other = start_with_faults({"a+b", "other"}, {.stall_write = ".___"});
        const pid_t other_pid = next_stop();  // it has ___00000.___ and writes it
        ASSERT_GT(other_pid, 0);
        ASSERT_EQ(kill(pid, SIGCONT), 0);
        ASSERT_EQ(next_stop(), pid);  // the creation failed: the name is taken
        ASSERT_TRUE(is_stopped(pid));
        ASSERT_EQ(kill(other_pid, SIGTERM), 0);  // the other run ends, its work file goes
        EXPECT_EQ(other.finish().exit_code, -SIGTERM);
    }
    ASSERT_EQ(kill(pid, SIGCONT), 0);
    const RunResult result = run.finish();

    EXPECT_EQ(result.exit_code, 0);
    EXPECT_BYTES(result.output, banner() + printed(CREATED, "out.mot"));
    expected["out.mot"] = "file:S1B\r\nS1B\r\n" + FALLBACK;
    EXPECT_EQ(differences(expected, snapshot()), "");
}

// The work file is the file the run created, not whatever has its name: a link put there in
// the moment after the creation is never written through, and what it leads to stays as it was.
TEST_F(WorkFileCandidates, LinkSwappedInAfterTheCreationIsNeverWrittenThrough) {
    SKIP_UNLESS_SHIM_WORKS();
    put("a.MOT", "S1A\n");
    put("b.MOT", "S1B\n");
    put("victim.txt", "KEEP\n");

    Running run = start_with_faults({"a+b", "out"}, {.stop_at_create = ".___"});
    const KillLeftoverRuns kill_leftovers(*this);
    const pid_t pid = next_stop();  // about to create ___00000.___
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(is_stopped(pid));
    ASSERT_EQ(kill(pid, SIGCONT), 0);
    ASSERT_EQ(next_stop(), pid);  // created
    ASSERT_TRUE(is_stopped(pid));
    ASSERT_EQ(std::remove(at("___00000.___").c_str()), 0);
    ASSERT_EQ(symlink("victim.txt", at("___00000.___").c_str()), 0);
    ASSERT_EQ(kill(pid, SIGCONT), 0);
    const RunResult result = run.finish();

    EXPECT_EQ(result.exit_code, 0);
    EXPECT_BYTES(result.output, banner() + printed(CREATED, "out.mot"));
    EXPECT_BYTES(get("victim.txt"), "KEEP\n");
}

}  // namespace
