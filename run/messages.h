// The tool's console texts, in Japanese as the Shift-JIS bytes it prints, and in English. The
// Japanese is kept as byte escapes (the source stays ASCII and the bytes cannot change with an
// editor's encoding); the comment above each gives its text. "%s" stands for the name the
// message shows; in English, "%r" for where the reason goes. The console chooses the language and
// adds the reason (console.h).
#pragma once

#include <array>

#include "textio/console.h"

// The same in both languages.
inline constexpr ToolText BANNER = {"Srjoin Ver1.00", "Srjoin Ver1.00"};

// "合算するファイルは２つ以上必要です。"
inline constexpr ToolText TOO_FEW_INPUTS = {
    "\x8d\x87\x8e\x5a\x82\xb7\x82\xe9\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xcd\x82\x51\x82\xc2\x88"
    "\xc8\x8f\xe3\x95\x4b\x97\x76\x82\xc5\x82\xb7\x81\x42",
    "At least two files are needed to merge."};

// "作業ファイル[%s]が作成できません。\n"
inline constexpr ToolText WORK_FILE_NOT_CREATED = {
    "\x8d\xec\x8b\xc6\x83\x74\x83\x40\x83\x43\x83\x8b[%s]"
    "\x82\xaa\x8d\xec\x90\xac\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1\x81\x42\n",
    "Cannot create the work file [%s]%r.\n"};

// "[%s]が開けません。->Skipします"
inline constexpr ToolText INPUT_SKIPPED = {
    "[%s]\x82\xaa\x8a\x4a\x82\xaf\x82\xdc\x82\xb9\x82\xf1\x81\x42->Skip\x82\xb5\x82\xdc\x82\xb7",
    "Cannot open [%s]%r. ->Skipping\n"};

// "[%s]に追加書き込みできません。"
inline constexpr ToolText WORK_FILE_NOT_WRITTEN = {
    "[%s]"
    "\x82\xc9\x92\xc7\x89\xc1\x8f\x91\x82\xab\x8d\x9e\x82\xdd\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82"
    "\xf1\x81\x42",
    "Cannot append to [%s]%r.\n"};

// "[%s]の作成に失敗しました。\n"
inline constexpr ToolText OUTPUT_NOT_CREATED = {
    "[%s]"
    "\x82\xcc\x8d\xec\x90\xac\x82\xc9\x8e\xb8\x94\x73\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42\n",
    "Failed to create [%s]%r.\n"};

// "[%s]を作成しました。\n"
inline constexpr ToolText OUTPUT_CREATED = {
    "[%s]\x82\xf0\x8d\xec\x90\xac\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42\n", "Created [%s].\n"};

// "[%s]の読み込みに失敗しました。\n"
inline constexpr ToolText INPUT_NOT_READ = {
    "[%s]"
    "\x82\xcc\x93\xc7\x82\xdd\x8d\x9e\x82\xdd\x82\xc9\x8e\xb8\x94\x73\x82\xb5\x82\xdc\x82\xb5\x82"
    "\xbd\x81\x42\n",
    "Failed to read [%s]%r.\n"};

// "合算結果を作業ファイル[%s]に残しました。\n"
inline constexpr ToolText WORK_FILE_KEPT = {
    "\x8d\x87\x8e\x5a\x8c\x8b\x89\xca\x82\xf0\x8d\xec\x8b\xc6\x83\x74\x83\x40\x83\x43\x83\x8b[%s]"
    "\x82\xc9\x8e\x63\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42\n",
    "Left the merged result in the work file [%s].\n"};

// The tool's own reasons for a failure.
// "読み取り専用です"
inline constexpr ToolText READ_ONLY = {
    "\x93\xc7\x82\xdd\x8e\xe6\x82\xe8\x90\xea\x97\x70\x82\xc5\x82\xb7", "read-only"};
// "通常のファイルではありません"
inline constexpr ToolText NOT_A_FILE = {
    "\x92\xca\x8f\xed\x82\xcc\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xc5\x82\xcd\x82\xa0\x82\xe8\x82"
    "\xdc\x82\xb9\x82\xf1",
    "not a regular file"};
// "名前が256バイトを超えています"
inline constexpr ToolText NAME_TOO_LONG = {
    "\x96\xbc\x91\x4f\x82\xaa\x32\x35\x36\x83\x6f\x83\x43\x83\x67\x82\xf0\x92\xb4\x82\xa6\x82\xc4"
    "\x82\xa2\x82\xdc\x82\xb7",
    "name longer than 256 bytes"};
