#include "check/address_ranges.h"

#include <algorithm>
#include <iterator>

void AddressRanges::add_searching(std::uint64_t begin, std::uint64_t end, AddressRanges* covered) {
    if (begin >= end) {
        return;
    }
    if (open_.begin != open_.end) {
        closed_.emplace(open_.begin, open_.end);
    }
    // The first range that overlaps or touches [begin, end), if any, then every one after it
    // that does: each is merged in and leaves the map.
    auto range = closed_.upper_bound(begin);
    if (range != closed_.begin() && std::prev(range)->second >= begin) {
        --range;
    }
    AddressRange merged{begin, end};
    while (range != closed_.end() && range->first <= end) {
        const std::uint64_t overlap_begin = std::max(range->first, begin);
        const std::uint64_t overlap_end = std::min(range->second, end);
        if (covered != nullptr && overlap_begin < overlap_end) {
            covered->add(overlap_begin, overlap_end);
        }
        merged.begin = std::min(merged.begin, range->first);
        merged.end = std::max(merged.end, range->second);
        range = closed_.erase(range);
    }
    open_ = merged;
    next_begin_ = range == closed_.end() ? std::numeric_limits<std::uint64_t>::max() : range->first;
}

std::vector<AddressRange> AddressRanges::ranges() const {
    std::vector<AddressRange> result;
    result.reserve(closed_.size() + 1);
    for (const auto& [begin, end] : closed_) {
        result.push_back({begin, end});
    }
    if (open_.begin != open_.end) {
        const auto after = std::lower_bound(
            result.begin(), result.end(), open_.begin,
            [](const AddressRange& range, std::uint64_t begin) { return range.begin < begin; });
        result.insert(after, open_);
    }
    return result;
}
