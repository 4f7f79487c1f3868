// What Srcheck promises, a row each: the files a run finds, its arguments, every byte it prints
// (after its banner; in Shift-JIS with CR LF unless a row says another form) and its exit code.
// Each error and notice of the check, the entry point, overlaps, unreadable files, the command
// line, and the forms of the console.
#include <cstdlib>
#include <string>
#include <vector>

#include "tool.h"

namespace {

using namespace std::string_literals;

// Srcheck: SRJOIN_CHECK_EXE, or the one built here.
std::string srcheck() {
    return given("SRJOIN_CHECK_EXE") ? std::getenv("SRJOIN_CHECK_EXE") : SRJOIN_CHECK_TOOL;
}

// A valid record: the type digit, then address and data in hexadecimal; count and checksum added.
std::string rec(char type, const std::string& address_and_data) {
    const auto hex = [](std::size_t byte) {
        return std::string{"0123456789ABCDEF"[byte >> 4 & 0xF], "0123456789ABCDEF"[byte & 0xF]};
    };
    std::size_t sum = address_and_data.size() / 2 + 1;
    for (std::size_t i = 0; i < address_and_data.size(); i += 2) {
        sum += std::stoul(address_and_data.substr(i, 2), nullptr, 16);
    }
    return "S"s + type + hex(address_and_data.size() / 2 + 1) + address_and_data + hex(~sum & 0xFF);
}

// Lines, each with an LF.
std::string lines(const std::vector<std::string>& each) {
    std::string text;
    for (const std::string& line : each) {
        text += line + "\n";
    }
    return text;
}

// count records of one byte, at 1000, 1002, 1004...: as many ranges.
std::string apart(int count) {
    std::vector<std::string> records;
    for (int i = 0; i < count; ++i) {
        records.push_back(rec('1', std::to_string(1000 + 2 * i) + "AA"));
    }
    return lines(records);
}

struct CheckRow {
    std::string name;
    std::vector<std::string> args;
    Files files;
    std::string said;  // UTF-8, LF
    int exit_code;
    Platform platform = Platform::any;
    std::vector<std::string> env = {};  // an env naming a locale sets the form
    Form form = Form::exact;            // utf8: as it is (LC_ALL=C: English, ASCII)
};
void PrintTo(const CheckRow& row, std::ostream* os) {
    *os << row.name;
}

const std::string S9 = rec('9', "0000") + "\n",
                  USAGE_TEXT =
                      "usage: Srcheck file1+file2+....file9\n"
                      "       file1,file2...のモトローラＳフォーマットのファイルを、Srjoinが\n"
                      "       合算する順に検査します。最大50個まで。\n"
                      "       見つけたものを1行ずつ「ファイル:行: 内容」の形で表示します。\n"
                      "       終了コード: 0 エラーなし、1 エラーあり、2 読めないファイルあり\n";

// clang-format off
const CheckRow ROWS[] = {
    {"SamplesCheckClean", {"tst1.mot+tst2.mot+tst3.mot"},
     {{"tst1.mot", example("tst1.mot")}, {"tst2.mot", example("tst2.mot")}, {"tst3.mot", example("tst3.mot")}},
     "tst1.mot: レコード 8、データ 96バイト、範囲 00001000-0000105F\n"
     "tst2.mot: レコード 7、データ 80バイト、範囲 00020000-0002004F\n"
     "tst3.mot: レコード 5、データ 72バイト、範囲 08000000-08000047\n"
     "イメージ: 00001000-0000105F 00020000-0002004F 08000000-08000047\n"
     "エントリポイント 08000000 (tst3.mot:5のS7レコード)\nエラー 0、注意 0\n", 0},
    // Lines as an editor numbers them, each CR dropped, nothing read from a Ctrl-Z on; a line of
    // 1024 characters is checked, a longer one is too long.
    {"EachLineError", {"a.mot"},
     {{"a.mot", "hello\r\nS4030000FC\nS10300\0"s "0FC\nS1030000F\nS1040000FC\nS203010203\nS1030000FB\n\n"
                "s1030000FC\nS1" + std::string(1022, 'x') + "\nS1" + std::string(1023, 'x') + "\n" +
                rec('5', "0003") + "\nS9030000\rFC\r\n\x1Ahello\n"}},
     "a.mot:1: Sレコードではありません\na.mot:2: S4は予約済みのレコードタイプです\n"
     "a.mot:3: 7桁目が16進数字ではありません\na.mot:4: 16進数字の数が奇数です(7)\n"
     "a.mot:5: バイト数04に対し後続は03バイトです(16進)\na.mot:6: S2のアドレスには3バイト必要です\n"
     "a.mot:7: チェックサムFBは誤り、正しくはFC\na.mot:8: 注意: 空行です\na.mot:9: Sレコードではありません\n"
     "a.mot:10: 3桁目が16進数字ではありません\na.mot:11: レコードとしては長すぎる行です\n"
     "a.mot:12: S5のレコード数3に対し、前のデータレコードは7個です\n"
     "a.mot: レコード 2、データ 0バイト、範囲 なし\nイメージ: なし\n"
     "エントリポイント 00000000 (a.mot:13のS9レコード)\nエラー 11、注意 1\n", 1},
    {"TerminationNotices", {"a.mot+b.mot"},
     {{"a.mot", lines({rec('1', "1000AA"), rec('9', "1000"), rec('1', "1001BB"), rec('8', "002000")})},
      {"b.mot", lines({rec('1', "3000CC")})}},
     "a.mot:3: 注意: a.mot:2の終了レコードの後にデータレコードがあります\n"
     "a.mot:4: 注意: 終了レコードが複数あります(最初はa.mot:2)\nb.mot: 注意: 終了レコード(S7/S8/S9)がありません\n"
     "a.mot: レコード 4、データ 2バイト、範囲 00001000-00001001\n"
     "b.mot: レコード 1、データ 1バイト、範囲 00003000-00003000\nイメージ: 00001000-00001001 00003000-00003000\n"
     "エントリポイント 00002000 (a.mot:4のS8レコード)\nエラー 0、注意 3\n", 0},
    {"LastTerminationReadIsTheEntry", {"a.mot+b.mot"},
     {{"a.mot", lines({rec('1', "1000AA"), rec('7', "00001000")})}, {"b.mot", lines({rec('2', "002000BB"), rec('8', "002000")})}},
     "a.mot: レコード 2、データ 1バイト、範囲 00001000-00001000\n"
     "b.mot: レコード 2、データ 1バイト、範囲 00002000-00002000\nイメージ: 00001000-00001000 00002000-00002000\n"
     "エントリポイント 00002000 (b.mot:2のS8レコード)\nエラー 0、注意 0\n", 0},
    {"FallbackEntryWithoutTermination", {"a.mot+b.mot"},
     {{"a.mot", lines({rec('1', "1000AA")})}, {"b.mot", lines({rec('3', "00002000BB")})}},
     "a.mot: 注意: 終了レコード(S7/S8/S9)がありません\nb.mot: 注意: 終了レコード(S7/S8/S9)がありません\n"
     "a.mot: レコード 1、データ 1バイト、範囲 00001000-00001000\n"
     "b.mot: レコード 1、データ 1バイト、範囲 00002000-00002000\nイメージ: 00001000-00001000 00002000-00002000\n"
     "エントリポイント 00FFDE40 (代替のS804FFDE40DEレコード)\nエラー 0、注意 2\n", 0},
    {"LowerCaseS9IsTheEntryUnparsed", {"a.mot+b.mot"},
     {{"a.mot", lines({rec('1', "1000AA")}) + S9}, {"b.mot", "s9030000FC"}},
     "b.mot:1: Sレコードではありません\na.mot: レコード 2、データ 1バイト、範囲 00001000-00001000\n"
     "b.mot: レコード 0、データ 0バイト、範囲 なし\nイメージ: 00001000-00001000\n"
     "エントリポイント: b.mot:1の終了レコードが解析できません\nエラー 1、注意 0\n", 1},
    // Checked in a second pass: the bytes of addresses given twice, against the first record.
    {"OverlapsAcrossFiles", {"a.mot+b.mot"},
     {{"a.mot", lines({rec('1', "100001020304"), rec('1', "20000A0B")}) + S9},
      {"b.mot", lines({rec('1', "100102FFFF"), rec('1', "20000A0B")}) + S9}},
     "b.mot:1: 00001001-00001003はa.mot:1でも与えられ、2バイトが異なります\n"
     "b.mot:2: 注意: 00002000-00002001はa.mot:2でも同じ値で与えられています\n"
     "a.mot: レコード 3、データ 6バイト、範囲 00001000-00001003 00002000-00002001\n"
     "b.mot: レコード 3、データ 5バイト、範囲 00001001-00001003 00002000-00002001\n"
     "イメージ: 00001000-00001003 00002000-00002001\nエントリポイント 00000000 (b.mot:3のS9レコード)\n"
     "エラー 1、注意 1\n", 1},
    // Reported once, though a second pass reads the list again.
    {"UnreadableFilesReportedTheOthersChecked", {"gone+a.mot+dir"},
     {{"a.mot", "S1030000FB\n" + lines({rec('1', "1000AA"), rec('1', "1000AA")}) + S9}, {"dir.MOT", FOLDER}},
     "gone.MOT: 読み込めません\na.mot:1: チェックサムFBは誤り、正しくはFC\ndir.MOT: 読み込めません\n"
     "a.mot:3: 注意: 00001000-00001000はa.mot:2でも同じ値で与えられています\n"
     "gone.MOT: レコード 0、データ 0バイト、範囲 なし\na.mot: レコード 3、データ 2バイト、範囲 00001000-00001000\n"
     "dir.MOT: レコード 0、データ 0バイト、範囲 なし\nイメージ: 00001000-00001000\n"
     "エントリポイント 00000000 (a.mot:4のS9レコード)\nエラー 1、注意 1\n", 2},
    {"DefaultExtensionInEitherCase", {"a+b"}, {{"a.mot", S9}, {"b.MOT", S9}},
     "a.mot: レコード 1、データ 0バイト、範囲 なし\nb.MOT: レコード 1、データ 0バイト、範囲 なし\n"
     "イメージ: なし\nエントリポイント 00000000 (b.MOT:1のS9レコード)\nエラー 0、注意 0\n", 0, Platform::posix},
    {"TwoArgumentsAreUsage", {"a", "b"}, {}, USAGE_TEXT, 255},
    {"FiftyOneNamesAreUsage", {std::string(50, '+')}, {}, USAGE_TEXT, 255},
    {"HelpShowsTheUsage", {"--help"}, {}, USAGE_TEXT, 0},
    {"VersionShowsTheBanner", {"--version"}, {}, "", 0},
    // The locale's form: English with the reasons, names' control bytes escaped; Japanese
    // converted line by line, however long the line.
    {"EnglishUnderC", {"e\x1B.mot+gone.mot"}, {{"e\x1B.mot", "S1030000FB\n"}},
     "e\\x1B.mot:1: checksum FB, expected FC\ne\\x1B.mot: note: no termination record (S7/S8/S9)\n"
     "gone.mot: cannot be read (No such file or directory)\n"
     "e\\x1B.mot: records 0, data bytes 0, ranges none\ngone.mot: records 0, data bytes 0, ranges none\n"
     "image: none\nentry point 00FFDE40 from the fallback record S804FFDE40DE\nerrors 1, notices 1\n", 2,
     Platform::posix, {"LC_ALL=C"}, Form::utf8},
    {"JapaneseUnderEucJp", {"a.mot"}, {{"a.mot", apart(6) + S9}},
     "a.mot: レコード 7、データ 6バイト、範囲 00001000-00001000 00001002-00001002 00001004-00001004 "
     "00001006-00001006 00001008-00001008 00001010-00001010\n"
     "イメージ: 00001000-00001000 00001002-00001002 00001004-00001004 00001006-00001006 00001008-00001008 "
     "00001010-00001010\nエントリポイント 00000000 (a.mot:7のS9レコード)\nエラー 0、注意 0\n", 0,
     Platform::posix, {"LC_ALL=ja_JP.eucJP"}, Form::euc_jp},
};
// clang-format on

class Srcheck : public ToolTest, public testing::WithParamInterface<CheckRow> {};

TEST_P(Srcheck, Reports) {
    const CheckRow& row = GetParam();
    if (row.platform == (tool_is_windows_build() ? Platform::posix : Platform::windows)) {
        GTEST_SKIP() << "for another platform";
    }
    if (row.form == Form::euc_jp && given("SRJOIN_NO_CONVERTERS")) {
        GTEST_SKIP() << "the tool's system has no converters";
    }
    ASSERT_TRUE(make(row.files));
    const RunResult result = start(row.args, {.env = row.env}, srcheck()).finish();
    const std::string text = "Srcheck Ver1.00\n" + row.said;
    EXPECT_EQ(result.console, row.form == Form::exact    ? shift_jis(with_crlf(text))
                              : row.form == Form::euc_jp ? converted(text, "EUC-JP")
                                                         : text);
    EXPECT_EQ(result.exit_code, row.exit_code);
}

INSTANTIATE_TEST_SUITE_P(Rows, Srcheck, testing::ValuesIn(ROWS),
                         [](const testing::TestParamInfo<CheckRow>& row) {
                             return row.param.name;
                         });

}  // namespace
