// The one way tests reach into a sequence, for what neither the public interface nor the
// simulator can give: rings of frame headers the simulated camera never writes (repeated tags,
// headers without the magic in the middle of a ring, tags chosen per buffer), the grabber handle
// the simulator's FgSim_Step and Fg_getParameter need, the frames of a sequence to fill or
// compare, and the save-busy flag and display counter that the sequence model's own tests check.
// Every other observation goes through the public interface and the simulator.
#pragma once

#include "acquisition/CKavrinFast.h"
#include "external/ImageFormat.h"
#include "external/LumoImage.h"

#include <memory>
#include <utility>

class SequenceTestSeam {
public:
    // Tests touch frames while no other thread uses them, so without the sequence's lock.
    static CLumoImage* Frames(CSequenceBase& sequence) KAVRIN_NO_THREAD_SAFETY_ANALYSIS {
        return sequence.Frames();
    }
    static const platform::Event& StopEvent(CSequenceBase& sequence) {
        return sequence.StopEvent();
    }
    static Fg_Struct* Grabber(CCamera& camera) { return camera.m_session.Handle(); }
    static CTLMChannel& Right(CKavrinFast& camera) { return camera.m_right; }
    static uint64_t DisplayCounter(CSequenceBase& sequence) {
        return sequence.m_ullDisplayCounter.load();
    }
    // The callback and its context as a worker reading them now would get them.
    static std::pair<PFN_SequenceNotify, uint64_t> Notification(CSequenceBase& sequence) {
        platform::MutexLock lock(sequence.m_notifyLock);
        return {sequence.m_pNotify, sequence.m_ullNotifyContext};
    }
    static bool SaveBusy(CSequenceBase& sequence) { return sequence.m_bSaveBusy.load(); }
    // The notification callback and context installed now: what a worker holds that read them
    // just before they were removed.
    static std::pair<PFN_SequenceNotify, uint64_t> InstalledCallback(CSequenceBase& sequence) {
        platform::MutexLock lock(sequence.m_notifyLock);
        return {sequence.m_pNotify, sequence.m_ullNotifyContext};
    }
    static void MarkSaveBusy(CSequenceBase& sequence, bool busy) {
        sequence.m_bSaveBusy.store(busy);
    }
    // A ring of `buffers` frames of width x height without a grabber, `grabbed` images grabbed
    // into it.
    static bool MakeRing(CCamera& camera, uint32_t width, uint32_t height, uint64_t buffers,
                         uint64_t grabbed) {
        CLumoImage* frames = Frames(camera);
        if (!frames || frames->Allocate(width, height, ImageFormat::GREY8, 0, buffers) != 0)
            return false;
        camera.StoreGrabbedCount(static_cast<int64_t>(grabbed));
        return true;
    }
    // Both rings of a dual-channel camera, with the regions a preparation gives.
    static bool MakeRings(CKavrinFast& camera, uint64_t buffers, uint64_t leftGrabbed,
                          uint64_t rightGrabbed) {
        const uint32_t width = CKavrinFast::CHANNEL_WIDTH;
        const uint32_t height = camera.GetHeight();
        if (!MakeRing(camera, width, height, buffers, leftGrabbed) ||
            !MakeRing(camera.m_right, width, height, buffers, rightGrabbed))
            return false;
        return camera.m_leftRegion->SetRect(0, 0, 0, width, height, 0) == 0 &&
               camera.m_rightRegion->SetRect(0, width, 0, width, height, 0) == 0;
    }
};

// Owns a sequence as the document does: it is stopped before it is deleted.
template <typename T>
class Owned {
public:
    template <typename... Args>
    explicit Owned(Args&&... args) : m_sequence(std::make_unique<T>(std::forward<Args>(args)...)) {}
    ~Owned() {
        if (m_sequence)
            m_sequence->Stop();
    }
    Owned(Owned&&) noexcept = default;
    Owned& operator=(Owned&&) = delete;
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;

    T* operator->() const { return m_sequence.get(); }
    T& operator*() const { return *m_sequence; }
    T* get() const { return m_sequence.get(); }

private:
    std::unique_ptr<T> m_sequence;
};

inline CLumoImage* Frames(CSequenceBase& sequence) {
    return SequenceTestSeam::Frames(sequence);
}
inline Fg_Struct* Grabber(CCamera& camera) {
    return SequenceTestSeam::Grabber(camera);
}
inline CTLMChannel& Right(CKavrinFast& camera) {
    return SequenceTestSeam::Right(camera);
}
inline Fg_Struct* RightGrabber(CKavrinFast& camera) {
    return Grabber(Right(camera));
}
inline CLumoImage* RightFrames(CKavrinFast& camera) {
    return Frames(Right(camera));
}
