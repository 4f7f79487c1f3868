// Publication replaces the output with the work file's text, and a failure at any step leaves
// no partial output behind and the work file as it was.
#include "run/publish.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <string>

#include "tests/run/temp_folder.h"

namespace {

TEST(PublishOutput, ReplacesTheOutputWithTheWorkFileText) {
    TempFolder folder;
    const std::string long_line(5000, 'x');
    write_file("work", "S0\r\n" + long_line + "\nS9");
    write_file("out.mot", "old");
    ASSERT_EQ(publish_output("work", "out.mot"), 0);
    EXPECT_EQ(read_file("out.mot"), "S0\r\n" + long_line + "\r\nS9");
    EXPECT_TRUE(file_exists("work"));
}

TEST(PublishOutput, AReadOnlyOutputIsLeftAlone) {
    TempFolder folder;
    write_file("work", "new\n");
    write_file("out.mot", "old");
    ASSERT_EQ(::chmod("out.mot", 0444), 0);
    EXPECT_EQ(publish_output("work", "out.mot"), -1);
    EXPECT_EQ(read_file("out.mot"), "old");
}

TEST(PublishOutput, AMissingWorkFileLeavesNoOutput) {
    TempFolder folder;
    write_file("out.mot", "old");
    EXPECT_EQ(publish_output("missing", "out.mot"), -2);
    EXPECT_FALSE(file_exists("out.mot"));
}

// /proc/self/mem opens like a file, and its first read fails.
TEST(PublishOutput, AReadErrorOnTheWorkFileIsAFailureNotAShortOutput) {
    TempFolder folder;
    write_file("out.mot", "old");
    EXPECT_EQ(publish_output("/proc/self/mem", "out.mot"), -4);
    EXPECT_FALSE(file_exists("out.mot"));
}

// Runs in a child: publishes with files limited to limit bytes; exit 0 when publication failed
// as a write failure and left no output.
[[noreturn]] void publish_under_size_limit(rlim_t limit) {
    const rlimit size_limit{limit, limit};
    ::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &size_limit);
    const int result = publish_output("work", "out.mot");
    ::_exit(result == -3 && !file_exists("out.mot") ? 0 : 1);
}

// With a file-size limit the output cannot be written out: when the work file is smaller than
// one block the failure comes only when the output is closed, otherwise while writing.
TEST(PublishOutput, AWriteFailureLeavesNoOutputWhetherItShowsOnWriteOrOnClose) {
    for (const std::size_t size : {100U, 300000U}) {
        TempFolder folder;
        write_file("work", std::string(size, 'w') + "\n");
        EXPECT_EXIT(publish_under_size_limit(50), ::testing::ExitedWithCode(0), "") << size;
        EXPECT_EQ(read_file("work").size(), size + 1);
    }
}

}  // namespace
