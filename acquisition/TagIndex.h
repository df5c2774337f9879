// Tag ranges and the valid field built in one pass over a ring.
//
// A ring is the tags of the valid buffers in ring order (oldest first) with the buffer that
// holds each. The valid field of a tag range is one entry per tag of the range, in tag order:
// the first buffer in ring order that holds the tag, or -1 when none does.
//
// The range of a ring is the plain one, from the smallest to the largest tag, unless the tags
// wrap past 0xFFFFFFFF: each tag is then taken as its signed 32-bit distance from the oldest
// buffer's tag, and the range runs from the smallest to the largest distance. The wrapped range
// is used exactly when it is shorter than the plain one, which happens only when it crosses
// from 0xFFFFFFFF to 0. A range longer than TagRangeBound(buffer count) builds no field.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

struct RingTag {
    uint32_t tag;
    int64_t physical; // the buffer holding it
};

// The smallest and the largest tag, each with the first buffer in ring order that holds it.
struct PlainTagRange {
    uint32_t minTag = 0;
    uint32_t maxTag = 0;
    int64_t minPhysical = -1;
    int64_t maxPhysical = -1;
};

// The tags a field covers: `length` tags from `first` upwards, modulo 2^32.
struct TagSpan {
    uint32_t first = 0;
    uint64_t length = 0;
    int64_t firstPhysical = -1; // the first buffer in ring order holding `first`
    bool wrapped = false;       // the span crosses from 0xFFFFFFFF to 0
};

inline constexpr uint64_t TAG_RANGE_FACTOR = 16;

// Longest range that builds a field: 16 x the buffer count (a longer one is a counter that
// jumped, not real loss), never more than 2^31.
uint64_t TagRangeBound(uint64_t bufferCount);

// `ring` must not be empty.
PlainTagRange GetPlainTagRange(std::span<const RingTag> ring);
TagSpan ChooseTagSpan(std::span<const RingTag> ring);

// The tags both spans cover (each no longer than 2^31); false when they share none.
bool IntersectTagSpans(const TagSpan& a, const TagSpan& b, uint32_t& first, uint64_t& length);

// Entry k: the first buffer in ring order holding tag first + k (mod 2^32), -1 when none does.
// Tags outside the span are skipped. Work and memory grow with ring size + length.
std::vector<int64_t> BuildValidField(std::span<const RingTag> ring, uint32_t first,
                                     uint64_t length);
