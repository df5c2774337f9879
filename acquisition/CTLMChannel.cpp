#include "acquisition/CTLMChannel.h"

#include "external/DebugLog.h"
#include "external/LumoImage.h"

CTLMChannel::CTLMChannel(uint32_t width, uint64_t format, uint64_t grabberSlot)
    : CCamera(width, format, grabberSlot) {}

CTLMChannel::CTLMChannel(uint32_t width, uint64_t format, uint64_t grabberSlot, CSiliconAPI& api,
                         CLumoInstance* instance)
    : CCamera(width, format, grabberSlot, api, instance) {}

uint64_t CTLMChannel::GetImageCount() {
    CSequenceLock lock(*this);
    if (!m_validField.empty())
        return m_validField.size();
    return CCamera::GetImageCount();
}

int64_t CTLMChannel::GetPhysicalIndex(uint32_t channel, uint64_t index) {
    CSequenceLock lock(*this);
    if (m_validField.empty())
        return CCamera::GetPhysicalIndex(channel, index);
    return index < m_validField.size() ? m_validField[index] : -1;
}

uint64_t CTLMChannel::GetValidFieldLength() {
    CSequenceLock lock(*this);
    return m_validField.size();
}

int64_t CTLMChannel::ValidFieldEntry(uint64_t index) {
    CSequenceLock lock(*this);
    return index < m_validField.size() ? m_validField[index] : -1;
}

void CTLMChannel::SetValidField(std::vector<int64_t> field) {
    CSequenceLock lock(*this);
    m_validField = std::move(field);
}

bool CTLMChannel::StartSnap(bool continuous) {
    SetValidField({});
    return CCamera::StartSnap(continuous);
}

void CTLMChannel::Stop() {
    if (!IsThreadRunning()) {
        KAVRIN_LOG(GetLog(), 1, "CTLMChannel::Stop", "snap is not active");
        return;
    }
    CCamera::Stop();
    (void)InitializeValidField(); // without a field the ring order stays in force
}

bool CTLMChannel::ReadRingTags(std::vector<RingTag>& ring) {
    ring.clear();
    CSequenceLock lock(*this);
    const uint64_t count = CCamera::GetValidCount(0); // at most the buffer count
    if (count == 0)
        return false;
    ring.reserve(count);
    for (uint64_t i = 0; i < count; ++i) {
        const int64_t physical = CCamera::GetPhysicalIndex(0, i);
        FrameHeader header;
        if (!ReadBufferHeader(physical, header) || !header.HasMagic()) {
            ring.clear();
            return false;
        }
        ring.push_back(RingTag{header.tag, physical});
    }
    return true;
}

bool CTLMChannel::GetTagRange(int64_t* minPhysical, int64_t* maxPhysical, uint32_t* minTag,
                              uint32_t* maxTag) {
    std::vector<RingTag> ring;
    if (!ReadRingTags(ring))
        return false;
    const PlainTagRange range = GetPlainTagRange(ring);
    if (minPhysical)
        *minPhysical = range.minPhysical;
    if (maxPhysical)
        *maxPhysical = range.maxPhysical;
    if (minTag)
        *minTag = range.minTag;
    if (maxTag)
        *maxTag = range.maxTag;
    return true;
}

int64_t CTLMChannel::FindPhysicalIndexByTag(uint32_t tag) {
    CSequenceLock lock(*this);
    const uint64_t count = CCamera::GetValidCount(0);
    for (uint64_t i = 0; i < count; ++i) {
        const int64_t physical = CCamera::GetPhysicalIndex(0, i);
        FrameHeader header;
        if (!ReadBufferHeader(physical, header) || !header.HasMagic())
            return -1; // the search stops at a bad header
        if (header.tag == tag)
            return physical;
    }
    return -1;
}

bool CTLMChannel::InitializeValidField() {
    SetValidField({});
    if (GetValidCount(0) == 0)
        return false;
    std::vector<RingTag> ring;
    if (!ReadRingTags(ring)) {
        KAVRIN_LOG(GetLog(), 1, "CTLMChannel::InitializeValidField",
                   "Couldn't get tag range. Propably the counter is disabled");
        return false;
    }
    const TagSpan span = ChooseTagSpan(ring);
    const uint64_t bound = TagRangeBound(GetBufferCount());
    if (span.length > bound) {
        KAVRIN_LOG(GetLog(), 0, "CTLMChannel::InitializeValidField",
                   "tag range of %llu tags from %u is longer than %llu; the counter jumped, "
                   "keeping the ring order",
                   static_cast<unsigned long long>(span.length), span.first,
                   static_cast<unsigned long long>(bound));
        return false;
    }
    std::vector<int64_t> field = BuildValidField(ring, span.first, span.length);
    if (CDebugSink* log = GetLog()) {
        for (uint64_t i = 0; i < field.size(); ++i)
            KAVRIN_LOG(log, 1, "CTLMChannel::InitializeValidField",
                       "idx = %llu, dwTagCount = %u, phy idx = %llu",
                       static_cast<unsigned long long>(i), span.first + static_cast<uint32_t>(i),
                       static_cast<unsigned long long>(field[i]));
    }
    SetValidField(std::move(field));
    return true;
}

int64_t CTLMChannel::GetLostImagesFromTags() {
    const uint64_t count = GetValidCount(0);
    std::vector<RingTag> ring;
    if (!ReadRingTags(ring))
        return -1;
    // The walk starts at the buffer holding the start of the range: the smallest tag, or the
    // oldest end when the tags wrap past 0xFFFFFFFF.
    const TagSpan span = ChooseTagSpan(ring);
    const uint64_t buffers = GetBufferCount();
    if (buffers == 0)
        return -1;
    int64_t physical = span.firstPhysical;
    FrameHeader header;
    if (!ReadBufferHeader(physical, header) || !header.HasMagic())
        return -1;
    uint32_t previous = header.tag;
    int64_t total = 0;
    for (uint64_t i = 1; i < count; ++i) {
        physical = static_cast<int64_t>((static_cast<uint64_t>(physical) + 1) % buffers);
        if (!ReadBufferHeader(physical, header) || !header.HasMagic())
            return -1;
        total += static_cast<uint32_t>(header.tag - previous - 1);
        previous = header.tag;
    }
    return total;
}

std::optional<uint32_t> CTLMChannel::ImageTag(uint64_t image) {
    const uint64_t buffers = GetBufferCount();
    FrameHeader header;
    if (image == 0 || buffers == 0 ||
        !ReadBufferHeader(static_cast<int64_t>((image - 1) % buffers), header) ||
        !header.HasMagic())
        return std::nullopt;
    return header.tag;
}

std::optional<uint32_t> CTLMChannel::LogicalTag(uint64_t index) {
    FrameHeader header;
    if (!ReadBufferHeader(GetPhysicalIndex(0, index), header) || !header.HasMagic())
        return std::nullopt;
    return header.tag;
}

int64_t CTLMChannel::FindLogicalIndexByTag(uint32_t tag) {
    const uint64_t count = GetImageCount(); // the field's length: at most 16 x the buffers
    for (uint64_t i = 0; i < count; ++i) {
        if (LogicalTag(i) == tag)
            return static_cast<int64_t>(i);
    }
    return -1;
}

int64_t CTLMChannel::GetTriggerIndex() {
    const std::optional<uint32_t> tag = TriggerTag();
    if (TriggerImage() == 0 || !tag || GetValidFieldLength() == 0)
        return CCamera::GetTriggerIndex();
    return FindLogicalIndexByTag(*tag);
}
