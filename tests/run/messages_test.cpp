// The console texts are Shift-JIS: each one decoded from code page 932 reads as the Japanese
// text it stands for.
#include "run/messages.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

namespace {

std::string decode_cp932(std::string_view bytes) {
    iconv_t converter = iconv_open("UTF-8", "CP932");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        ADD_FAILURE() << "no CP932 converter";
        return {};
    }
    std::string in(bytes);
    std::string out(bytes.size() * 4, '\0');
    char* in_pointer = in.data();
    char* out_pointer = out.data();
    std::size_t in_left = in.size();
    std::size_t out_left = out.size();
    const std::size_t result = iconv(converter, &in_pointer, &in_left, &out_pointer, &out_left);
    iconv_close(converter);
    EXPECT_NE(result, static_cast<std::size_t>(-1)) << "not valid CP932: " << bytes;
    out.resize(out.size() - out_left);
    return out;
}

struct Text {
    std::string_view bytes;
    std::string_view expected;
};

TEST(Messages, DecodeFromCodePage932ToTheirJapaneseTexts) {
    const Text texts[] = {
        {BANNER, "Srjoin Ver1.00"},
        {TOO_FEW_INPUTS, "合算するファイルは２つ以上必要です。"},
        {WORK_FILE_NOT_CREATED, "作業ファイル[%s]が作成できません。\n"},
        {INPUT_SKIPPED, "[%s]が開けません。->Skipします"},
        {WORK_FILE_NOT_WRITTEN, "[%s]に追加書き込みできません。"},
        {OUTPUT_NOT_CREATED, "[%s]の作成に失敗しました。\n"},
        {OUTPUT_CREATED, "[%s]を作成しました。\n"},
        {INPUT_NOT_READ, "[%s]の読み込みに失敗しました。\n"},
        {WORK_FILE_KEPT, "合算結果を作業ファイル[%s]に残しました。\n"},
        {USAGE_LINES[0], "usage: Srjoin file1+file2+....file9 out_file"},
        {USAGE_LINES[1], "       file1,file2...のモトローラＳフォーマットのファイルを合算して"},
        {USAGE_LINES[2], "       out_fileを作成。"},
        {USAGE_LINES[3], "       合体したファイル中のS7,S8,S9レコードは最後の１つを残します。"},
        {USAGE_LINES[4], "       out_file は file1,file2... のどれかと同じ名称可。"},
        {USAGE_LINES[5], "       例えば Srjoin tst1.mot+tst2.mot+tst3.mot tst1.mot や"},
        {USAGE_LINES[6], "              Srjoin tst1.mot+tst1.mot+tst1.mot tst1.mot も可。"},
        {USAGE_LINES[7], "       最大50個まで合算できる。"},
    };
    for (const Text& text : texts) {
        EXPECT_EQ(decode_cp932(text.bytes), text.expected);
    }
}

}  // namespace
