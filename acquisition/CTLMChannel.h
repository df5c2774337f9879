// A camera sequence for cameras that write a frame header with a running frame counter, the
// tag, into every frame (FrameHeader.h). It grabs like CCamera; when grabbing stops it reads the
// tag of every valid buffer and rebuilds the logical order from the tags (the valid field), so
// frames the camera or the grabber dropped appear as gaps at their place in time.
//
// The field is built from an index made in one pass over the ring (TagIndex.h): entry i is the
// first buffer in ring order holding tag start + i, -1 when none does. A ring whose tags wrap
// past 0xFFFFFFFF is ordered from its oldest buffer; a range longer than 16 x the buffer count
// builds no field. Without a field the ring order of CCamera stands.
#pragma once

#include "acquisition/CCamera.h"
#include "acquisition/FrameHeader.h"
#include "acquisition/TagIndex.h"

#include <cstdint>
#include <vector>

class CTLMChannel : public CCamera {
public:
    CTLMChannel(uint32_t width, uint64_t format, uint64_t grabberSlot);
    CTLMChannel(uint32_t width, uint64_t format, uint64_t grabberSlot, CSiliconAPI& api,
                CLumoInstance* instance);

    // Any thread. The field length while a field is built (so frames after a gap can be
    // reached), else CCamera's count of valid ring buffers.
    uint64_t GetImageCount() override;
    // Any thread. The field's entry (-1 beyond its end) while a field is built, else the ring
    // mapping.
    int64_t GetPhysicalIndex(uint32_t channel, uint64_t index) override;
    // UI thread. Empties the field, then starts as CCamera does.
    [[nodiscard]] bool StartSnap(bool continuous) override;
    // UI thread. With a running worker thread: CCamera's Stop, then InitializeValidField.
    // Otherwise it only logs that the snap is not active.
    void Stop() override;
    // UI thread, for the rest. The sum of the gaps between consecutive tags (modulo 2^32),
    // walking the buffers from the one holding the start of the tag range; -1 when the tags
    // cannot be read.
    int64_t GetLostImagesFromTags() override;
    // Rebuilds the valid field from the tags. True when a field was built (possibly with -1
    // entries); false when nothing was grabbed, a header is unreadable or the range too long.
    [[nodiscard]] virtual bool InitializeValidField();

    // The smallest and largest tag of the valid buffers with the first buffer in ring order
    // holding each; false when there is no valid buffer or a header lacks the magic. Any out
    // pointer may be null.
    [[nodiscard]] bool GetTagRange(int64_t* minPhysical, int64_t* maxPhysical, uint32_t* minTag,
                                   uint32_t* maxTag);
    // The first buffer in ring order holding `tag`; -1 when none does or when a header without
    // the magic comes first.
    int64_t FindPhysicalIndexByTag(uint32_t tag);
    // Any thread. Entries of the valid field; 0 while none is built.
    uint64_t GetValidFieldLength();
    // Any thread. The grabbed count as recorded by the monitor or, after Stop, the final one
    // (the grabber's own status is gone once it is closed).
    uint64_t GetRecordedGrabbedCount() { return GrabbedCount(); }
    // Any thread. With a field built and the trigger tag known: the logical index whose frame
    // carries that tag (-1 when none does); otherwise CCamera's count rule.
    int64_t GetTriggerIndex() override;
    // The first logical index whose frame carries `tag`; -1 when none does.
    int64_t FindLogicalIndexByTag(uint32_t tag);
    // Any thread. LogicalTag: the frame record's tag.
    std::optional<uint32_t> RecordedTag(uint64_t index) override { return LogicalTag(index); }

protected:
    // The tags of the valid buffers in CCamera's ring order (never through a built field).
    // False when there is none or a header is missing or lacks the magic.
    bool ReadRingTags(std::vector<RingTag>& ring);
    // Replaces the field (under the sequence mutex).
    void SetValidField(std::vector<int64_t> field);
    // The field entry at `index`; -1 beyond its end.
    int64_t ValidFieldEntry(uint64_t index);
    // The tag in the buffer that holds image `image` of this channel's ring.
    std::optional<uint32_t> ImageTag(uint64_t image) override;
    // The tag of logical image `index`; none when it was lost or its header is unreadable.
    virtual std::optional<uint32_t> LogicalTag(uint64_t index);

private:
    // The dual-channel camera owns a complete channel as its right half and works it through
    // the operations above (frames, counts, field, tags, stop).
    friend class CKavrinFast;

    std::vector<int64_t> m_validField KAVRIN_GUARDED_BY(SequenceMutex());
};
