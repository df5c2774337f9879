// The dual-channel fast camera: each image arrives as two 1120-pixel halves on two grabbers.
// The object itself is the left channel (grabber slot 0) and owns the right channel (slot 1) as
// a complete CTLMChannel without a worker thread of its own. After grabbing it pairs the left
// and right frames carrying the same tag, so logical image i is both halves of one camera
// frame; on copy it assembles them side by side and swaps them back when the grabbers received
// them crosswise.
#pragma once

#include "acquisition/CTLMChannel.h"
#include "external/LumoPtr.h"

class CLumoRegion;

class CKavrinFast : public CTLMChannel {
public:
    static constexpr uint32_t CHANNEL_WIDTH = 1120;

    explicit CKavrinFast(uint64_t format);
    CKavrinFast(uint64_t format, CSiliconAPI& api, CLumoInstance* instance);
    // Stops the monitor (it reads the right channel), destroys both regions, then the right
    // channel and the left part.
    ~CKavrinFast() override;

    // Any thread. The common length of both fields while they are built, else the smaller of
    // the two channels' valid counts.
    uint64_t GetImageCount() override;
    const char* GetName() override { return "Kavrin KX-220B (Fast mode)"; }
    uint32_t GetChannelCount() override { return 2; }
    uint32_t GetWidth() override { return 2 * ChannelWidth(); }
    // Any thread. Buffer `physicalIndex` of both rings side by side; logs when it swaps the
    // halves.
    [[nodiscard]] bool CopyToImage(int64_t physicalIndex, CLumoImage* destination,
                                   uint32_t initImage, uint32_t blackOut) override;
    // Any thread. Both halves of logical image `index`. When either half was lost: with
    // blackOut the destination becomes one black image and true returns, else false and it
    // stays as it is. While grabbing each half is taken at its grabber's count at the time of
    // the copy and copied again when the grabber overtook it (as CCamera's copy does).
    [[nodiscard]] bool CopyValidToImage(uint64_t index, CLumoImage* destination, uint32_t initImage,
                                        uint32_t blackOut) override;
    // UI thread, before threads run.
    void SetLog(CDebugSink* log) override;
    void SetHeight(uint32_t height) override;
    // UI thread. Stops the monitor, the right channel, then the left, and pairs the tags.
    void Stop() override;
    void DumpBuffers() override;
    // Any thread. Channel 0 the left, any other the right buffer of logical `index`.
    int64_t GetPhysicalIndex(uint32_t channel, uint64_t index) override;
    // UI thread, for the rest.
    void DetachFrameBuffers() override;
    // Eight lines: CC1A .. CC4A on the left, CC1B .. CC4B on the right channel.
    uint64_t GetCCCount() override;
    std::string GetCCName(uint64_t line) override;
    void SetCCState(uint32_t bits) override;
    uint32_t GetCCState() override;
    // Both rings; when the right fails the left is detached again.
    [[nodiscard]] bool PrepareFrameBuffers(uint64_t count) override;
    // Both channels; when the right fails the left is stopped again.
    [[nodiscard]] bool StartSnap(bool continuous) override;
    // Channel 0 the left's, 1 the right's lost images, any other 0.
    int64_t GetLostImages(uint32_t channel) override;
    // Pairs the tags both channels recorded into two fields of equal length.
    [[nodiscard]] bool InitializeValidField() override;
    // Any thread. True when either half of logical image `index` was lost.
    [[nodiscard]] bool IsGapFrame(uint64_t index) override;

protected:
    // Worker thread: the count both channels have delivered (the smaller of the two; negative
    // when either status could not be read).
    int64_t MonitorCount() override;
    // Worker thread: both channels' counts, under this camera's mutex.
    void StoreMonitorCounts() override;
    // Worker thread: stops both channels' acquisitions.
    void StopWatchedAcquisition() override;
    // The tag of image `image` on the channel that has delivered fewer frames (the one the
    // monitor's count follows).
    std::optional<uint32_t> ImageTag(uint64_t image) override;
    // The left half's tag, or the right's when the left was lost.
    std::optional<uint32_t> LogicalTag(uint64_t index) override;

private:
    friend class SequenceTestSeam; // tests stage frames the simulator cannot produce

    // Copies the two frames into their halves; `log` reports a swap.
    bool CopyHalves(int64_t left, int64_t right, CLumoImage* destination, bool stopOnFailure,
                    bool log) KAVRIN_REQUIRES(SequenceMutex(), m_right.SequenceMutex());
    // CopyValidToImage while the grabbers are open.
    bool CopyLiveHalves(uint64_t index, CLumoImage* destination, uint32_t initImage,
                        uint32_t blackOut)
        KAVRIN_REQUIRES(SequenceMutex(), m_right.SequenceMutex());
    // Without both halves: one black image with blackOut, else false.
    bool CopyMissingHalves(CLumoImage* destination, uint32_t initImage, uint32_t blackOut);
    void DumpHeaders();
    // Reads the tags of one channel's valid buffers and logs their range ("left"/"Lefttag" or
    // "right"/"Righttag"); false, with the counter message, when the tags cannot be read.
    bool ReadChannelTags(CTLMChannel& channel, const char* side, const char* label,
                         std::vector<RingTag>& ring);
    // Logs both channels' valid counts; false, with the warning, when either has none.
    bool CheckValidCounts();
    // False, with the log line, when either channel's tag span is too long for its ring.
    bool SpansBounded(const TagSpan& leftSpan, const TagSpan& rightSpan);

    CTLMChannel m_right;
    LumoRegionPtr m_leftRegion;
    LumoRegionPtr m_rightRegion;
};
