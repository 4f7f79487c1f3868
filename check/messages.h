// Srcheck's own console texts, in Japanese as the Shift-JIS bytes it prints, and in English (the
// findings and the summary are findings_text.h's). As in run/messages.h: the Japanese kept as
// byte escapes with the text above; "%s" for a name, "%r" for where the reason goes in English.
#pragma once

#include <array>

#include "textio/console.h"

// The same in both languages.
inline constexpr ToolText CHECK_BANNER = {"Srcheck Ver1.00", "Srcheck Ver1.00"};

// "%s: 読み込めません\n"
inline constexpr ToolText FILE_NOT_READ = {
    "%s: \x93\xc7\x82\xdd\x8d\x9e\x82\xdf\x82\xdc\x82\xb9\x82\xf1\n", "%s: cannot be read%r\n"};

// The usage text, a line each.
inline constexpr std::array<ToolText, 5> CHECK_USAGE_LINES = {{
    {"usage: Srcheck file1+file2+....file9", "usage: Srcheck file1+file2+....file9"},
    // "       file1,file2...のモトローラＳフォーマットのファイルを、Srjoinが"
    {"       file1,file2..."
     "\x82\xcc\x83\x82\x83\x67\x83\x8d\x81\x5b\x83\x89\x82\x72\x83\x74\x83\x48\x81\x5b\x83\x7d"
     "\x83\x62\x83\x67\x82\xcc\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xf0\x81\x41Srjoin\x82\xaa",
     "       Checks the Motorola S-format files file1,file2... in the order"},
    // "       合算する順に検査します。最大50個まで。"
    {"       \x8d\x87\x8e\x5a\x82\xb7\x82\xe9\x8f\x87\x82\xc9\x8c\x9f\x8d\xb8\x82\xb5\x82\xdc\x82"
     "\xb7\x81\x42\x8d\xc5\x91\xe5"
     "50\x8c\xc2\x82\xdc\x82\xc5\x81\x42",
     "       Srjoin merges them. Up to 50 files."},
    // "       見つけたものを1行ずつ「ファイル:行: 内容」の形で表示します。"
    {"       \x8c\xa9\x82\xc2\x82\xaf\x82\xbd\x82\xe0\x82\xcc\x82\xf0"
     "1\x8d\x73\x82\xb8\x82\xc2\x81\x75\x83\x74\x83\x40\x83\x43\x83\x8b:\x8d\x73: "
     "\x93\xe0\x97\x65\x81\x76\x82\xcc\x8c\x60\x82\xc5\x95\x5c\x8e\xa6\x82\xb5\x82\xdc\x82\xb7"
     "\x81\x42",
     "       Each finding is one line: file:line: what."},
    // "       終了コード: 0 エラーなし、1 エラーあり、2 読めないファイルあり"
    {"       \x8f\x49\x97\xb9\x83\x52\x81\x5b\x83\x68: 0 "
     "\x83\x47\x83\x89\x81\x5b\x82\xc8\x82\xb5\x81\x41"
     "1 \x83\x47\x83\x89\x81\x5b\x82\xa0\x82\xe8\x81\x41"
     "2 \x93\xc7\x82\xdf\x82\xc8\x82\xa2\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xa0\x82\xe8",
     "       Exit code: 0 no error, 1 errors found, 2 a file cannot be read."},
}};
