// The texts of the check's findings and summary, in English or in Japanese (Shift-JIS bytes),
// with their numbers written out: addresses as 8 upper-case hexadecimal digits whatever the
// record type (an address past 32 bits takes more), a range as "first-last", bytes of a record
// (count, checksum) as 2 hexadecimal digits, counts of things in decimal. A finding reads
// "name:line: what", or "name: what" for a file as a whole; a notice has "note: " before what.
// Names are put in as given: showing them safely is the console's business.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "check/checker.h"
#include "check/findings.h"

enum class Language : std::uint8_t { english, japanese };

// names: the files of the list, by index.
std::string finding_text(const Finding& finding, std::span<const std::string_view> names,
                         Language language);

// The summary's lines: one for each file (records, data bytes, ranges), then the image's
// ranges, the entry point and the count of errors and notices.
std::vector<std::string> summary_texts(const CheckSummary& summary,
                                       std::span<const std::string_view> names, Language language);
