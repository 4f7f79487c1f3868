// What only a run acted on while it goes shows: a run stopped by the fault shim before or after a
// step, or waiting on a FIFO, while another hand changes the folder or a signal comes; and what
// other users see of a run's files. The run writes, reads, publishes and deletes only its own
// files; an interruption leaves the old output or the new one whole and no work file, unless
// the output was being copied, which then goes while the work file is kept and named; the run
// then ends as killed by the signal (Windows: Ctrl-C's status).
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "tool.h"

namespace {

const std::string MERGED = "S1A\r\nS1B\r\n" + FALLBACK;
const Files AB = {{"a.MOT", "S1A\n"}, {"b.MOT", "S1B\n"}};
// held.MOT is a FIFO nobody writes: a run that merges it waits without end.
const Files BEFORE =
    with(AB, {{"out.mot", "OLD"}, {"victim", "KEEP"}, {"sub", FOLDER}, {"held.MOT", FIFO}});
const Files FOREIGN = {{WORK, "FOREIGN"}};
const std::vector<Said> CREATED_OUT = {{CREATED, "out.mot"}},
                        NOT_PUBLISHED = {{NOT_CREATED, "out.mot"}},
                        KEPT_WORK = {{NOT_CREATED, "out.mot"}, {KEPT, WORK}};
// The copy's own file, beside an output on another file system, is ___00001.___.
const std::string CREATION = "stop-create:" + WORK,
                  COPY_CREATES = "stop-create:00001.___,fail-rename:1";

// A run of a+b (or inputs) into out, with these faults, acted on as pause says.
Row paused(std::string name, const std::string& faults, Pause pause, int exit_code,
           std::vector<Said> said, Files changes, RunSettings settings = {},
           const std::string& inputs = "a+b") {
    if (!faults.empty()) {  // a run without faults needs no shim: it runs under Wine too
        settings.env.insert(settings.env.begin(), "SRJOIN_FAULT=" + faults);
    }
    Row row{std::move(name), {inputs, "out"}, BEFORE,
            std::move(said), exit_code,       std::move(changes)};
    row.settings = std::move(settings);
    row.pause = std::move(pause);
    return row;
}

std::vector<Row> rows() {
    // clang-format off
    std::vector<Row> rows = {
        paused("NameTakenByALinkToAFolderBeforeTheCreation", CREATION, {1, {{WORK, link_to("sub")}}},
               0, CREATED_OUT, {{"out.mot", MERGED}}),
        paused("LinkAfterTheCreation", CREATION, {2, {{WORK, link_to("victim")}}}, 4, NOT_PUBLISHED, {}),
        paused("NothingAfterTheCreation", CREATION, {2, {{WORK, GONE}}}, 4, NOT_PUBLISHED, {}),
        paused("ForeignFileThenInterrupted", CREATION, {2, FOREIGN, {SIGTERM}}, -SIGTERM, {}, {}),
        paused("ForeignFileThenAReadFails", CREATION + ",fail-read:b.MOT:0", {2, FOREIGN}, 3,
               {{NOT_READ, "b.MOT"}}, {}),
        paused("ForeignFileJustBeforeTheRename", "stop-rename", {1, FOREIGN}, 4, NOT_PUBLISHED,
               {{WORK, GONE}, {"out.mot", "FOREIGN"}}),
        paused("LinkAfterARefusedRename", "stop-rename,fail-rename:1", {2, {{WORK, link_to("victim")}}},
               0, CREATED_OUT, {{"out.mot", MERGED}}),
        // Nothing replaces what the run did not examine, nor what it would have refused.
        paused("FifoPutAtTheOutputBeforeTheRename", "stop-rename", {1, {{"out.mot", FIFO}}}, 4, KEPT_WORK,
               {{WORK, MERGED}}),
        paused("FifoPutWhereTheCopyReplacesTheOutput", "stop-rename,fail-rename:1", {2, {{"out.mot", FIFO}}},
               4, KEPT_WORK, {{WORK, MERGED}}),
        // One signal at each moment: while merging, after the rename, while copying.
        paused("INTWhileMerging", "", {0, {}, {SIGINT}}, -SIGINT, {}, {}, {}, "a+held+b"),
        paused("TERMAfterTheRename", "stop-flush", {1, {{WORK, "ANOTHER RUN'S"}}, {SIGTERM}},
               -SIGTERM, {}, {{"out.mot", MERGED}}),
        paused("HUPWhileCopying", COPY_CREATES, {2, {}, {SIGHUP}}, -SIGHUP, {}, {}),
        paused("TERMUnderAUmaskWithoutWrite", "", {0, {}, {SIGTERM}}, -SIGTERM, {}, {}, {.umask = 0222},
               "a+held+b"),
        paused("HangupIgnoredAtTheStart", "", {0, {}, {SIGHUP, SIGTERM}}, -SIGTERM, {}, {},
               {.hangup_ignored = true}, "a+held+b"),
        // What other users see: a replaced output keeps its mode and (as root) its owner, whether
        // the work file is renamed onto it or copied; a new output has the mode of the umask; a
        // kept work file, which may hold text its reader may not read, is its owner's alone; a
        // link planted in a shared (sticky) folder by its owner is neither followed nor replaced.
        {"ModeAndOwnerCarriedOver", {"a+b", "out"}, with(AB, {{"out.mot", owned("OLD", 0640, 2001)}}),
         CREATED_OUT, 0, {{"out.mot", owned(MERGED, 0640, 2001)}}, Platform::posix},
        {"ModeAndOwnerCarriedOverByTheCopy", {"a+b", "out"},
         with(AB, {{"out.mot", owned("OLD", 0640, 2001)}}), CREATED_OUT, 0,
         {{"out.mot", owned(MERGED, 0640, 2001)}}, Platform::posix, {.env = {"SRJOIN_FAULT=fail-rename:1"}}},
        {"NewOutputTakesTheUmask", {"a+b", "out"}, AB, CREATED_OUT, 0, {{"out.mot", owned(MERGED, 0640)}},
         Platform::posix, {.umask = 027}},
        {"CopiedUnderAUmaskWithoutWrite", {"a+b", "out"}, AB, CREATED_OUT, 0,
         {{"out.mot", owned(MERGED, 0444)}}, Platform::posix,
         {.env = {"SRJOIN_FAULT=fail-rename:1"}, .umask = 0222}},
        {"WorkFileKeptIsItsOwnersAlone", {"a+b", "out"}, with(AB, {{"out.mot", owned("OLD", 0444)}}),
         KEPT_WORK, 4, {{WORK, owned(MERGED, 0600)}}, Platform::posix},
        // A shared (sticky) folder with another user's file at the output: a run by a third user
        // may not replace it, and keeps its text its own; root's text is its own until it is in
        // place, and then takes the file's owner and mode.
        {"SharedFolderRenameRefused", {"secret+b", "shared/out"},
         {{"secret.MOT", owned("SECRET\n", 0600, 2002)}, {"b.MOT", "S1B\n"},
          {"shared", owned(FOLDER, 01777)}, {"shared/out.mot", owned("OLD", 0666, 2001)}},
         {{NOT_CREATED, "shared/out.mot"}, {KEPT, "shared/" + WORK}}, 4,
         {{"shared/" + WORK, owned("SECRET\r\nS1B\r\n" + FALLBACK, 0600, 2002)}}, Platform::posix,
         {.user = 2002}},
        {"LinkPlantedInASharedFolder", {"a+b", "shared/out"},
         with(AB, {{"mine", owned(FOLDER, 0755, 2002)}, {"mine/file", owned("MINE", 0644, 2002)},
                   {"shared", owned(FOLDER, 01777, 2001)},
                   {"shared/out.mot", owned(link_to("../mine/file"), -1, 2001)}}),
         {{NOT_CREATED, "shared/out.mot"}, {KEPT, "shared/" + WORK}}, 4, {{"shared/" + WORK, MERGED}},
         Platform::posix, {.user = 2002}},
        [] {
            Row row = paused("SharedFolderRootsTextIsItsOwnUntilInPlace", "stop-rename",
                             {1, {}, {}, {{"shared/" + WORK, owned(MERGED, 0600, 0)}}}, 0,
                             {{CREATED, "shared/out.mot"}},
                             {{"shared/out.mot", owned(MERGED, 0666, 2001)}});
            row.args[1] = "shared/out";
            row.before = with(AB, {{"shared", owned(FOLDER, 01777)},
                                   {"shared/out.mot", owned("OLD", 0666, 2001)}});
            return row;
        }(),
        [] {  // nothing was at the output when it was examined: nothing there is replaced
            Row row = paused("FileAtTheOutputBeforeTheRename", "stop-rename",
                             {1, {{"out.mot", "ANOTHER'S"}}}, 4, KEPT_WORK, {{WORK, MERGED}});
            row.before.erase("out.mot");
            return row;
        }(),
        // Ctrl-C while the rename waits for another program to let the output go.
        paused("INTWhileTheOutputIsHeld", "", {0, {}, {SIGINT}}, -SIGINT, {}, {},
               {.held = {"out.mot", 15, 0, 5}}),
        // Standard output a pipe of 4 KiB that nobody reads: the skip messages fill it.
        paused("INTWhileTheConsoleWaits", "", {0, {}, {SIGINT}}, -SIGINT, {}, {}, {.pipe_size = 4096},
               "a"),
    };
    // clang-format on
    for (int i = 0; i < 49; ++i) {
        const std::string missing = std::string(200, 'm') + std::to_string(i);
        rows.back().args[0] += "+" + missing;
        rows.back().said.push_back({SKIPPED, missing + ".MOT"});
    }
    // Every signal that would end the process runs the clean-up.
    for (const int signal : {SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGXCPU, SIGVTALRM, SIGPROF}) {
        rows.push_back(paused("", "", {0, {}, {signal}}, -signal, {}, {}, {}, "a+held+b"));
        rows.back().name = std::string(sigabbrev_np(signal)) + "WhileMerging";
    }
    return rows;
}

class Paused : public Table {};

TEST_P(Paused, OnlyTheRunsOwnFiles) {
    check(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Runs, Paused, testing::ValuesIn(rows()), row_name);

}  // namespace
