#include "textio/console.h"

#include <algorithm>
#include <cstddef>

#include "os/os.h"

namespace {

// Standard output redirected to a file or pipe is written in blocks of this size.
constexpr std::size_t CONSOLE_BUFFER_SIZE = 512;

struct ConsoleBuffer {
    char bytes[CONSOLE_BUFFER_SIZE];
    std::size_t used = 0;
};

ConsoleBuffer console;

// The clean-up after an interruption writes the buffer out, so interruptions wait while it
// changes; never while the console is written, which may wait without end (a full pipe nobody
// reads, a terminal stopped with Ctrl-S), and an interruption must still end the run then.
void buffer_text(std::string_view text) {
    bool cr_written = false;  // the CR of the LF text starts with is in the buffer
    while (!text.empty()) {
        if (console.used == CONSOLE_BUFFER_SIZE) {
            flush_console();
        }
        const HeldInterruptions held;
        while (!text.empty() && console.used < CONSOLE_BUFFER_SIZE) {
            if (text.front() == '\n' && !cr_written) {
                console.bytes[console.used++] = '\r';
                cr_written = true;
                continue;
            }
            console.bytes[console.used++] = text.front();
            text.remove_prefix(1);
            cr_written = false;
        }
    }
}

// An interactive console gets each piece at once, converted. LF is still written as CR LF: a
// terminal shows that as one line break whether or not it maps LF itself.
void show_tool_text(std::string_view text) {
    for (;;) {
        const std::size_t line_break = text.find('\n');
        const std::string_view line = text.substr(0, line_break);
        if (!line.empty()) {
            show_console_text(line.data(), line.size(), ConsoleText::tool_text);
        }
        if (line_break == std::string_view::npos) {
            return;
        }
        show_console_text("\r\n", 2, ConsoleText::tool_text);
        text.remove_prefix(line_break + 1);
    }
}

bool is_control_byte(char byte) {
    const auto value = static_cast<unsigned char>(byte);
    return value < 0x20 || value == 0x7F;
}

// A name's control bytes (C0 and DEL) would reach the terminal as commands: a retitled window, a
// cleared screen, a forged line. They are shown as \xHH. None of them is part of a multibyte
// character in the encodings names come in (UTF-8, Shift-JIS and the other Windows code pages,
// whose second bytes start at 0x40), so the name is cut only between characters.
void show_name(std::string_view name) {
    constexpr std::string_view HEX_DIGITS = "0123456789ABCDEF";
    for (;;) {
        const auto control = std::find_if(name.begin(), name.end(), is_control_byte);
        const auto run = static_cast<std::size_t>(control - name.begin());
        if (run > 0) {
            show_console_text(name.data(), run, ConsoleText::name);
        }
        if (control == name.end()) {
            return;
        }
        const auto byte = static_cast<unsigned char>(*control);
        const char escaped[] = {'\\', 'x', HEX_DIGITS[byte >> 4], HEX_DIGITS[byte & 0xF]};
        show_console_text(escaped, sizeof escaped, ConsoleText::tool_text);
        name.remove_prefix(run + 1);
    }
}

// One message on its way out: shown piece by piece on an interactive console, which sees it at
// once, or collected in the buffer when standard output is a file or a pipe, which gets the
// bytes as they are.
class Message {
public:
    Message() : interactive_(console_is_interactive()) {
        if (interactive_ && console.used > 0) {
            flush_console();  // keeps the order should standard output have changed
        }
    }
    // Redirected output is the same in every language, as scripts expect: the Japanese bytes.
    // English is for a reader who may not read them.
    std::string_view in_its_language(const ToolText& text) const {
        return interactive_ && !user_language_is_japanese() ? text.english : text.japanese;
    }
    void put(std::string_view text, ConsoleText kind) const {
        if (!interactive_) {
            buffer_text(text);
        } else if (kind == ConsoleText::name) {
            show_name(text);
        } else {
            show_tool_text(text);
        }
    }

private:
    bool interactive_;
};

}  // namespace

void show_line(const ToolText& text) {
    const Message message;
    message.put(message.in_its_language(text), ConsoleText::tool_text);
    message.put("\n", ConsoleText::tool_text);
}

void show_message(const ToolText& text, std::string_view name, std::string_view name_tail) {
    const Message message;
    const std::string_view format = message.in_its_language(text);
    const std::size_t placeholder = format.find("%s");
    if (placeholder == std::string_view::npos) {
        message.put(format, ConsoleText::tool_text);
    } else {
        message.put(format.substr(0, placeholder), ConsoleText::tool_text);
        message.put(name, ConsoleText::name);
        message.put(name_tail, ConsoleText::name);
        message.put(format.substr(placeholder + 2), ConsoleText::tool_text);
    }
}

// Written with interruptions allowed, the bytes stay in the buffer until they are out: the
// clean-up after an interruption that comes meanwhile writes them itself (a write to a pipe
// that waits has written nothing yet).
void flush_console() {
    write_console(console.bytes, console.used);
    const HeldInterruptions held;
    console.used = 0;
}
