// The console: standard output, in the form the user's setting gives (os.h, ConsoleForm):
// - the exact bytes scripts compare: the Japanese texts as Shift-JIS, each LF written as CR LF,
//   names as given, a message without "\n" leaving its line open, buffered in 512 bytes;
// - the locale's form (POSIX): the texts in the user's language and the locale's codeset (in
//   English where that codeset cannot hold the Japanese), each message ending its line, names'
//   control bytes (and in UTF-8 what is not UTF-8) shown as \xHH, the system's reason added;
// - a Windows console: Unicode, in the user's language, names' control bytes as \xHH.
// A terminal or a console sees each message at once; a file or a pipe gets it by flush_console.
#pragma once

#include <initializer_list>
#include <span>
#include <string_view>

// A text of the tool's own in its two languages: Japanese, as Shift-JIS bytes, and English
// (ASCII). A "%s" stands for a name; in English, a "%r" for where a reason goes.
struct ToolText {
    std::string_view japanese;
    std::string_view english;
};

// Why a failure happened, where the message can say: the system's code of the failure, or the
// tool's own words.
struct Reason {
    int system_error = 0;
    const ToolText* own = nullptr;
};

// Writes text and a line break.
void show_line(const ToolText& text);

// Writes format with its "%s" replaced by name, followed directly by name_tail (the two together
// are the name shown: name_tail lets a name too long for any buffer be shown whole), and the
// reason, where the form shows reasons: at "%r", or else before the line break, in parentheses.
void show_message(const ToolText& format, std::string_view name, std::string_view name_tail = {},
                  Reason reason = {});

// Writes a line made at run time, with each "%s" replaced by the next of names, shown as names
// are, and a line break; no reason. Its Japanese is converted where it is shown, never kept.
void show_named_line(const ToolText& text, std::span<const std::string_view> names);

// Makes ready, now, the texts that the clean-up after an interruption may show, when no
// conversion may run.
void prepare_console_texts(std::initializer_list<const ToolText*> texts);

// Writes out whatever is buffered. Called before the process ends.
void flush_console();
