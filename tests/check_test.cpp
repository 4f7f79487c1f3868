// The checking core of Srcheck, a row each: the lines of one or two files, checked as the merge
// would join them, and everything it reports in English: the findings of both passes in order,
// then the summary. The texts in Japanese are held to having every value put in.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "check/checker.h"
#include "check/findings_text.h"

namespace {

using namespace std::string_literals;

// A valid record: the type digit, then address and data in hexadecimal; count and checksum
// are added.
std::string rec(char type, const std::string& address_and_data) {
    const auto hex = [](std::size_t byte) {
        return std::string{"0123456789ABCDEF"[byte >> 4 & 0xF], "0123456789ABCDEF"[byte & 0xF]};
    };
    const std::size_t count = address_and_data.size() / 2 + 1;
    std::size_t sum = count;
    for (std::size_t i = 0; i < address_and_data.size(); i += 2) {
        sum += std::stoul(address_and_data.substr(i, 2), nullptr, 16);
    }
    return "S"s + type + hex(count) + address_and_data + hex(~sum & 0xFF);
}

const std::string ZEROS16(32, '0');  // 16 data bytes

struct CheckRow {
    const char* name;
    std::vector<std::vector<std::string>> files;  // named a and b
    std::vector<std::string> report;
};

const CheckRow ROWS[] = {
    {"ValidRecordsCountsRight",
     {{"S00F000068656C6C6F202020202000003C",
       "S11F00007C0802A6900100049421FFF07C6C1B787C8C23783C6000003863000026", rec('5', "0001"),
       rec('6', "000001"), "S9030000FC"}},
     {"a: records 5, data bytes 28, ranges 00000000-0000001B", "image: 00000000-0000001B",
      "entry point 00000000 from the S9 record at a:5", "errors 0, notices 0"}},
    {"EachLineError",
     {{"hello", "S4030000FC",
       "S10300\0"s
       "0FC",
       "S1030000F", "S1040000FC", "S203010203", "S1030000FB", "", "s1030000FC",
       "S9" + std::string(1100, '0')}},
     {"a:1: not an S-record", "a:2: S4 is a reserved record type",
      "a:3: not a hexadecimal digit at column 7", "a:4: odd number of hexadecimal digits (7)",
      "a:5: byte count 04 but 03 bytes follow (hex)", "a:6: address too short for S2 (3 bytes)",
      "a:7: checksum FB, expected FC", "a:8: note: empty line", "a:9: not an S-record",
      "a:10: line too long for a record", "a: records 0, data bytes 0, ranges none", "image: none",
      "entry point: the termination record at a:10 does not parse", "errors 9, notices 1"}},
    {"CountRecordWrong",
     {{rec('1', "100000"), rec('1', "100100"), rec('5', "0003"), rec('9', "0000")}},
     {"a:3: S5 counts 3 records, 2 data records come before it",
      "a: records 4, data bytes 2, ranges 00001000-00001001", "image: 00001000-00001001",
      "entry point 00000000 from the S9 record at a:4", "errors 1, notices 0"}},
    {"TerminationNotices",
     {{rec('1', "1000AA"), rec('9', "1000"), rec('1', "1001BB"), rec('8', "002000")},
      {rec('1', "3000CC")}},
     {"a:3: note: data record after the termination record at a:2",
      "a:4: note: another termination record, the first at a:2",
      "b: note: no termination record (S7/S8/S9)",
      "a: records 4, data bytes 2, ranges 00001000-00001001",
      "b: records 1, data bytes 1, ranges 00003000-00003000",
      "image: 00001000-00001001 00003000-00003000",
      "entry point 00002000 from the S8 record at a:4", "errors 0, notices 3"}},
    {"EntryIsTheLastTerminationRead",
     {{rec('1', "1000AA"), rec('7', "00001000")}, {rec('2', "002000BB"), rec('8', "002000")}},
     {"a: records 2, data bytes 1, ranges 00001000-00001000",
      "b: records 2, data bytes 1, ranges 00002000-00002000",
      "image: 00001000-00001000 00002000-00002000",
      "entry point 00002000 from the S8 record at b:2", "errors 0, notices 0"}},
    {"LowerCaseS9IsTheEntryUnparsed",
     {{rec('1', "1000AA"), rec('9', "1000")}, {"s9030000FC"}},
     {"b:1: not an S-record", "a: records 2, data bytes 1, ranges 00001000-00001000",
      "b: records 0, data bytes 0, ranges none", "image: 00001000-00001000",
      "entry point: the termination record at b:1 does not parse", "errors 1, notices 0"}},
    {"FallbackEntryWithoutTermination",
     {{rec('1', "1000AA")}, {rec('3', "00002000BB")}},
     {"a: note: no termination record (S7/S8/S9)", "b: note: no termination record (S7/S8/S9)",
      "a: records 1, data bytes 1, ranges 00001000-00001000",
      "b: records 1, data bytes 1, ranges 00002000-00002000",
      "image: 00001000-00001000 00002000-00002000",
      "entry point 00FFDE40 from the fallback record S804FFDE40DE", "errors 0, notices 2"}},
    {"RangesMerged",
     {{rec('1', "1000" + ZEROS16), rec('1', "200001020304"), rec('1', "1010" + ZEROS16),
       rec('1', "0FE0" + ZEROS16), rec('1', "0FF0" + ZEROS16), rec('9', "0000")}},
     {"a: records 6, data bytes 68, ranges 00000FE0-0000101F 00002000-00002003",
      "image: 00000FE0-0000101F 00002000-00002003",
      "entry point 00000000 from the S9 record at a:6", "errors 0, notices 0"}},
    {"SameBytesInAFileAndAcrossFiles",
     {{rec('1', "10000102"), rec('1', "10040506"), rec('1', "100001"), rec('9', "0000")},
      {rec('1', "10010203040506"), rec('1', "10020304"), rec('9', "0000")}},
     {"a:3: note: 00001000-00001000 given before at a:1, the same bytes",
      "b:1: note: 00001001-00001001 given before at a:1, the same bytes",
      "b:1: note: 00001004-00001005 given before at a:2, the same bytes",
      "b:2: note: 00001002-00001003 given before at b:1, the same bytes",
      "a: records 4, data bytes 5, ranges 00001000-00001001 00001004-00001005",
      "b: records 3, data bytes 7, ranges 00001001-00001005", "image: 00001000-00001005",
      "entry point 00000000 from the S9 record at b:3", "errors 0, notices 4"}},
    {"DifferentBytesNameBothPlaces",
     {{rec('1', "100001020304"), rec('1', "10040506"), rec('9', "0000")},
      {rec('1', "100102FFFF05"), rec('9', "0000")}},
     {"b:1: 00001001-00001003 given before at a:1, differing bytes: 2",
      "b:1: note: 00001004-00001004 given before at a:2, the same bytes",
      "a: records 3, data bytes 6, ranges 00001000-00001005",
      "b: records 2, data bytes 4, ranges 00001001-00001004", "image: 00001000-00001005",
      "entry point 00000000 from the S9 record at b:2", "errors 1, notices 1"}},
    {"TopOf32BitSpaceDoesNotWrap",
     {{rec('3', "FFFFFFF8" + ZEROS16), rec('3', "0000000001020304"), rec('7', "FFFFFFF8")}},
     {"a: records 3, data bytes 20, ranges 00000000-00000003 FFFFFFF8-100000007",
      "image: 00000000-00000003 FFFFFFF8-100000007",
      "entry point FFFFFFF8 from the S7 record at a:3", "errors 0, notices 0"}},
};

void PrintTo(const CheckRow& row, std::ostream* os) {
    *os << row.name;
}

const std::vector<std::string_view> NAMES = {"a", "b"};

// Every finding in English, checked to read in Japanese too.
struct ReportSink : FindingSink {
    std::vector<std::string> lines;
    void report(const Finding& finding) override {
        lines.push_back(finding_text(finding, NAMES, Language::english));
        japanese.push_back(finding_text(finding, NAMES, Language::japanese));
    }
    std::vector<std::string> japanese;
};

void feed(Checker& checker, const std::vector<std::vector<std::string>>& files) {
    for (std::size_t file = 0; file < files.size(); ++file) {
        checker.begin_file(file);
        std::uint64_t number = 0;
        for (const std::string& line : files[file]) {
            checker.check_line(std::string_view(line).substr(0, MAX_CHECKED_LINE), ++number,
                               line.size() > MAX_CHECKED_LINE);
        }
        checker.end_file();
    }
}

class Check : public testing::TestWithParam<CheckRow> {};

TEST_P(Check, Reports) {
    const CheckRow& row = GetParam();
    ReportSink sink;
    Checker checker(row.files.size(), sink);
    feed(checker, row.files);
    if (checker.needs_second_pass()) {
        checker.begin_second_pass();
        feed(checker, row.files);
    }
    const CheckSummary summary = checker.summary();
    const auto names = std::span(NAMES).first(row.files.size());
    for (const std::string& line : summary_texts(summary, names, Language::english)) {
        sink.lines.push_back(line);
    }
    EXPECT_EQ(sink.lines, row.report);
    EXPECT_EQ(checker.errors_found(), summary.errors != 0);
    for (const std::string& line : summary_texts(summary, names, Language::japanese)) {
        sink.japanese.push_back(line);
    }
    for (const std::string& line : sink.japanese) {
        for (std::size_t at = line.find('%'); at != std::string::npos;
             at = line.find('%', at + 1)) {
            EXPECT_FALSE(at + 1 < line.size() && line[at + 1] >= '1' && line[at + 1] <= '9')
                << line;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, Check, testing::ValuesIn(ROWS),
                         [](const testing::TestParamInfo<CheckRow>& row) {
                             return std::string(row.param.name);
                         });

}  // namespace
