// One line read as a Motorola S-record: its type, address and data, or what is wrong with it.
// A line is the text between two line breaks, without the LF; it may hold any byte.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

// The longest line the checker is handed: a longer one is an error of its own (no record is
// that long: the longest is S, a type digit and 256 bytes in hexadecimal, 514 characters).
inline constexpr std::size_t MAX_CHECKED_LINE = 1024;

// Where parse_record puts the bytes of a line: room for all of a MAX_CHECKED_LINE line's.
using RecordBytes = std::array<std::uint8_t, MAX_CHECKED_LINE / 2>;

enum class RecordError : std::uint8_t {
    none,
    not_a_record,       // no upper-case S and type digit at the start
    reserved_type,      // S4
    not_hex_digit,      // found: the column (from 1) of the first character that is not one
    odd_digit_count,    // found: how many hexadecimal digits follow the type
    byte_count_wrong,   // found: the byte count; expected: the bytes that follow it
    address_too_short,  // expected: the address bytes the type has (the count is too small)
    bad_checksum,       // found: the checksum byte; expected: the one the bytes give
};

struct Record {
    int type = 0;  // 0 to 9, never 4
    std::uint32_t address = 0;
    std::uint8_t byte_count = 0;         // as given: address, data and checksum bytes
    std::span<const std::uint8_t> data;  // in the RecordBytes handed to parse_record
};

struct ParsedLine {
    RecordError error = RecordError::none;
    Record record;            // whole only without an error; type set from reserved_type on
    std::uint32_t found = 0;  // the details of the error, as RecordError says
    std::uint32_t expected = 0;
};

// Address bytes of a record of the type (S0/S1/S5/S9: 2, S2/S6/S8: 3, S3/S7: 4; S4: 0).
int address_size(int type);

// Reads line as an S-record, with bytes as the room for its bytes. An S-record is an upper-case
// S, a type digit, then hexadecimal digits in either case, in pairs: the byte count, the address
// (big-endian), the data and the checksum, which is the ones' complement of the low byte of the
// sum of the count, address and data bytes. The errors are checked in the order of RecordError
// and the first one found is given.
ParsedLine parse_record(std::string_view line, RecordBytes& bytes);

// The merge's own test, which looks no further than two characters: S or s, then 7, 8 or 9.
// The last line that passes it in the whole list is the one the merge ends its output with.
inline bool is_termination_line(std::string_view line) {
    return line.size() >= 2 && (line[0] == 'S' || line[0] == 's') && line[1] >= '7' &&
           line[1] <= '9';
}

// A line of a data record (S1, S2 or S3), whether it is valid or not.
inline bool is_data_line(std::string_view line) {
    return line.size() >= 2 && line[0] == 'S' && line[1] >= '1' && line[1] <= '3';
}