// "作業ファイルが他から変更されました"
inline constexpr ToolText CHANGED_BY_ANOTHER = {
    "\x8d\xec\x8b\xc6\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xaa\x91\xbc\x82\xa9\x82\xe7\x95\xcf\x8d"
    "\x58\x82\xb3\x82\xea\x82\xdc\x82\xb5\x82\xbd",
    "the work file was changed by another program"};
// "300個の名前がすべて使用中です"
inline constexpr ToolText ALL_NAMES_TAKEN = {
    "\x33\x30\x30\x8c\xc2\x82\xcc\x96\xbc\x91\x4f\x82\xaa\x82\xb7\x82\xd7\x82\xc4\x8e\x67\x97\x70"
    "\x92\x86\x82\xc5\x82\xb7",
    "all 300 names are taken"};
// "作業ファイル自身です"
inline constexpr ToolText IS_THE_WORK_FILE = {
    "\x8d\xec\x8b\xc6\x83\x74\x83\x40\x83\x43\x83\x8b\x8e\xa9\x90\x67\x82\xc5\x82\xb7",
    "it is the work file itself"};
// "開けた入力がありません"
inline constexpr ToolText NO_INPUT_OPENED = {
    "\x8a\x4a\x82\xaf\x82\xbd\x93\xfc\x97\xcd\x82\xaa\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1",
    "no input could be opened"};

// The usage text, a line each.
inline constexpr std::array<ToolText, 8> USAGE_LINES = {{
    {"usage: Srjoin file1+file2+....file9 out_file",
     "usage: Srjoin file1+file2+....file9 out_file"},
    // "       file1,file2...のモトローラＳフォーマットのファイルを合算して"
    {"       "
     "file1,file2..."
     "\x82\xcc\x83\x82\x83\x67\x83\x8d\x81\x5b\x83\x89\x82\x72\x83\x74\x83\x48\x81\x5b\x83\x7d\x83"
     "\x62\x83\x67\x82\xcc\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xf0\x8d\x87\x8e\x5a\x82\xb5\x82\xc4",
     "       Merges the Motorola S-format files file1,file2... and"},
    // "       out_fileを作成。"
    {"       out_file\x82\xf0\x8d\xec\x90\xac\x81\x42", "       creates out_file."},
    // "       合体したファイル中のS7,S8,S9レコードは最後の１つを残します。"
    {"       "
     "\x8d\x87\x91\xcc\x82\xb5\x82\xbd\x83\x74\x83\x40\x83\x43\x83\x8b\x92\x86\x82\xccS7,S8,"
     "S9\x83\x8c\x83\x52\x81\x5b\x83\x68\x82\xcd\x8d\xc5\x8c\xe3\x82\xcc\x82\x50\x82\xc2\x82\xf0"
     "\x8e"
     "\x63\x82\xb5\x82\xdc\x82\xb7\x81\x42",
     "       Only the last S7,S8,S9 record of the joined files is kept."},
    // "       out_file は file1,file2... のどれかと同じ名称可。"
    {"       out_file \x82\xcd file1,file2... "
     "\x82\xcc\x82\xc7\x82\xea\x82\xa9\x82\xc6\x93\xaf\x82\xb6\x96\xbc\x8f\xcc\x89\xc2\x81\x42",
     "       out_file may have the same name as one of file1,file2...."},
    // "       例えば Srjoin tst1.mot+tst2.mot+tst3.mot tst1.mot や"
    {"       \x97\xe1\x82\xa6\x82\xce Srjoin tst1.mot+tst2.mot+tst3.mot tst1.mot \x82\xe2",
     "       For example Srjoin tst1.mot+tst2.mot+tst3.mot tst1.mot or"},
    // "              Srjoin tst1.mot+tst1.mot+tst1.mot tst1.mot も可。"
    {"              Srjoin tst1.mot+tst1.mot+tst1.mot tst1.mot \x82\xe0\x89\xc2\x81\x42",
     "              Srjoin tst1.mot+tst1.mot+tst1.mot tst1.mot is allowed too."},
    // "       最大50個まで合算できる。"
    {"       \x8d\xc5\x91\xe5"
     "50\x8c\xc2\x82\xdc\x82\xc5\x8d\x87\x8e\x5a\x82\xc5\x82\xab\x82\xe9\x81\x42",
     "       Up to 50 files can be merged."},
}};
