// Interruptions (SIGINT, SIGTERM, SIGHUP) at five points of a run. Before publication the work
// file goes and the output stays as it was. The rename that publishes is one step: an
// interruption around it leaves the old output or the new one whole, and none afterwards
// deletes the work file's name, which may be another run's by then. Where the output is
// published by copying, the partial output goes and the work file, whole, is kept and named.
// The run then ends as killed by that signal.
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <optional>
#include <string>
#include <tuple>

#include "console_text.h"
#include "fault_support.h"
#include "textio/text_file.h"

namespace {

namespace fs = std::filesystem;

enum class Point {
    ReadingAFifoInput,   // the tool waits for data from a FIFO the test holds open
    WritingTheWorkFile,  // the first block written to the work file stalls (shim)
    AtTheRename,         // the signal comes as the rename starts (shim: stopped before it)
    AfterTheRename,      // ... once it is done, and another run has taken the work file's name
    CopyingTheOutput,    // the rename is refused; the first block of the copy stalls (shim)
};

class Interruption : public FaultTest,
                     public testing::WithParamInterface<std::tuple<int, Point>> {};

TEST_P(Interruption, CleansUpAndEndsByTheSignal) {
    const auto [signal_number, point] = GetParam();
    SKIP_UNLESS_POSIX_BUILD();
    if (point != Point::ReadingAFifoInput) {
        SKIP_UNLESS_SHIM_WORKS();
    }
    // More than one block, so that the stalled file is written in part.
    const std::string a = numbered_lines("A", TEXT_BLOCK_SIZE + 64 * 1024);
    const std::string merged = crlf(a) + "S1B\r\n" + FALLBACK;
    put("a.MOT", a);
    put("b.MOT", "S1B\n");
    put("out.mot", "OLD\r\n");
    Snapshot expected = snapshot();

    std::optional<Running> running;
    const KillLeftoverRuns kill_leftovers(*this);
    int fifo = -1;
    std::string stalled;  // the file being written when the signal comes
    pid_t stopped = -1;   // the run, stopped by the shim at the rename
    switch (point) {
        case Point::ReadingAFifoInput:
            ASSERT_EQ(mkfifo(at("pipe.MOT").c_str(), 0600), 0);
            running.emplace(start({"a+pipe+b", "out"}));
            fifo = open_fifo_writer(at("pipe.MOT"));
            ASSERT_GE(fifo, 0) << "the tool never opened the FIFO";
            break;
        case Point::WritingTheWorkFile:
            running.emplace(start_with_faults({"a+b", "out"}, {.stall_write = ".___"}));
            stalled = "___00000.___";
            break;
        case Point::AtTheRename:
        case Point::AfterTheRename:
            running.emplace(start_with_faults({"a+b", "out"}, {.rename = "stop"}));
            stopped = next_stop();
            ASSERT_GT(stopped, 0) << "the run never came to the rename";
            ASSERT_TRUE(is_stopped(stopped));
            break;
        case Point::CopyingTheOutput:
            running.emplace(
                start_with_faults({"a+b", "out"}, {.stall_write = "out.mot", .rename = "fail"}));
            stalled = "out.mot";
            break;
    }
    if (!stalled.empty()) {
        ASSERT_GT(next_stop(), 0) << "the write never stalled";
        ASSERT_GT(fs::file_size(at(stalled)), 0u);
        ASSERT_LT(fs::file_size(at(stalled)), merged.size());
    }
    ASSERT_TRUE(fs::exists(at("___00000.___")));
    const std::vector<pid_t> pids = running_tools();
    ASSERT_EQ(pids.size(), 1u);

    if (point == Point::AfterTheRename) {
        ASSERT_EQ(kill(stopped, SIGCONT), 0);
        ASSERT_EQ(next_stop(), stopped) << "the run never stopped after the rename";
        ASSERT_TRUE(is_stopped(stopped));
        put("___00000.___", "ANOTHER RUN'S\r\n");
    }
    ASSERT_EQ(kill(pids[0], signal_number), 0);
    if (point == Point::AtTheRename) {
        ASSERT_EQ(kill(stopped, SIGCONT), 0);
        // Stopped once more after the rename, when the run goes on that far.
        if (next_stop() == stopped) {
            ASSERT_TRUE(is_stopped(stopped));
        }
    }
    if (stopped > 0) {
        ASSERT_EQ(kill(stopped, SIGCONT), 0);
    }
    const RunResult result = running->finish();

    EXPECT_EQ(result.exit_code, -signal_number);
    if (fifo >= 0) {
        close(fifo);
        ASSERT_EQ(unlink(at("pipe.MOT").c_str()), 0);
    }
    const Snapshot after = snapshot();
    switch (point) {
        case Point::CopyingTheOutput:
            EXPECT_BYTES(result.output, banner() + printed(PUBLISH_FAILED, "out.mot") +
                                            printed(WORK_FILE_KEPT, "___00000.___"));
            expected.erase("out.mot");
            expected["___00000.___"] = "file:" + merged;
            break;
        case Point::AtTheRename:
            // Either outcome of one step, never a work file left.
            EXPECT_BYTES(result.output, banner());
            if (after.count("out.mot") != 0 && after.at("out.mot") != "file:OLD\r\n") {
                expected["out.mot"] = "file:" + merged;
            }
            break;
        case Point::AfterTheRename:
            EXPECT_BYTES(result.output, banner());
            expected["out.mot"] = "file:" + merged;
            expected["___00000.___"] = "file:ANOTHER RUN'S\r\n";
            break;
        default:
            EXPECT_BYTES(result.output, banner());
            break;
    }
    EXPECT_EQ(differences(expected, after), "");
}

std::string point_name(Point point) {
    switch (point) {
        case Point::ReadingAFifoInput:
            return "ReadingAFifoInput";
        case Point::WritingTheWorkFile:
            return "WritingTheWorkFile";
        case Point::AtTheRename:
            return "AtTheRename";
        case Point::AfterTheRename:
            return "AfterTheRename";
        case Point::CopyingTheOutput:
            return "CopyingTheOutput";
    }
    return "";
}

INSTANTIATE_TEST_SUITE_P(SignalsAndPoints, Interruption,
                         testing::Combine(testing::Values(SIGINT, SIGTERM, SIGHUP),
                                          testing::Values(Point::ReadingAFifoInput,
                                                          Point::WritingTheWorkFile,
                                                          Point::AtTheRename, Point::AfterTheRename,
                                                          Point::CopyingTheOutput)),
                         [](const testing::TestParamInfo<std::tuple<int, Point>>& one) {
                             return std::string(sigabbrev_np(std::get<0>(one.param))) + "_" +
                                    point_name(std::get<1>(one.param));
                         });

}  // namespace
