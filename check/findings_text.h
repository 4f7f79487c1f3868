// The texts of the check's findings and summary, in English and in Japanese (Shift-JIS bytes),
// with their numbers written out: addresses as 8 upper-case hexadecimal digits whatever the
// record type (an address past 32 bits takes more), a range as "first-last", bytes of a record
// (count, checksum) as 2 hexadecimal digits, counts of things in decimal. A finding reads
// "name:line: what", or "name: what" for a file as a whole; a notice has "note: " before what.
// Names are not put in: a line holds "%s" where each goes and gives the names beside it, so that
// the console shows them as names (escaped in the locale's form), not as text.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "check/checker.h"
#include "check/findings.h"

// A line in both languages, with "%s" where each of names goes. The names come in the same order
// in both languages.
struct CheckLine {
    std::string japanese;
    std::string english;
    std::vector<std::string_view> names;
};

// names: the files of the list, by index; the lines refer to them.
CheckLine finding_line(const Finding& finding, std::span<const std::string_view> names);

// The summary's lines: one for each file (records, data bytes, ranges), then the image's
// ranges, the entry point and the count of errors and notices.
std::vector<CheckLine> summary_lines(const CheckSummary& summary,
                                     std::span<const std::string_view> names);
