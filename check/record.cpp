#include "check/record.h"

#include <algorithm>

namespace {

constexpr std::uint8_t NOT_HEX = 0x10;

// The value of every byte as a hexadecimal digit, or NOT_HEX.
constexpr std::array<std::uint8_t, 256> HEX_VALUES = [] {
    std::array<std::uint8_t, 256> values{};
    values.fill(NOT_HEX);
    for (int digit = 0; digit < 10; ++digit) {
        values[static_cast<std::size_t>('0' + digit)] = static_cast<std::uint8_t>(digit);
    }
    for (int digit = 0; digit < 6; ++digit) {
        values[static_cast<std::size_t>('A' + digit)] = static_cast<std::uint8_t>(10 + digit);
        values[static_cast<std::size_t>('a' + digit)] = static_cast<std::uint8_t>(10 + digit);
    }
    return values;
}();

std::uint8_t hex_value(char character) {
    return HEX_VALUES[static_cast<unsigned char>(character)];
}

constexpr std::array<int, 10> ADDRESS_SIZES = {2, 2, 3, 4, 0, 2, 3, 4, 3, 2};

}  // namespace

int address_size(int type) {
    return ADDRESS_SIZES[static_cast<std::size_t>(type)];
}

ParsedLine parse_record(std::string_view line, RecordBytes& bytes) {
    ParsedLine parsed;
    if (line.size() < 2 || line[0] != 'S' || line[1] < '0' || line[1] > '9') {
        parsed.error = RecordError::not_a_record;
        return parsed;
    }
    Record& record = parsed.record;
    record.type = line[1] - '0';
    if (record.type == 4) {
        parsed.error = RecordError::reserved_type;
        return parsed;
    }

    // Decoding and the test for digits in one go; the sum is taken on the way too.
    const std::string_view digits = line.substr(2);
    const std::size_t pairs = std::min(digits.size() / 2, bytes.size());
    std::uint8_t not_hex = 0;
    unsigned sum = 0;
    for (std::size_t i = 0; i < pairs; ++i) {
        const std::uint8_t high = hex_value(digits[2 * i]);
        const std::uint8_t low = hex_value(digits[2 * i + 1]);
        not_hex |= high | low;
        bytes[i] = static_cast<std::uint8_t>(high << 4 | (low & 0x0F));
        sum += bytes[i];
    }
    for (std::size_t i = 2 * pairs; i < digits.size(); ++i) {
        not_hex |= hex_value(digits[i]);
    }
    if ((not_hex & NOT_HEX) != 0) {
        const auto first = std::find_if(digits.begin(), digits.end(),
                                        [](char c) { return hex_value(c) == NOT_HEX; });
        parsed.error = RecordError::not_hex_digit;
        parsed.found = static_cast<std::uint32_t>(first - digits.begin() + 3);
        return parsed;
    }
    if (digits.size() % 2 != 0) {
        parsed.error = RecordError::odd_digit_count;
        parsed.found = static_cast<std::uint32_t>(digits.size());
        return parsed;
    }

    const std::size_t byte_total = digits.size() / 2;
    const int address_bytes = address_size(record.type);
    if (byte_total == 0) {  // no byte count, so no address either
        parsed.error = RecordError::address_too_short;
        parsed.expected = static_cast<std::uint32_t>(address_bytes);
        return parsed;
    }
    record.byte_count = bytes[0];
    if (record.byte_count != byte_total - 1) {
        parsed.error = RecordError::byte_count_wrong;
        parsed.found = record.byte_count;
        parsed.expected = static_cast<std::uint32_t>(byte_total - 1);
        return parsed;
    }
    if (record.byte_count < address_bytes + 1) {
        parsed.error = RecordError::address_too_short;
        parsed.expected = static_cast<std::uint32_t>(address_bytes);
        return parsed;
    }
    const std::uint8_t checksum = bytes[byte_total - 1];
    const auto expected = static_cast<std::uint8_t>(~(sum - checksum));
    if (checksum != expected) {
        parsed.error = RecordError::bad_checksum;
        parsed.found = checksum;
        parsed.expected = expected;
        return parsed;
    }
    for (int i = 1; i <= address_bytes; ++i) {
        record.address = record.address << 8 | bytes[static_cast<std::size_t>(i)];
    }
    const auto data_begin = static_cast<std::size_t>(1 + address_bytes);
    record.data =
        std::span<const std::uint8_t>(bytes).subspan(data_begin, byte_total - 1 - data_begin);
    return parsed;
}
