#include "textio/console.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

namespace {

// Runs body with standard output sent to a temporary file and gives what reached it.
std::string console_output(const std::function<void()>& body) {
    std::fflush(stdout);
    flush_console();
    std::FILE* capture = std::tmpfile();
    if (capture == nullptr) {
        ADD_FAILURE() << "tmpfile failed";
        return {};
    }
    const int saved = dup(STDOUT_FILENO);
    dup2(fileno(capture), STDOUT_FILENO);
    body();
    flush_console();
    dup2(saved, STDOUT_FILENO);
    close(saved);
    std::string bytes;
    std::rewind(capture);
    for (int c = std::fgetc(capture); c != EOF; c = std::fgetc(capture)) {
        bytes += static_cast<char>(c);
    }
    std::fclose(capture);
    return bytes;
}

TEST(Console, MessagesAndLinesWithCrLf) {
    const std::string long_text(1500, 'z');  // crosses the console's buffer
    struct Case {
        const char* what;
        std::function<void()> body;
        std::string expected;
    };
    const Case cases[] = {
        {"name and tail", [] { show_message("File %s is missing.\n", "ab", "cd"); },
         "File abcd is missing.\r\n"},
        {"no tail, no line break", [] { show_message("[%s]", "x.mot"); }, "[x.mot]"},
        {"a %s in the name stays", [] { show_message("%s!", "%s", "%s"); }, "%s%s!"},
        {"Shift-JIS bytes as they are",
         [] { show_message("\x83\x74\x83\x40\x83\x43\x83\x8b %s\n", "\x95\x5c.mot"); },
         "\x83\x74\x83\x40\x83\x43\x83\x8b \x95\x5c.mot\r\n"},
        {"open line closed by a line",
         [] {
             show_message("open %s ", "f");
             show_line("done");
         },
         "open f done\r\n"},
        {"LF inside a line", [] { show_line("a\nb"); }, "a\r\nb\r\n"},
        {"empty line", [] { show_line(""); }, "\r\n"},
        {"long line", [&long_text] { show_line(long_text); }, long_text + "\r\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(console_output(c.body), c.expected) << c.what;
    }
}

}  // namespace
