// What the check finds, as data: the console layer turns it into text (findings_text.h) in the
// user's language. Errors fail the check; notices do not.
#pragma once

#include <cstddef>
#include <cstdint>

#include "check/address_ranges.h"

// A line of a file of the list. Line 0 is the file as a whole.
struct Place {
    std::size_t file = 0;  // index in the list, from 0
    std::uint64_t line = 0;
    friend bool operator==(const Place&, const Place&) = default;
};

enum class FindingKind : std::uint8_t {
    // Errors. The first eight are about one line on its own (record.h tells their details).
    not_a_record,
    reserved_type,
    line_too_long,      // longer than MAX_CHECKED_LINE: no record is that long
    not_hex_digit,      // found: the column
    odd_digit_count,    // found: the digits after the type
    byte_count_wrong,   // found: the byte count; expected: the bytes that follow it
    address_too_short,  // record_type; expected: the address bytes of the type
    bad_checksum,       // found: the checksum; expected: the right one
    count_wrong,        // an S5 or S6 (record_type): found: its count; expected: data records
                        // before it in the file
    different_bytes,    // addresses also given at other, first there, with found of the bytes
                        // different
    // Notices.
    same_bytes,              // addresses also given at other, first there, the same
    no_termination,          // a file (line 0) without a termination record
    extra_termination,       // other: the file's first one
    data_after_termination,  // once a file, at the first; other: the termination record
    empty_line,
};

inline bool is_error(FindingKind kind) {
    return kind <= FindingKind::different_bytes;
}

struct Finding {
    FindingKind kind = FindingKind::not_a_record;
    Place place;
    std::uint64_t found = 0;  // details as FindingKind says
    std::uint64_t expected = 0;
    int record_type = 0;
    AddressRange addresses;  // different_bytes, same_bytes
    Place other;             // the other place a finding names
};

// Receives every finding as it is made.
class FindingSink {
public:
    virtual void report(const Finding& finding) = 0;

protected:
    ~FindingSink() = default;
};
