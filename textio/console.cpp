#include "textio/console.h"

#include <cstddef>

#include "textio/platform.h"

namespace {

// Standard output redirected to a file or pipe is written in blocks of this size.
constexpr std::size_t CONSOLE_BUFFER_SIZE = 512;

struct ConsoleBuffer {
    char bytes[CONSOLE_BUFFER_SIZE];
    std::size_t used = 0;
};

ConsoleBuffer console;

void put_byte(char byte) {
    if (console.used == CONSOLE_BUFFER_SIZE) {
        flush_console();
    }
    console.bytes[console.used++] = byte;
}

void buffer_text(std::string_view text) {
    for (const char byte : text) {
        if (byte == '\n') {
            put_byte('\r');
        }
        put_byte(byte);
    }
}

// An interactive console gets each piece at once, converted as what it is. LF is still written
// as CR LF: a terminal shows that as one line break whether or not it maps LF itself.
void show_text(std::string_view text, ConsoleText kind) {
    for (;;) {
        const std::size_t line_break = text.find('\n');
        const std::string_view line = text.substr(0, line_break);
        if (!line.empty()) {
            show_console_text(line.data(), line.size(), kind);
        }
        if (line_break == std::string_view::npos) {
            return;
        }
        show_console_text("\r\n", 2, kind);
        text.remove_prefix(line_break + 1);
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
    void put(std::string_view text, ConsoleText kind) const {
        if (interactive_) {
            show_text(text, kind);
        } else {
            buffer_text(text);
        }
    }

private:
    bool interactive_;
};

}  // namespace

// Interruptions are held while the buffer changes: the clean-up after one writes it out.
void show_line(std::string_view text) {
    hold_interruptions();
    const Message message;
    message.put(text, ConsoleText::tool_text);
    message.put("\n", ConsoleText::tool_text);
    allow_interruptions();
}

void show_message(std::string_view format, std::string_view name, std::string_view name_tail) {
    hold_interruptions();
    const Message message;
    const std::size_t placeholder = format.find("%s");
    if (placeholder == std::string_view::npos) {
        message.put(format, ConsoleText::tool_text);
    } else {
        message.put(format.substr(0, placeholder), ConsoleText::tool_text);
        message.put(name, ConsoleText::name);
        message.put(name_tail, ConsoleText::name);
        message.put(format.substr(placeholder + 2), ConsoleText::tool_text);
    }
    allow_interruptions();
}

void flush_console() {
    hold_interruptions();
    write_console(console.bytes, console.used);
    console.used = 0;
    allow_interruptions();
}
