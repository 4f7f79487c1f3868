#include "check/overlap_bytes.h"

#include <algorithm>
#include <optional>

OverlapBytes::OverlapBytes(const AddressRanges& overlaps) : overlaps_(overlaps.ranges()) {
    std::size_t count = 0;
    for (const AddressRange& overlap : overlaps_) {
        first_origin_.push_back(count);
        count += overlap.end - overlap.begin;
    }
    origins_.resize(count);
}

void OverlapBytes::compare(Place place, std::uint64_t address, std::span<const std::uint8_t> data,
                           FindingSink& sink) {
    const std::uint64_t end = address + data.size();
    // The stretch being gathered: consecutive addresses all first given by one record.
    std::optional<Finding> stretch;
    const auto close_stretch = [&] {
        if (stretch) {
            stretch->kind =
                stretch->found == 0 ? FindingKind::same_bytes : FindingKind::different_bytes;
            sink.report(*stretch);
            stretch.reset();
        }
    };
    auto overlap = std::upper_bound(
        overlaps_.begin(), overlaps_.end(), address,
        [](std::uint64_t at, const AddressRange& range) { return at < range.end; });
    for (; overlap != overlaps_.end() && overlap->begin < end; ++overlap) {
        const std::size_t index = static_cast<std::size_t>(overlap - overlaps_.begin());
        for (std::uint64_t at = std::max(address, overlap->begin); at < std::min(end, overlap->end);
             ++at) {
            Origin& origin = origins_[first_origin_[index] + (at - overlap->begin)];
            const std::uint8_t value = data[at - address];
            if (origin == 0) {
                close_stretch();
                origin = place.line << 24 | std::uint64_t{place.file} << 8 | value;
                continue;
            }
            const Place first{static_cast<std::size_t>(origin >> 8 & 0xFFFF), origin >> 24};
            if (stretch && (stretch->other != first || stretch->addresses.end != at)) {
                close_stretch();
            }
            if (!stretch) {
                stretch = Finding{.place = place, .addresses = {at, at}, .other = first};
            }
            stretch->addresses.end = at + 1;
            stretch->found += (origin & 0xFF) != value ? 1U : 0U;
        }
    }
    close_stretch();
}
