// The second pass: the bytes of the addresses that records of the list give more than once,
// compared with the first record that gave them. Memory grows with those addresses alone.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "check/address_ranges.h"
#include "check/findings.h"

class OverlapBytes {
public:
    // overlaps: the addresses given more than once, as the first pass found them.
    explicit OverlapBytes(const AddressRanges& overlaps);

    // Takes the data of a valid data record at place, in the order the records come. Every
    // stretch of its addresses that an earlier record gave first is reported to sink, as one
    // finding for each such record: same_bytes, or different_bytes with how many differ.
    void compare(Place place, std::uint64_t address, std::span<const std::uint8_t> data,
                 FindingSink& sink);

private:
    // The record that gave an address first, and its byte there, in one word (an address given
    // twice costs 8 bytes): line << 24 | file << 8 | value, or 0 while no record gave it (lines
    // count from 1). So lines below 2^40 and files below 2^16.
    using Origin = std::uint64_t;

    std::vector<AddressRange> overlaps_;
    std::vector<std::size_t> first_origin_;  // of each overlap, in origins_
    std::vector<Origin> origins_;            // one for each address of the overlaps
};
