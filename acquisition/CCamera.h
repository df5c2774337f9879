// The sequence whose frames come from a frame grabber. It reserves a ring of frame buffers in
// the frame-buffer object, registers them buffer by buffer with one grabber board (so grabbing
// writes straight into the memory that replay, display and saving read), grabs continuously
// into the ring or once into every buffer, watches the grab on the worker thread, and afterwards
// maps logical indices onto the buffers that hold valid frames. It also drives the camera's four
// camera-control lines.
//
// Grabber calls go through the process's binding (TheSiliconAPI()) unless another binding is
// given. The grabbed count is guarded by the sequence mutex.
#pragma once

#include "acquisition/CFrameRate.h"
#include "acquisition/CSequenceBase.h"
#include "acquisition/CSiliconAPI.h"
#include "acquisition/FrameHeader.h"
#include "acquisition/GrabberSession.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

class CCamera : public CSequenceBase {
public:
    // (width, image format word, grabber slot: index into the binding's board list).
    CCamera(uint32_t width, uint64_t format, uint64_t grabberSlot);
    CCamera(uint32_t width, uint64_t format, uint64_t grabberSlot, CSiliconAPI& api,
            CLumoInstance* instance);
    // Ends a save or the monitor and the grab, and releases the grabber (the monitor and the
    // saves use the grabber and the counts of this part), then the base part.
    ~CCamera() override;

    // Any thread, for the queries up to GetHeight.
    uint32_t GetSequenceType() override { return 2; }
    uint64_t GetImageCount() override { return GetValidCount(0); }
    uint64_t GetImageFormat() override { return m_ullFormat; }
    const char* GetName() override { return "Camera sequence"; }
    uint32_t GetWidth() override { return m_uWidth; }
    uint32_t GetHeight() override { return m_uHeight; }
    // Any thread. Copies the buffer logical `index` maps to. Without one: with blackOut frame 0
    // of the destination is blacked out and true returned, else it stays as it is and false
    // returns. While the grabber is open the mapping takes the grabber's count at the time of
    // the copy, and a copy the grabber overtook is made again from the newest frame (false
    // when that fails three times: no new frame).
    [[nodiscard]] bool CopyValidToImage(uint64_t index, CLumoImage* destination, uint32_t initImage,
                                        uint32_t blackOut) override;
    // Worker thread: the grab monitor. Polls MonitorCount() every 10 ms (1 ms while a trigger is
    // pending), notification 1 when it changes, notification 2 when a single sequence is full,
    // when a trigger's frames are in (it stops the acquisition itself then), when the stop event
    // is set, or when the grabber's status could not be read for a second (GrabStatusFailed()).
    uint32_t WorkerThread() override;
    // Any thread. 1: the grab meter; 0: the display meter.
    void ResetFrameRate(uint64_t which) override;
    double GetFrameRate(uint64_t which) override;
    // UI thread. Stops acquisition and the monitor, fixes the grabbed count and releases the
    // grabber. While a save runs only the save's thread is stopped.
    void Stop() override;

    // Any thread. Images transferred since the grab started (status 10); 0 without an open
    // grabber, negative when the status could not be read.
    virtual int64_t GetGrabbedCount();
    // Any thread. Ring mapping: the buffer of logical image `index`, -1 when none holds it.
    // Logical 0 is the oldest image offered.
    virtual int64_t GetPhysicalIndex(uint32_t channel, uint64_t index);
    // Any thread. Images the ring mapping offers. While grabbing, and after a grab that was
    // stopped (continuous, or a single sequence stopped early), one fewer than the buffers
    // filled: the grabber may be writing the next buffer, which is the oldest once the ring has
    // wrapped. After a single sequence that completed (the grabber filled every buffer and
    // ended by itself before Stop), every buffer holds a whole frame and all are offered.
    virtual uint64_t GetValidCount(uint32_t channel);
    // UI thread. Releases the memory header and the grabber (stopping a running grab first).
    // The frames stay and can still be shown and saved.
    virtual void DetachFrameBuffers();
    // UI thread, for the rest. -1: not known here (tagged cameras count the gaps in their
    // tags).
    virtual int64_t GetLostImagesFromTags() { return -1; }
    virtual uint32_t GetChannelCount() { return 1; }
    // Any thread. The frame rate the camera model delivers by its data sheet; 0 when the model
    // does not state one (the rate is known only once a grab measured it).
    virtual double GetNominalFrameRate() { return 0.0; }
    // Takes effect at the next PrepareFrameBuffers.
    virtual void SetHeight(uint32_t height) { m_uHeight = height; }
    virtual uint64_t GetCCCount() { return 4; }
    // "CC1" .. "CC4".
    virtual std::string GetCCName(uint64_t line);
    // Bit i is line CC(i+1); applied to an open grabber as parameters 14001 .. 14004.
    virtual void SetCCState(uint32_t bits);
    virtual uint32_t GetCCState() { return m_uCCState; }
    // Opens the board at the grabber slot, allocates `count` frames, registers them and sets
    // width, height and the camera-control lines. Shows a message box and returns false (the
    // camera closed, frame memory freed) on failure.
    [[nodiscard]] virtual bool PrepareFrameBuffers(uint64_t count);
    // Starts grabbing endlessly into the ring (continuous) or once into every buffer, and the
    // monitor when a notification callback is installed.
    [[nodiscard]] virtual bool StartSnap(bool continuous);
    // Images lost (status 20); where the grabber cannot tell, GetLostImagesFromTags().
    virtual int64_t GetLostImages(uint32_t channel);

