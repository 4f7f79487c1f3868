#include "check/findings_text.h"

#include <array>
#include <cstdio>
#include <initializer_list>
#include <utility>

namespace {

enum class Language : std::uint8_t { english, japanese };

// A text in both languages, the Japanese as the Shift-JIS bytes the console prints, kept as
// escapes with the text above them. "%1" to "%9" stand for the values put in: "%" is never the
// second byte of a Shift-JIS character, so a pattern is read byte by byte.
struct Text {
    std::string_view japanese;
    std::string_view english;
};

// By FindingKind.
constexpr std::array<Text, 15> FINDING_TEXTS = {{
    // "Sレコードではありません"
    {"S\x83\x8c\x83\x52\x81\x5b\x83\x68\x82\xc5\x82\xcd\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1",
     "not an S-record"},  // not_a_record
    // "S4は予約済みのレコードタイプです"
    {"S4\x82\xcd\x97\x5c\x96\xf1\x8d\xcf\x82\xdd\x82\xcc\x83\x8c\x83\x52\x81\x5b\x83\x68\x83\x5e"
     "\x83\x43\x83\x76\x82\xc5\x82\xb7",
     "S4 is a reserved record type"},  // reserved_type
    // "レコードとしては長すぎる行です"
    {"\x83\x8c\x83\x52\x81\x5b\x83\x68\x82\xc6\x82\xb5\x82\xc4\x82\xcd\x92\xb7\x82\xb7\x82\xac\x82"
     "\xe9\x8d\x73\x82\xc5\x82\xb7",
     "line too long for a record"},  // line_too_long
    // "%1桁目が16進数字ではありません"
    {"%1\x8c\x85\x96\xda\x82\xaa"
     "16\x90\x69\x90\x94\x8e\x9a\x82\xc5\x82\xcd\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1",
     "not a hexadecimal digit at column %1"},  // not_hex_digit
    // "16進数字の数が奇数です(%1)"
    {"16\x90\x69\x90\x94\x8e\x9a\x82\xcc\x90\x94\x82\xaa\x8a\xef\x90\x94\x82\xc5\x82\xb7(%1)",
     "odd number of hexadecimal digits (%1)"},  // odd_digit_count
    // "バイト数%1に対し後続は%2バイトです(16進)"
    {"\x83\x6f\x83\x43\x83\x67\x90\x94%1\x82\xc9\x91\xce\x82\xb5\x8c\xe3\x91\xb1\x82\xcd%"
     "2\x83\x6f\x83\x43\x83\x67\x82\xc5\x82\xb7(16\x90\x69)",
     "byte count %1 but %2 bytes follow (hex)"},  // byte_count_wrong
    // "S%1のアドレスには%2バイト必要です"
    {"S%1\x82\xcc\x83\x41\x83\x68\x83\x8c\x83\x58\x82\xc9\x82\xcd%"
     "2\x83\x6f\x83\x43\x83\x67\x95\x4b\x97\x76\x82\xc5\x82\xb7",
     "address too short for S%1 (%2 bytes)"},  // address_too_short
    // "チェックサム%1は誤り、正しくは%2"
    {"\x83\x60\x83\x46\x83\x62\x83\x4e\x83\x54\x83\x80%"
     "1\x82\xcd\x8c\xeb\x82\xe8\x81\x41\x90\xb3\x82\xb5\x82\xad\x82\xcd%2",
     "checksum %1, expected %2"},  // bad_checksum
    // "S%1のレコード数%2に対し、前のデータレコードは%3個です"
    {"S%1\x82\xcc\x83\x8c\x83\x52\x81\x5b\x83\x68\x90\x94%"
     "2\x82\xc9\x91\xce\x82\xb5\x81\x41\x91\x4f\x82\xcc\x83\x66\x81\x5b\x83\x5e\x83\x8c\x83\x52\x81"
     "\x5b\x83\x68\x82\xcd%3\x8c\xc2\x82\xc5\x82\xb7",
     "S%1 counts %2 records, %3 data records come before it"},  // count_wrong
    // "%1は%2でも与えられ、%3バイトが異なります"
    {"%1\x82\xcd%2\x82\xc5\x82\xe0\x97\x5e\x82\xa6\x82\xe7\x82\xea\x81\x41%"
     "3\x83\x6f\x83\x43\x83\x67\x82\xaa\x88\xd9\x82\xc8\x82\xe8\x82\xdc\x82\xb7",
     "%1 given before at %2, differing bytes: %3"},  // different_bytes
    // "%1は%2でも同じ値で与えられています"
    {"%1\x82\xcd%"
     "2\x82\xc5\x82\xe0\x93\xaf\x82\xb6\x92\x6c\x82\xc5\x97\x5e\x82\xa6\x82\xe7\x82\xea\x82\xc4\x82"
     "\xa2\x82\xdc\x82\xb7",
     "%1 given before at %2, the same bytes"},  // same_bytes
    // "終了レコード(S7/S8/S9)がありません"
    {"\x8f\x49\x97\xb9\x83\x8c\x83\x52\x81\x5b\x83\x68(S7/S8/"
     "S9)\x82\xaa\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1",
     "no termination record (S7/S8/S9)"},  // no_termination
    // "終了レコードが複数あります(最初は%1)"
    {"\x8f\x49\x97\xb9\x83\x8c\x83\x52\x81\x5b\x83\x68\x82\xaa\x95\xa1\x90\x94\x82\xa0\x82\xe8\x82"
     "\xdc\x82\xb7(\x8d\xc5\x8f\x89\x82\xcd%1)",
     "another termination record, the first at %1"},  // extra_termination
    // "%1の終了レコードの後にデータレコードがあります"
    {"%1\x82\xcc\x8f\x49\x97\xb9\x83\x8c\x83\x52\x81\x5b\x83\x68\x82\xcc\x8c\xe3\x82\xc9\x83\x66"
     "\x81\x5b\x83\x5e\x83\x8c\x83\x52\x81\x5b\x83\x68\x82\xaa\x82\xa0\x82\xe8\x82\xdc\x82\xb7",
     "data record after the termination record at %1"},  // data_after_termination
    // "空行です"
    {"\x8b\xf3\x8d\x73\x82\xc5\x82\xb7", "empty line"},  // empty_line
}};
static_assert(FINDING_TEXTS.size() == static_cast<std::size_t>(FindingKind::empty_line) + 1);

// "%1: %2"
constexpr Text ERROR_LINE = {"%1: %2", "%1: %2"};
// "%1: 注意: %2"
constexpr Text NOTICE_LINE = {"%1: \x92\x8d\x88\xd3: %2", "%1: note: %2"};
// "%1: レコード %2、データ %3バイト、範囲 %4"
constexpr Text FILE_LINE = {
    "%1: \x83\x8c\x83\x52\x81\x5b\x83\x68 %2\x81\x41\x83\x66\x81\x5b\x83\x5e "
    "%3\x83\x6f\x83\x43\x83\x67\x81\x41\x94\xcd\x88\xcd %4",
    "%1: records %2, data bytes %3, ranges %4"};
// "イメージ: %1"
constexpr Text IMAGE_LINE = {"\x83\x43\x83\x81\x81\x5b\x83\x57: %1", "image: %1"};
// "なし"
constexpr Text NO_RANGES = {"\x82\xc8\x82\xb5", "none"};
// "エントリポイント %1 (%3のS%2レコード)"
constexpr Text ENTRY_LINE = {
    "\x83\x47\x83\x93\x83\x67\x83\x8a\x83\x7c\x83\x43\x83\x93\x83\x67 %1 "
    "(%3\x82\xccS%2\x83\x8c\x83\x52\x81\x5b\x83\x68)",
    "entry point %1 from the S%2 record at %3"};
// "エントリポイント: %1の終了レコードが解析できません"
constexpr Text UNPARSED_ENTRY_LINE = {
    "\x83\x47\x83\x93\x83\x67\x83\x8a\x83\x7c\x83\x43\x83\x93\x83\x67: "
    "%1\x82\xcc\x8f\x49\x97\xb9\x83\x8c\x83\x52\x81\x5b\x83\x68\x82\xaa\x89\xf0\x90\xcd\x82\xc5\x82"
    "\xab\x82\xdc\x82\xb9\x82\xf1",
    "entry point: the termination record at %1 does not parse"};
// "エントリポイント %1 (代替の%2レコード)"
constexpr Text FALLBACK_ENTRY_LINE = {
    "\x83\x47\x83\x93\x83\x67\x83\x8a\x83\x7c\x83\x43\x83\x93\x83\x67 %1 "
    "(\x91\xe3\x91\xd6\x82\xcc%2\x83\x8c\x83\x52\x81\x5b\x83\x68)",
    "entry point %1 from the fallback record %2"};
// "エラー %1、注意 %2"
constexpr Text TOTALS_LINE = {"\x83\x47\x83\x89\x81\x5b %1\x81\x41\x92\x8d\x88\xd3 %2",
                              "errors %1, notices %2"};

std::string_view in(Language language, const Text& text) {
    return language == Language::japanese ? text.japanese : text.english;
}

// Text with "%s" where each of names goes, in their order.
struct Named {
    Named(std::string plain, std::vector<std::string_view> shown = {})
        : text(std::move(plain)), names(std::move(shown)) {}
    std::string text;
    std::vector<std::string_view> names;
};

// pattern with each "%N" replaced by values[N - 1], whose names come along.
Named fill(std::string_view pattern, std::initializer_list<Named> values) {
    Named filled("");
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const int index = i + 1 < pattern.size() ? pattern[i + 1] - '1' : -1;
        if (pattern[i] == '%' && index >= 0 && index < static_cast<int>(values.size())) {
            const Named& value = values.begin()[index];
            filled.text += value.text;
            filled.names.insert(filled.names.end(), value.names.begin(), value.names.end());
            ++i;
        } else {
            filled.text += pattern[i];
        }
    }
    return filled;
}

