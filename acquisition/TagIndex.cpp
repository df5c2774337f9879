#include "acquisition/TagIndex.h"

#include <algorithm>

namespace {

constexpr uint64_t MAX_SPAN = uint64_t{1} << 31;

} // namespace

uint64_t TagRangeBound(uint64_t bufferCount) {
    if (bufferCount >= MAX_SPAN / TAG_RANGE_FACTOR)
        return MAX_SPAN;
    return bufferCount * TAG_RANGE_FACTOR;
}

PlainTagRange GetPlainTagRange(std::span<const RingTag> ring) {
    PlainTagRange range;
    if (ring.empty())
        return range;
    range.minTag = range.maxTag = ring[0].tag;
    range.minPhysical = range.maxPhysical = ring[0].physical;
    for (const RingTag& entry : ring.subspan(1)) {
        // Strict comparisons: on equal tags the earlier buffer keeps the place.
        if (entry.tag < range.minTag) {
            range.minTag = entry.tag;
            range.minPhysical = entry.physical;
        }
        if (entry.tag > range.maxTag) {
            range.maxTag = entry.tag;
            range.maxPhysical = entry.physical;
        }
    }
    return range;
}

TagSpan ChooseTagSpan(std::span<const RingTag> ring) {
    TagSpan span;
    if (ring.empty())
        return span;
    const PlainTagRange plain = GetPlainTagRange(ring);
    const uint64_t plainLength = uint64_t{plain.maxTag} - plain.minTag + 1;

    // Distances from the oldest buffer's tag, as signed 32-bit differences.
    const uint32_t oldest = ring[0].tag;
    int64_t lowest = 0;
    int64_t highest = 0;
    int64_t lowestPhysical = ring[0].physical;
    for (const RingTag& entry : ring.subspan(1)) {
        const int64_t distance = static_cast<int32_t>(entry.tag - oldest);
        if (distance < lowest) {
            lowest = distance;
            lowestPhysical = entry.physical;
        }
        highest = std::max(highest, distance);
    }
    const uint64_t wrappedLength = static_cast<uint64_t>(highest - lowest) + 1;
    if (wrappedLength < plainLength) {
        span.first = oldest + static_cast<uint32_t>(lowest);
        span.length = wrappedLength;
        span.firstPhysical = lowestPhysical;
        span.wrapped = true;
    } else {
        span.first = plain.minTag;
        span.length = plainLength;
        span.firstPhysical = plain.minPhysical;
    }
    return span;
}

bool IntersectTagSpans(const TagSpan& a, const TagSpan& b, uint32_t& first, uint64_t& length) {
    if (a.length == 0 || b.length == 0 || a.length > MAX_SPAN || b.length > MAX_SPAN)
        return false;
    // b's start as a distance from a's; both spans are at most 2^31 long, so the nearer of the
    // two directions is the one they can share tags in.
    const int64_t offset = static_cast<int32_t>(b.first - a.first);
    const int64_t low = std::max<int64_t>(0, offset);
    const int64_t high =
        std::min(static_cast<int64_t>(a.length) - 1, offset + static_cast<int64_t>(b.length) - 1);
    if (low > high)
        return false;
    first = a.first + static_cast<uint32_t>(low);
    length = static_cast<uint64_t>(high - low) + 1;
    return true;
}

std::vector<int64_t> BuildValidField(std::span<const RingTag> ring, uint32_t first,
                                     uint64_t length) {
    std::vector<int64_t> field(length, -1);
    for (const RingTag& entry : ring) {
        const uint64_t position = static_cast<uint32_t>(entry.tag - first);
        if (position < length && field[position] < 0)
            field[position] = entry.physical; // the first in ring order wins
    }
    return field;
}
