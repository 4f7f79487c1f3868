// The console: standard output, with the same write translation as a TextFile (LF as CR LF).
// When standard output goes to a file or a pipe, every text is written as its bytes (the
// tool's own texts in Japanese, as Shift-JIS; names as given), buffered in 512 bytes and written
// out by flush_console: scripts and logs rely on those bytes. On an interactive console every
// message is shown at once, in the form the console displays (show_console_text): the tool's own
// texts (show_line's text, show_message's format) in English where the user's language is not
// Japanese, and converted; names (show_message's name and name_tail) shown as names, their
// control bytes as \xHH.
#pragma once

#include <string_view>

// A text of the tool's own in its two languages: Japanese, as Shift-JIS bytes, and English
// (ASCII), where a message that leaves the console line open in Japanese ends with a line break.
struct ToolText {
    std::string_view japanese;
    std::string_view english;
};

// Writes text and a line break.
void show_line(const ToolText& text);

// Writes format with its one "%s" replaced by name, followed directly by name_tail (the two
// together are the name shown: name_tail lets a name too long for any buffer be shown whole).
// Nothing else is added: a format without "\n" leaves the console line open.
void show_message(const ToolText& format, std::string_view name, std::string_view name_tail = {});

// Writes out whatever is buffered. Called before the process ends.
void flush_console();