std::string decimal(std::uint64_t value) {
    return std::to_string(value);
}

std::string hex(std::uint64_t value, int digits) {
    char text[24];
    std::snprintf(text, sizeof text, "%0*llX", digits, static_cast<unsigned long long>(value));
    return text;
}

std::string address(std::uint64_t value) {
    return hex(value, 8);
}

std::string range_text(const AddressRange& range) {
    return address(range.begin) + "-" + address(range.end - 1);
}

std::string ranges_text(const std::vector<AddressRange>& ranges, Language language) {
    if (ranges.empty()) {
        return std::string(in(language, NO_RANGES));
    }
    std::string text;
    for (const AddressRange& range : ranges) {
        if (!text.empty()) {
            text += ' ';
        }
        text += range_text(range);
    }
    return text;
}

Named place_text(const Place& place, std::span<const std::string_view> names) {
    return {place.line == 0 ? "%s" : "%s:" + decimal(place.line), {names[place.file]}};
}

// What a finding says, without its place.
Named what(const Finding& finding, std::span<const std::string_view> names, Language language) {
    const std::string_view pattern =
        in(language, FINDING_TEXTS[static_cast<std::size_t>(finding.kind)]);
    switch (finding.kind) {
        case FindingKind::not_hex_digit:
        case FindingKind::odd_digit_count:
            return fill(pattern, {decimal(finding.found)});
        case FindingKind::byte_count_wrong:
        case FindingKind::bad_checksum:
            return fill(pattern, {hex(finding.found, 2), hex(finding.expected, 2)});
        case FindingKind::address_too_short:
            return fill(pattern,
                        {decimal(std::uint64_t(finding.record_type)), decimal(finding.expected)});
        case FindingKind::count_wrong:
            return fill(pattern, {decimal(std::uint64_t(finding.record_type)),
                                  decimal(finding.found), decimal(finding.expected)});
        case FindingKind::different_bytes:
            return fill(pattern, {range_text(finding.addresses), place_text(finding.other, names),
                                  decimal(finding.found)});
        case FindingKind::same_bytes:
            return fill(pattern, {range_text(finding.addresses), place_text(finding.other, names)});
        case FindingKind::extra_termination:
        case FindingKind::data_after_termination:
            return fill(pattern, {place_text(finding.other, names)});
        default:
            return std::string(pattern);
    }
}

