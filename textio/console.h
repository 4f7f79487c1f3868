// The console: standard output, with the same write translation as a TextFile (LF as CR LF).
// When standard output goes to a file or a pipe, every text is written as its bytes (the
// tool's own texts are Shift-JIS, names are as given), buffered in 512 bytes and written out by
// flush_console. On an interactive console every message is shown at once, in the form the
// console displays (show_console_text): the tool's own texts (show_line's text, show_message's
// format) converted, names (show_message's name and name_tail) shown as names.
#pragma once

#include <string_view>

// Writes text and a line break.
void show_line(std::string_view text);

// Writes format with its one "%s" replaced by name, followed directly by name_tail (the two
// together are the name shown: name_tail lets a name too long for any buffer be shown whole).
// Nothing else is added: a format without "\n" leaves the console line open.
void show_message(std::string_view format, std::string_view name, std::string_view name_tail = {});

// Writes out whatever is buffered. Called before the process ends.
void flush_console();
