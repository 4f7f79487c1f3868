// Input a well-behaved S-record file never holds: a line of 50 MB, random bytes, a FIFO,
// /dev/null, input lists of 100 000 characters. Each run ends with exit 0 and the exact bytes.
#include <sys/stat.h>
#include <unistd.h>

#include <sys/wait.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "console_text.h"
#include "fault_support.h"

namespace {

using HostileInput = FaultTest;

// One line of 50 MB without any line break: read, written and copied in pieces, it reaches the
// output whole, and the fallback record continues it.
TEST_F(HostileInput, FiftyMegabyteLineWithoutLineBreak) {
    constexpr std::size_t SIZE = 50 * 1000 * 1000;
    // Letters only: no piece of the line can start like a termination record.
    const ByteStream letters(7, "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    write_stream(at("huge.MOT"), SIZE, letters);
    put("empty.MOT", "");

    const RunResult result = run({"huge+empty", "out"});

    EXPECT_EQ(result.exit_code, 0);
    EXPECT_BYTES(result.output, banner() + printed(CREATED, "out.mot"));
    EXPECT_TRUE(file_is_stream(at("out.mot"), SIZE, letters, FALLBACK));
    EXPECT_EQ(names(), (std::vector<std::string>{"empty.MOT", "huge.MOT", "out.mot"}));
}

// What a run makes of its inputs: each input's data ends at its first Ctrl-Z and loses every
// CR; it is read in pieces that end after an LF or at 9997 characters; a piece whose first two
// characters are S or s and 7, 8 or 9 is held back in place of the one held before; any other
// is written up to its first NUL, each LF as CR LF. The held piece, or the fallback, ends it.
std::string merged_by_model(const std::vector<std::string>& inputs, int& held) {
    auto written = [](std::string_view piece) { return crlf(piece.substr(0, piece.find('\0'))); };
    std::string output;
    std::string record;
    for (const std::string& input : inputs) {
        std::string data = input.substr(0, input.find('\x1a'));
        std::erase(data, '\r');
        for (std::size_t at = 0; at < data.size();) {
            const std::size_t lf = data.find('\n', at);
            const std::size_t end =
                std::min({lf == std::string::npos ? data.size() : lf + 1, at + 9997, data.size()});
            const std::string_view piece(data.data() + at, end - at);
            at = end;
            if (piece.size() >= 2 && (piece[0] == 'S' || piece[0] == 's') &&
                std::string_view("789").find(piece[1]) != std::string_view::npos) {
                record = piece;
                ++held;
            } else {
                output += written(piece);
            }
        }
    }
    return output + (record.empty() ? FALLBACK : written(record));
}

// Random bytes, weighted towards LF and the start of termination records, with a stretch of
// 25 000 bytes without LF, then a Ctrl-Z and bytes that must never be read.
std::string random_input(std::uint32_t seed) {
    std::string all;
    for (int byte = 0; byte < 256; ++byte) {
        all += static_cast<char>(byte);
    }
    std::string text = all;
    std::erase(text, '\x1a');
    std::string no_lf = text;
    std::erase(no_lf, '\n');
    text += "\n\n\n\n\r\r" + std::string(16, 'S') + std::string(8, 's') + std::string(24, '7') +
            std::string(24, '8') + std::string(24, '9');
    ByteStream lines(seed, text);
    return lines.next(100 * 1000) + ByteStream(seed + 1, no_lf).next(25 * 1000) +
           lines.next(100 * 1000) + "\x1a" + ByteStream(seed + 2, all).next(1000);
}

TEST_F(HostileInput, RandomBytes) {
    const std::string r1 = random_input(1);
    const std::string r2 = random_input(2);
    put("r1.MOT", r1);
    put("r2.MOT", r2);
    int held = 0;
    const std::string merged = merged_by_model({r1, r2}, held);
    ASSERT_GT(held, 5) << "the inputs should hold termination records";

    const RunResult result = run({"r1+r2", "out"});

    EXPECT_EQ(result.exit_code, 0);
    EXPECT_BYTES(result.output, banner() + printed(CREATED, "out.mot"));
    EXPECT_BYTES(get("out.mot"), merged);
    EXPECT_EQ(names(), (std::vector<std::string>{"out.mot", "r1.MOT", "r2.MOT"}));
}

// A FIFO as an input, fed by the test while the tool reads it: 1 MiB, arriving as it comes.
TEST_F(HostileInput, FifoFedWhileTheToolReads) {
    SKIP_UNLESS_POSIX_BUILD();
    std::signal(SIGPIPE, SIG_IGN);  // a tool that stopped reading must fail the test, not end it
    put("a.MOT", "S1A\n");
    put("b.MOT", "S1B\nS9030000FC\n");
    ASSERT_EQ(mkfifo(at("pipe.MOT").c_str(), 0600), 0);
    const std::string fed = numbered_lines("P", 1 << 20);

    Running running = start({"a+pipe+b", "out"});
    std::thread feeder([&] {
        const int fd = open_fifo_writer(at("pipe.MOT"));
        for (std::size_t done = 0; fd >= 0 && done < fed.size();) {
            const ssize_t count =
                write(fd, fed.data() + done, std::min<std::size_t>(fed.size() - done, 10007));
            if (count <= 0) {
                break;
            }
            done += static_cast<std::size_t>(count);
        }
        if (fd >= 0) {
            close(fd);
        }
    });
    const RunResult result = running.finish();
    feeder.join();
    ASSERT_EQ(unlink(at("pipe.MOT").c_str()), 0);

    EXPECT_EQ(result.exit_code, 0);
    EXPECT_BYTES(result.output, banner() + printed(CREATED, "out.mot"));
    EXPECT_BYTES(get("out.mot"), "S1A\r\n" + crlf(fed) + "S1B\r\nS9030000FC\r\n");
    EXPECT_EQ(names(), (std::vector<std::string>{"a.MOT", "b.MOT", "out.mot"}));
}

// /dev/null merges as an empty input. Named as it is, it gets the default extension, and
// /dev/null.MOT does not open.
TEST_F(HostileInput, DevNull) {
    SKIP_UNLESS_POSIX_BUILD();
    make({{"a.MOT", "S1A\n"}, {"b.MOT", "S1B\n"}, link_entry("null.MOT", "/dev/null")});
    Snapshot expected = snapshot();

    const RunResult result = run({"a+null+/dev/null+b", "out"});

    EXPECT_EQ(result.exit_code, 0);
    EXPECT_BYTES(result.output,
                 banner() + printed(SKIPPED, "/dev/null.MOT") + printed(CREATED, "out.mot"));
    expected["out.mot"] = "file:S1A\r\nS1B\r\n" + FALLBACK;
    EXPECT_EQ(differences(expected, snapshot()), "");
}

// Input lists of 100 000 characters: names after the fiftieth are ignored without a word, a
// name of 100 000 characters is skipped and shown whole, empty names are .MOT.
TEST_F(HostileInput, ListsOfAHundredThousandCharacters) {
    SKIP_UNLESS_POSIX_BUILD();  // a Windows command line holds at most 32 767 characters
    put("a.MOT", "S1A\n");
    put("b.MOT", "S1B\n");
    std::string fifty;
    std::string fifty_merged;
    for (int i = 0; i < 50; ++i) {
        const std::string name = "n" + std::to_string(10 + i);
        put(name + ".MOT", "S1" + name + "\n");
        fifty += (i == 0 ? "" : "+") + name;
        fifty_merged += "S1" + name + "\r\n";
    }
    const std::string long_name(100 * 1000, 'x');
    const struct {
        const char* what;
        std::string list;
        std::string merged;
        std::vector<std::string> skipped;
    } cases[] = {
        {"fifty names and a long tail",
         fifty + "+" + std::string(100 * 1000 - fifty.size() - 1, 't'),
         fifty_merged,
         {}},
        {"one name of 100 000 characters", "a+" + long_name, "S1A\r\n", {long_name + ".MOT"}},
        {"two names and 99 997 plus signs", "a+b" + std::string(100 * 1000 - 3, '+'),
         "S1A\r\nS1B\r\n", std::vector<std::string>(48, ".MOT")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const RunResult result = run({c.list, "out"});

        std::string console = banner();
        for (const std::string& name : c.skipped) {
            console += printed(SKIPPED, name);
        }
        EXPECT_EQ(result.exit_code, 0);
        EXPECT_BYTES(result.output, console + printed(CREATED, "out.mot"));
        EXPECT_BYTES(get("out.mot"), c.merged + FALLBACK);
        EXPECT_EQ(names().size(), 53u);
    }
}

}  // namespace

namespace {

// Standard output closed by the caller: the work file must not take its descriptor, or the
// console's bytes (more than a buffer of them: 40 skip messages) would be merged into the output.
TEST_F(HostileInput, ClosedStandardOutput) {
    SKIP_UNLESS_POSIX_BUILD();
    put("a.MOT", "S00600004844521B\n");
    put("b.MOT", "S9030000FC\n");
    std::string list = "a";
    for (int i = 0; i < 40; ++i) {
        list += "+missing_input_number_" + std::to_string(i);
    }
    list += "+b";
    const std::string command =
        "cd '" + at("") + "' && exec '" SRJOIN_TOOL "' '" + list + "' out >&-";
    const int status = std::system(command.c_str());

    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_BYTES(get("out.mot"), "S00600004844521B\r\nS9030000FC\r\n");
}

}  // namespace