    // Any thread. True when reading the transferred count (status 10) failed during the last
    // grab (since the last StartSnap): the grab could not be watched.
    [[nodiscard]] bool GrabStatusFailed() const { return m_bStatusFailed.load(); }

    // UI thread. During a continuous grab with the monitor running and no trigger given yet:
    // the newest whole frame (the first to come when none arrived yet) becomes the trigger
    // frame, and the grab runs on for postPercent % of B - 2 frames (B buffers; at 100 % the
    // trigger frame is the first the stopped ring offers). The monitor then stops acquisition
    // and reports the end as for a full single sequence. False otherwise, or above 100 %.
    [[nodiscard]] virtual bool Trigger(uint32_t postPercent);
    // UI thread. True where Trigger would take a trigger (any share up to 100 %).
    [[nodiscard]] bool CanTrigger();
    // Any thread. The logical index of the trigger frame in the sequence as offered now; -1
    // without a trigger since the last StartSnap or when the frame has left the ring.
    virtual int64_t GetTriggerIndex();
    // Any thread. True from a successful Trigger until the monitor stops the grab (or the grab
    // ends otherwise).
    [[nodiscard]] bool IsTriggerPending() const;

    // Any thread. The recording: camera name, format, nominal rate, the grab meter's rate, the
    // grab's start time, buffers, lost images per channel and the trigger frame.
    [[nodiscard]] bool GetRecordingInfo(framerecord::RecordingInfo& out) override;
    // Any thread. Gap and tag of logical image `index` (a gap has a tag only when half of it
    // arrived).
    [[nodiscard]] bool GetFrameRecord(uint64_t index, framerecord::FrameEntry& out) override;
    // Any thread. True when no buffer holds logical image `index`: a lost frame, which copies
    // black out.
    [[nodiscard]] virtual bool IsGapFrame(uint64_t index);
    // Any thread. The tag logical image `index` carries; none for cameras without tags.
    virtual std::optional<uint32_t> RecordedTag(uint64_t /*index*/) { return std::nullopt; }

protected:
    bool IsGrabberOpen() const { return m_session.IsOpen(); }
    // The width of one channel's frames.
    uint32_t ChannelWidth() const { return m_uWidth; }
    // The grabbed count as the mapping uses it; locks the sequence.
    uint64_t GrabbedCount();
    // Stores a status read as the grabbed count, keeping the last known count when the status
    // is not available (negative).
    void StoreGrabbedCount(int64_t count);
    // Stop without the save check: stops acquisition and the monitor, records the grabbed count
    // and releases the grabber; nothing while the grabber is closed.
    void StopGrab();
    // Copies of a live frame the grabber overtook before one stays whole.
    static constexpr int LIVE_COPY_ATTEMPTS = 3;
    // A frame chosen for a copy while the grabber is open: its buffer, its image number
    // (1-based, as the grabbed count counts) and the header it had before the copy.
    struct LiveFrame {
        int64_t physical = -1;
        uint64_t image = 0;
        FrameHeader header;
        bool tagged = false;
    };
    // Grabber open, under the sequence mutex: the buffer logical `index` maps to at the
    // grabber's count now; false when no buffer holds it.
    bool PickLiveFrame(uint64_t index, LiveFrame& frame);
    // After copying `frame`: true when the grabber has not come round to its buffer and its
    // header still carries the tag it had.
    bool LiveFrameWhole(const LiveFrame& frame);
    // The header of buffer `physical`; false when its data is unavailable.
    bool ReadBufferHeader(int64_t physical, FrameHeader& header);
    // CopyValidToImage without a buffer: blacks out or leaves the destination (see there).
    bool CopyMissing(CLumoImage* destination, uint32_t blackOut);
    // Worker thread (and Trigger): the count the monitor watches (negative: the status could not
    // be read).
    virtual int64_t MonitorCount() { return GetGrabbedCount(); }
    // Worker thread: stores the counts the mapping uses after the monitor saw a new count.
    virtual void StoreMonitorCounts() { StoreGrabbedCount(GetGrabbedCount()); }
    // Worker thread: stops the acquisition the monitor watches, when a trigger's frames are in.
    virtual void StopWatchedAcquisition();
    // The tag image `image` (1-based, as MonitorCount() counts) carries in its buffer; none for
    // cameras without tags or when the header cannot be read. The caller makes sure the image
    // is still in its buffer.
    virtual std::optional<uint32_t> ImageTag(uint64_t /*image*/) { return std::nullopt; }
    // The trigger frame's image number (0: no trigger since the last StartSnap) and its tag
    // (none when not known).
    uint64_t TriggerImage() const { return m_ullTriggerImage.load(); }
    std::optional<uint32_t> TriggerTag() const;
    // The logical index whose buffer holds image `image` of the grab; -1 when that image was
    // not grabbed or has been overwritten since.
    int64_t LogicalIndexOfImage(uint64_t image);

private:
    friend class SequenceTestSeam; // tests stage frames the simulator cannot produce

