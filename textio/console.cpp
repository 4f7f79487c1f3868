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

void put_text(std::string_view text) {
    for (const char byte : text) {
        if (byte == '\n') {
            put_byte('\r');
        }
        put_byte(byte);
    }
}

// A person at a console sees each message as soon as it is printed.
void end_message() {
    if (console_is_interactive()) {
        flush_console();
    }
}

}  // namespace

// Interruptions are held while the buffer changes: the clean-up after one writes it out.
void show_line(std::string_view text) {
    hold_interruptions();
    put_text(text);
    put_text("\n");
    end_message();
    allow_interruptions();
}

void show_message(std::string_view format, std::string_view name, std::string_view name_tail) {
    hold_interruptions();
    const std::size_t placeholder = format.find("%s");
    if (placeholder == std::string_view::npos) {
        put_text(format);
    } else {
        put_text(format.substr(0, placeholder));
        put_text(name);
        put_text(name_tail);
        put_text(format.substr(placeholder + 2));
    }
    end_message();
    allow_interruptions();
}

void flush_console() {
    hold_interruptions();
    write_console(console.bytes, console.used);
    console.used = 0;
    allow_interruptions();
}