Named entry_text(const EntryPoint& entry, std::span<const std::string_view> names,
                 Language language) {
    switch (entry.source) {
        case EntryPoint::Source::record:
            return fill(in(language, ENTRY_LINE),
                        {address(entry.address), decimal(std::uint64_t(entry.record_type)),
                         place_text(entry.place, names)});
        case EntryPoint::Source::unparsed_record:
            return fill(in(language, UNPARSED_ENTRY_LINE), {place_text(entry.place, names)});
        case EntryPoint::Source::fallback:
            break;
    }
    return fill(in(language, FALLBACK_ENTRY_LINE),
                {address(entry.address), std::string(MERGE_FALLBACK_RECORD)});
}

Named finding_in(Language language, const Finding& finding,
                 std::span<const std::string_view> names) {
    const Text& line = is_error(finding.kind) ? ERROR_LINE : NOTICE_LINE;
    return fill(in(language, line),
                {place_text(finding.place, names), what(finding, names, language)});
}

std::vector<Named> summary_in(Language language, const CheckSummary& summary,
                              std::span<const std::string_view> names) {
    std::vector<Named> lines;
    for (std::size_t file = 0; file < summary.files.size(); ++file) {
        const FileSummary& counts = summary.files[file];
        lines.push_back(fill(in(language, FILE_LINE), {{"%s", {names[file]}},
                                                       decimal(counts.records),
                                                       decimal(counts.data_bytes),
                                                       ranges_text(counts.ranges, language)}));
    }
    lines.push_back(fill(in(language, IMAGE_LINE), {ranges_text(summary.image, language)}));
    lines.push_back(entry_text(summary.entry, names, language));
    lines.push_back(
        fill(in(language, TOTALS_LINE), {decimal(summary.errors), decimal(summary.notices)}));
    return lines;
}

// The texts name the places in the same order in both languages.
CheckLine both(Named japanese, Named english) {
    return {std::move(japanese.text), std::move(english.text), std::move(english.names)};
}

}  // namespace

CheckLine finding_line(const Finding& finding, std::span<const std::string_view> names) {
    return both(finding_in(Language::japanese, finding, names),
                finding_in(Language::english, finding, names));
}

std::vector<CheckLine> summary_lines(const CheckSummary& summary,
                                     std::span<const std::string_view> names) {
    std::vector<Named> japanese = summary_in(Language::japanese, summary, names);
    std::vector<Named> english = summary_in(Language::english, summary, names);
    std::vector<CheckLine> lines;
    for (std::size_t i = 0; i < english.size(); ++i) {
        lines.push_back(both(std::move(japanese[i]), std::move(english[i])));
    }
    return lines;
}
