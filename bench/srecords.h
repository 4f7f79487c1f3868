// Realistic Motorola S-record text for the benchmarks, the same bytes on every machine for the
// same arguments: an S0 header, data records of 32 data bytes (S1, S2 or S3) with correct
// checksums, and the matching termination record (S9, S8 or S7).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace srecords {

inline constexpr int DATA_BYTES = 32;

struct Options {
    int type = 3;            // data records S1 (16-bit addresses), S2 (24-bit) or S3 (32-bit)
    bool crlf = false;       // CR LF line breaks instead of LF
    std::uint64_t seed = 1;  // chooses the data bytes and the first address
    std::uint64_t size = 0;  // data records are added until the text holds this many bytes
};

// splitmix64: small, fast and the same everywhere.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

private:
    std::uint64_t state_;
};

// One record: "S", its type digit, then count, address, data and checksum as hex pairs.
class Record {
public:
    Record(char type, int address_bytes, std::uint64_t address) {
        text_ += 'S';
        text_ += type;
        text_ += "00";  // the count, put in place by finish()
        for (int shift = 8 * (address_bytes - 1); shift >= 0; shift -= 8) {
            add_byte(static_cast<unsigned>(address >> shift) & 0xFFU);
        }
    }

    void add_byte(unsigned byte) {
        put_hex(byte);
        sum_ += byte;
        ++bytes_;
    }

    // The count (address, data and checksum bytes) put in place, the checksum (ones'
    // complement of the low byte of the sum of count, address and data bytes) and the line
    // break added.
    const std::string& finish(std::string_view line_break) {
        const unsigned count = bytes_ + 1;
        text_[2] = HEX[count >> 4];
        text_[3] = HEX[count & 0xFU];
        put_hex(~(sum_ + count) & 0xFFU);
        text_ += line_break;
        return text_;
    }

private:
    static constexpr char HEX[] = "0123456789ABCDEF";

    void put_hex(unsigned byte) {
        text_ += HEX[byte >> 4];
        text_ += HEX[byte & 0xFU];
    }

    std::string text_;
    unsigned sum_ = 0;
    unsigned bytes_ = 0;
};

// Hands the lines of one file, each with its line break, to put(std::string_view). Addresses
// start at a place chosen by the seed and go up in steps of 32, wrapping within the address
// width: a large file of S1 records goes round the 64 KiB space several times, as a merge of
// many small images would. The termination record gives the first address as start address.
template <typename Put>
void make(const Options& options, Put&& put) {
    const std::string_view line_break = options.crlf ? "\r\n" : "\n";
    const int address_bytes = options.type + 1;
    const std::uint64_t address_mask = (std::uint64_t{1} << (8 * address_bytes)) - 1;
    const char data_type = static_cast<char>('0' + options.type);
    const char end_type = static_cast<char>('0' + 10 - options.type);  // S9, S8, S7

    std::uint64_t written = 0;
    Record header('0', 2, 0);
    for (const char c : "srjoin bench seed " + std::to_string(options.seed)) {
        header.add_byte(static_cast<unsigned char>(c));
    }
    const std::string& header_line = header.finish(line_break);
    written += header_line.size();
    put(std::string_view(header_line));

    Random random(options.seed);
    const std::uint64_t start = random.next() & address_mask & ~std::uint64_t{DATA_BYTES - 1};
    std::uint64_t address = start;
    while (written < options.size) {
        Record record(data_type, address_bytes, address);
        std::uint64_t bits = 0;
        for (int i = 0; i < DATA_BYTES; ++i) {
            if (i % 8 == 0) {
                bits = random.next();
            }
            record.add_byte(static_cast<unsigned>(bits & 0xFFU));
            bits >>= 8;
        }
        const std::string& line = record.finish(line_break);
        written += line.size();
        put(std::string_view(line));
        address = (address + DATA_BYTES) & address_mask;
    }
    Record termination(end_type, address_bytes, start);
    put(std::string_view(termination.finish(line_break)));
}

}  // namespace srecords
