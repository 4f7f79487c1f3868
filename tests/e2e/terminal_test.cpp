// What a person sees: the built tool run with its standard output on a pseudo-terminal. Under a
// UTF-8 locale the tool's texts arrive as UTF-8 and names as they were given; under any other
// locale, and whenever standard output is a pipe, the bytes are the Shift-JIS ones.
//
// The terminal is put in raw mode, so that what is read from it is exactly what the tool wrote
// (a terminal in its usual mode adds a CR before each LF of its own).
#include <fcntl.h>
#include <locale.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "console_text.h"
#include "harness.h"

extern char** environ;

namespace {

const std::string HYO = "\x95\x5c";  // 表 in Shift-JIS

std::string tool() {
    const char* chosen = std::getenv("SRJOIN_EXE");
    return chosen != nullptr && *chosen != '\0' ? chosen : SRJOIN_TOOL;
}

// The environment without any locale setting, plus locale (such as "LANG=C.UTF-8").
std::vector<std::string> environment_with(const std::vector<std::string>& locale) {
    std::vector<std::string> result;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view text(*entry);
        if (text.substr(0, 5) != "LANG=" && text.substr(0, 3) != "LC_" &&
            text.substr(0, 9) != "LANGUAGE=") {
            result.emplace_back(text);
        }
    }
    result.insert(result.end(), locale.begin(), locale.end());
    return result;
}

std::vector<char*> pointers(std::vector<std::string>& words) {
    std::vector<char*> result;
    for (std::string& word : words) {
        result.push_back(word.data());
    }
    result.push_back(nullptr);
    return result;
}

// Where the tool's standard output goes (a pseudo-terminal or a pipe): the end the test reads and
// the end the tool writes.
struct OutputEnds {
    int controller = -1;
    int device = -1;
};

// A pseudo-terminal in raw mode.
OutputEnds open_terminal() {
    OutputEnds t;
    t.controller = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (t.controller < 0 || grantpt(t.controller) != 0 || unlockpt(t.controller) != 0) {
        ADD_FAILURE() << "no pseudo-terminal: " << std::strerror(errno);
        return t;
    }
    t.device = open(ptsname(t.controller), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios mode{};
    if (t.device < 0 || tcgetattr(t.device, &mode) != 0) {
        ADD_FAILURE() << "cannot open the terminal: " << std::strerror(errno);
        return t;
    }
    cfmakeraw(&mode);
    tcsetattr(t.device, TCSANOW, &mode);
    return t;
}

// Runs the tool in folder with standard output on a terminal (or a pipe) and the given locale.
RunResult run_shown(const std::string& folder, std::vector<std::string> args,
                    const std::vector<std::string>& locale, bool on_terminal) {
    OutputEnds t;
    if (on_terminal) {
        t = open_terminal();
    } else {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) == 0) {
            t = {fds[0], fds[1]};
        }
    }
    if (t.controller < 0 || t.device < 0) {
        ADD_FAILURE() << "no output for the tool";
        return {};
    }
    args.insert(args.begin(), tool());
    std::vector<char*> argv = pointers(args);
    std::vector<std::string> environment = environment_with(locale);
    std::vector<char*> envp = pointers(environment);

    const pid_t pid = fork();
    if (pid == 0) {
        const int no_input = open("/dev/null", O_RDONLY);
        if (no_input < 0 || dup2(no_input, STDIN_FILENO) < 0 || dup2(t.device, STDOUT_FILENO) < 0 ||
            dup2(t.device, STDERR_FILENO) < 0 || chdir(folder.c_str()) != 0) {
            _exit(126);
        }
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(t.device);
    RunResult result;
    char block[4096];
    // The end of the output: 0 from a pipe, EIO from a terminal nobody holds open any more.
    for (;;) {
        const ssize_t count = read(t.controller, block, sizeof block);
        if (count > 0) {
            result.output.append(block, static_cast<std::size_t>(count));
        } else if (count == 0 || errno != EINTR) {
            break;
        }
    }
    close(t.controller);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// utf8_format as a UTF-8 terminal shows it: its "%s" replaced by the raw bytes of name, LF as
// CR LF.
std::string on_utf8_terminal(std::string_view utf8_format, std::string_view name = {}) {
    std::string text(utf8_format);
    const std::size_t mark = text.find("%s");
    if (mark != std::string::npos) {
        text.replace(mark, 2, name);
    }
    return with_crlf(text);
}

struct TerminalCase {
    const char* title;
    std::vector<std::string> locale;
    bool on_terminal;
    std::vector<std::string> args;
    int exit_code;
    std::string shown;
};

std::vector<TerminalCase> terminal_cases() {
    const std::string utf8_banner = on_utf8_terminal("Srjoin Ver1.00\n");
    const std::string long_name(300, 'o');
    return {
        {"Utf8LocaleShowsUtf8Text",
         {"LANG=C.UTF-8"},
         true,
         {"a+b", "出力"},
         0,
         utf8_banner + on_utf8_terminal(CREATED, "出力.mot")},
        {"LcAllDecides",
         {"LANG=C", "LC_ALL=C.UTF-8"},
         true,
         {"a+b", "出力"},
         0,
         utf8_banner + on_utf8_terminal(CREATED, "出力.mot")},
        {"ShiftJisNameShownAsGiven",
         {"LANG=C.UTF-8"},
         true,
         {"a+b", HYO},
         0,
         utf8_banner + on_utf8_terminal(CREATED, HYO + ".mot")},
        {"UsageTextInUtf8",
         {"LANG=C.UTF-8"},
         true,
         {},
         255,
         utf8_banner + on_utf8_terminal(USAGE_TEXT)},
        {"LongNameShownWhole",
         {"LANG=C.UTF-8"},
         true,
         {"a+b", long_name},
         4,
         utf8_banner + on_utf8_terminal(PUBLISH_FAILED, long_name + ".mot")},
        {"CLocaleShowsShiftJisBytes",
         {"LANG=C"},
         true,
         {"a+b", "出力"},
         0,
         banner() + printed(CREATED, "出力.mot")},
        {"PipeGetsShiftJisBytes",
         {"LANG=C.UTF-8"},
         false,
         {"a+b", "出力"},
         0,
         banner() + printed(CREATED, "出力.mot")},
    };
}

void PrintTo(const TerminalCase& c, std::ostream* os) {
    *os << c.title;
}

class Terminal : public E2eTest, public testing::WithParamInterface<TerminalCase> {};

TEST_P(Terminal, ShowsTheMessages) {
    SKIP_UNLESS_POSIX_BUILD();
    const TerminalCase& c = GetParam();
    const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
    if (utf8 == locale_t{}) {
        GTEST_SKIP() << "no C.UTF-8 locale on this system";
    }
    freelocale(utf8);
    make({{"a.MOT", "S1A\n"}, {"b.MOT", "S1B\n"}});

    const RunResult result = run_shown(at(""), c.args, c.locale, c.on_terminal);

    EXPECT_EQ(result.exit_code, c.exit_code);
    EXPECT_BYTES(result.output, c.shown);
}

INSTANTIATE_TEST_SUITE_P(Runs, Terminal, testing::ValuesIn(terminal_cases()),
                         [](const testing::TestParamInfo<TerminalCase>& one) {
                             return std::string(one.param.title);
                         });

}  // namespace