    // CopyValidToImage while the grabber is open.
    bool CopyLive(uint64_t index, CLumoImage* destination, uint32_t initImage, uint32_t blackOut);
    // DetachFrameBuffers; `fromStop` skips stopping (Stop has stopped everything already).
    void Detach(bool fromStop);
    // The clean-up of a failed preparation.
    bool FailPreparation();
    // The steps of PrepareFrameBuffers; each shows its box and cleans up when it fails.
    bool OpenBoard();
    bool AllocateRing(uint64_t count, uint64_t& frameBytes);
    bool RegisterRing(uint64_t count, uint64_t frameBytes);
    // Stop: records whether the grab was a single sequence that completed (every buffer then
    // offered); a new grab or preparation clears it.
    void MarkRingComplete();
    void ClearRingComplete();
    // The monitor's pieces: the done test, a refresh after a new count, and a count read that
    // records a failed status.
    bool GrabComplete(int64_t count);
    void RefreshGrab(int64_t count);
    int64_t ReadMonitorCount();
    // The monitor's poll interval: short while a trigger is pending.
    int64_t MonitorPollMs() const;
    // The monitor's side of a pending trigger: learns the trigger tag once the frame is in,
    // stops the acquisition when the count reached the target; true when it did.
    bool TriggerReached(int64_t count);
    // No trigger: StartSnap forgets the last one.
    void ClearTrigger();
    // A pending trigger that the grab's end made moot; the trigger frame stays known.
    void DropPendingTrigger();

    enum class TriggerState { None, Pending, Fired };

    CSiliconAPI& m_api;
    uint32_t m_uWidth;
    uint32_t m_uHeight = 1726;
    uint32_t m_uOriginX = 0;
    uint32_t m_uOriginY = 0;
    uint64_t m_ullFormat;
    uint64_t m_ullGrabberSlot;
    GrabberSession m_session;
    uint32_t m_uCCState = 15;
    std::atomic<uint64_t> m_ullFrameCount{0}; // frame buffers prepared
    std::atomic<bool> m_bContinuous{false};
    std::atomic<bool> m_bStatusFailed{false};
    uint64_t m_ullGrabbedCount KAVRIN_GUARDED_BY(SequenceMutex()) = 0;
    // Set by Stop after a single sequence that completed; cleared when a grab starts.
    bool m_bRingComplete KAVRIN_GUARDED_BY(SequenceMutex()) = false;
    CFrameRate m_grabRate;
    // The trigger: written by Trigger (UI thread) before the state becomes Pending, read by the
    // monitor after it saw Pending; the tag also by the monitor while it is not known (-1).
    std::atomic<TriggerState> m_triggerState{TriggerState::None};
    std::atomic<uint64_t> m_ullTriggerImage{0};
    std::atomic<uint64_t> m_ullTriggerTarget{0};
    std::atomic<int64_t> m_llTriggerTag{-1};
    // When the last grab started (seconds since 1970, UTC); 0 before the first.
    std::atomic<int64_t> m_llGrabStart{0};
};
