// The tag index over frame headers a camera wrote: any ring of headers gives either no field or
// a bounded one whose every entry is the first buffer in ring order holding its tag.
#include "acquisition/FrameHeader.h"
#include "acquisition/TagIndex.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const uint64_t buffers = 1 + data[0] + (uint64_t{data[1]} << 8);
    std::vector<RingTag> ring;
    for (size_t at = 2; at + FrameHeader::SIZE <= size; at += FrameHeader::SIZE) {
        FrameHeader header;
        if (!ReadFrameHeader(data + at, FrameHeader::SIZE, header))
            std::abort();
        ring.push_back(RingTag{header.tag, static_cast<int64_t>(ring.size())});
    }
    if (ring.empty())
        return 0;
    const PlainTagRange plain = GetPlainTagRange(ring);
    const TagSpan span = ChooseTagSpan(ring);
    if (span.length == 0 || span.length > uint64_t{plain.maxTag} - plain.minTag + 1)
        std::abort(); // never longer than the plain range
    if (span.length > TagRangeBound(buffers))
        return 0;
    const std::vector<int64_t> field = BuildValidField(ring, span.first, span.length);
    std::vector<bool> seen(field.size(), false);
    for (const RingTag& entry : ring) {
        const uint64_t position = static_cast<uint32_t>(entry.tag - span.first);
        if (position >= field.size())
            std::abort(); // every tag of the ring lies inside its span
        if (!seen[position] && field[position] != entry.physical)
            std::abort(); // the first in ring order wins
        seen[position] = true;
    }
    for (size_t i = 0; i < field.size(); ++i)
        if (!seen[i] && field[i] != -1)
            std::abort();
    uint32_t first = 0;
    uint64_t length = 0;
    if (IntersectTagSpans(span, span, first, length) &&
        (first != span.first || length != span.length))
        std::abort();
    return 0;
}
