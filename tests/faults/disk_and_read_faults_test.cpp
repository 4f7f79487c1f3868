// Storage that fails under the run: a disk that fills up (a tmpfs the test mounts for the
// output's folder) and read errors (EIO from the shim). Whatever fails, no short output is
// published, the old output stays until the merge is complete, and the merged text is never
// lost once the old output is gone.
#include <cstdio>
#include <string>

#include "console_text.h"
#include "fault_support.h"
#include "textio/text_file.h"

namespace {

using DiskFull = FaultTest;

// The work file cannot be written whole: exit 3, the old output as it was, no work file left.
TEST_F(DiskFull, WhileTheWorkFileIsWritten) {
    SKIP_UNLESS_POSIX_BUILD();
    const struct {
        const char* when;
        std::size_t disk;
        std::size_t input;
    } cases[] = {
        {"a full block written part way through the merge", 64 * 1024, 3 * TEXT_BLOCK_SIZE},
        {"the one block, written when the work file is closed", 16 * 1024, 40 * 1024},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.when);
        const std::string disk = "disk" + std::to_string(c.disk);
        std::string reason;
        if (!mount_small_disk(at(disk), c.disk, reason)) {
            GTEST_SKIP() << reason;
        }
        put("big.MOT", numbered_lines("B", c.input));
        put("b.MOT", "S1B\n");
        put(disk + "/out.mot", "OLD\r\n");
        const Snapshot before = snapshot();

        const RunResult result = run({"big+b", disk + "/out"});

        EXPECT_EQ(result.exit_code, 3);
        EXPECT_BYTES(result.output, banner() + printed(CANNOT_APPEND, disk + "/___00000.___"));
        EXPECT_EQ(differences(before, snapshot()), "");
    }
}

// Room for the old output and the work file, not for a second copy of the merged text. The
// rename needs none: the output is published. Where the rename is refused and the output is
// copied, the copy fails: exit 4, no partial output, the work file kept whole and named.
TEST_F(DiskFull, WhilePublishing) {
    SKIP_UNLESS_SHIM_WORKS();
    for (const bool renamed : {true, false}) {
        SCOPED_TRACE(renamed ? "renamed" : "copied");
        const std::string disk = renamed ? "renamed" : "copied";
        std::string reason;
        if (!mount_small_disk(at(disk), 192 * 1024, reason)) {
            GTEST_SKIP() << reason;
        }
        const std::string a = numbered_lines("A", 60 * 1024);
        const std::string b = numbered_lines("B", 60 * 1024);
        put("a.MOT", a);
        put("b.MOT", b);
        put(disk + "/out.mot", "OLD\r\n");
        Snapshot expected = snapshot();

        const RunResult result =
            start_with_faults({"a+b", disk + "/out"}, {.rename = renamed ? "" : "fail"}).finish();

        const std::string merged = crlf(a + b) + FALLBACK;
        if (renamed) {
            EXPECT_EQ(result.exit_code, 0);
            EXPECT_BYTES(result.output, banner() + printed(CREATED, disk + "/out.mot"));
            expected[disk + "/out.mot"] = "file:" + merged;
        } else {
            EXPECT_EQ(result.exit_code, 4);
            EXPECT_BYTES(result.output, banner() + printed(PUBLISH_FAILED, disk + "/out.mot") +
                                            printed(WORK_FILE_KEPT, disk + "/___00000.___"));
            expected.erase(disk + "/out.mot");
            expected[disk + "/___00000.___"] = "file:" + merged;
        }
        EXPECT_EQ(differences(expected, snapshot()), "");
    }
}

using Publication = FaultTest;

// A file mounted over the output cannot be renamed onto (EBUSY): the work file's text is copied
// into it instead, and the run succeeds as any other.
TEST_F(Publication, OverAMountedOutputCopies) {
    SKIP_UNLESS_POSIX_BUILD();
    put("a.MOT", "S1A\n");
    put("b.MOT", "S1B\n");
    put("mounted", "MOUNTED\r\n");
    put("out.mot", "OLD\r\n");
    std::string reason;
    if (!bind_mount(at("mounted"), at("out.mot"), reason)) {
        GTEST_SKIP() << reason;
    }
    Snapshot expected = snapshot();

    const RunResult result = run({"a+b", "out"});

    EXPECT_EQ(result.exit_code, 0);
    EXPECT_BYTES(result.output, banner() + printed(CREATED, "out.mot"));
    expected["out.mot"] = expected["mounted"] = "file:S1A\r\nS1B\r\n" + FALLBACK;
    EXPECT_EQ(differences(expected, snapshot()), "");
}

using ReadError = FaultTest;

// An input that fails to read, at once or part way: exit 3, nothing published, no work file.
TEST_F(ReadError, InAnInput) {
    SKIP_UNLESS_SHIM_WORKS();
    put("a.MOT", "S1A\n");
    put("big.MOT", numbered_lines("B", 3 * TEXT_BLOCK_SIZE));
    put("b.MOT", "S1B\n");
    put("out.mot", "OLD\r\n");
    const Snapshot before = snapshot();
    for (const std::size_t after : {std::size_t{0}, TEXT_BLOCK_SIZE + 1000}) {
        SCOPED_TRACE("EIO after " + std::to_string(after) + " bytes");
        const RunResult result =
            start_with_faults({"a+big+b", "out"}, {.read_eio = "big.MOT", .read_eio_after = after})
                .finish();
        EXPECT_EQ(result.exit_code, 3);
        EXPECT_BYTES(result.output, banner() + printed(READ_FAILED, "big.MOT"));
        EXPECT_EQ(differences(before, snapshot()), "");
    }
}

// Where the rename is refused, the work file fails to read while it is copied to the output,
// at once or after a part of it was written: exit 4, no partial output, the work file kept whole
// and named.
TEST_F(ReadError, InTheWorkFileWhilePublishing) {
    SKIP_UNLESS_SHIM_WORKS();
    const std::string a = numbered_lines("A", 2 * TEXT_BLOCK_SIZE);
    put("a.MOT", a);
    put("b.MOT", "S1B\nS9030000FC\n");
    for (const std::size_t after : {std::size_t{0}, TEXT_BLOCK_SIZE + 1000}) {
        SCOPED_TRACE("EIO after " + std::to_string(after) + " bytes");
        put("out.mot", "OLD\r\n");
        Snapshot expected = snapshot();

        const RunResult result =
            start_with_faults({"a+b", "out"},
                              {.read_eio = ".___", .read_eio_after = after, .rename = "fail"})
                .finish();

        EXPECT_EQ(result.exit_code, 4);
        EXPECT_BYTES(result.output, banner() + printed(PUBLISH_FAILED, "out.mot") +
                                        printed(WORK_FILE_KEPT, "___00000.___"));
        expected.erase("out.mot");
        expected["___00000.___"] = "file:" + crlf(a) + "S1B\r\nS9030000FC\r\n";
        EXPECT_EQ(differences(expected, snapshot()), "");
        std::remove(at("___00000.___").c_str());
    }
}

}  // namespace
