// A set of disjoint addresses kept as merged intervals: the ranges of a file or of the merged
// image, and the addresses that records of the list give more than once. Addresses are 64-bit,
// so that the end of an S3 record near 0xFFFFFFFF does not wrap.
#pragma once

#include <cstdint>
#include <limits>
#include <map>
#include <vector>

// The addresses [begin, end).
struct AddressRange {
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
    friend bool operator==(const AddressRange&, const AddressRange&) = default;
};

class AddressRanges {
public:
    // Adds [begin, end) (nothing when it is empty), merged with every range it overlaps or
    // touches. When covered is given, the parts of [begin, end) that were already in the set are
    // added to it. Adding where the last added range ends, with nothing in the way, costs no
    // search: that is how the records of a file mostly come.
    void add(std::uint64_t begin, std::uint64_t end, AddressRanges* covered = nullptr) {
        if (begin == open_.end && end < next_begin_ && begin < end) {
            open_.end = end;
            return;
        }
        add_searching(begin, end, covered);
    }

    // The ranges in ascending order, none touching another.
    std::vector<AddressRange> ranges() const;

    bool empty() const { return open_.begin == open_.end && closed_.empty(); }

private:
    void add_searching(std::uint64_t begin, std::uint64_t end, AddressRanges* covered);

    // The range last added to is kept out of the map, so that extending it is two compares.
    // next_begin_ is where the first range of the map after it begins; nothing of the map lies
    // in [open_.begin, next_begin_) and no range of the map touches open_.
    AddressRange open_;
    std::uint64_t next_begin_ = std::numeric_limits<std::uint64_t>::max();
    std::map<std::uint64_t, std::uint64_t> closed_;  // end by begin
};
