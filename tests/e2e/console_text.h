// The texts Srjoin prints, as the end-to-end tests expect them. They are written here in UTF-8 so
// that the tests stay readable, and turned into what the tool prints: Shift-JIS (CP932) bytes
// with CR LF line breaks. Names are inserted as their raw bytes.
#pragma once

#include <string>
#include <string_view>

// The usage text, eight lines.
inline constexpr std::string_view USAGE_TEXT =
    "usage: Srjoin file1+file2+....file9 out_file\n"
    "       file1,file2...のモトローラＳフォーマットのファイルを合算して\n"
    "       out_fileを作成。\n"
    "       合体したファイル中のS7,S8,S9レコードは最後の１つを残します。\n"
    "       out_file は file1,file2... のどれかと同じ名称可。\n"
    "       例えば Srjoin tst1.mot+tst2.mot+tst3.mot tst1.mot や\n"
    "              Srjoin tst1.mot+tst1.mot+tst1.mot tst1.mot も可。\n"
    "       最大50個まで合算できる。\n";
inline constexpr std::string_view TOO_FEW_INPUTS = "合算するファイルは２つ以上必要です。\n";
inline constexpr std::string_view CANNOT_CREATE_WORK = "作業ファイル[%s]が作成できません。\n";
inline constexpr std::string_view CANNOT_APPEND = "[%s]に追加書き込みできません。";
inline constexpr std::string_view PUBLISH_FAILED = "[%s]の作成に失敗しました。\n";
inline constexpr std::string_view WORK_FILE_KEPT = "合算結果を作業ファイル[%s]に残しました。\n";
inline constexpr std::string_view READ_FAILED = "[%s]の読み込みに失敗しました。\n";
inline constexpr std::string_view SKIPPED = "[%s]が開けません。->Skipします";
inline constexpr std::string_view CREATED = "[%s]を作成しました。\n";

// text with every LF written as CR LF.
std::string with_crlf(std::string_view text);

// utf8 as the tool prints it: CP932 bytes, each LF written as CR LF.
std::string printed(std::string_view utf8);

// format as the tool prints it, its "%s" (if any) replaced by the raw bytes of name.
std::string printed(std::string_view utf8_format, std::string_view name);

// The first line of every run.
std::string banner();
