// The abstract sequence: an ordered set of equally sized images held as the frames of one image
// object of the image library (the frame-buffer object), with one worker thread, a stop event,
// a recursive mutex and a notification callback.
//
// Frames are addressed by a physical index (0 .. buffer count - 1, signed, -1 = no valid
// buffer); callers use a logical index (0 .. image count - 1). The base maps one to one.
//
// Threads: the UI thread issues commands and copies frames out; the sequence's one worker thread
// runs a grab monitor, a load or a save. Each public operation below says where it may be
// called from.
#pragma once

#include "acquisition/CFrameRate.h"
#include "acquisition/CSequence_0.h"
#include "acquisition/FrameRecord.h"
#include "acquisition/SequenceNotify.h"
#include "acquisition/SequenceThread.h"
#include "external/LumoPtr.h"
#include "platform/Event.h"
#include "platform/ThreadAnnotations.h"

#include <atomic>
#include <cstdint>
#include <string>

class CDebugSink;
class CExportStage;
class CLumoImage;
class CLumoInstance;
class CLumoModule;
class SavedRecord;
class SequenceTestSeam;

class CSequenceBase : public CSequence_0 {
public:
    // What StartThread runs: one of the three thread entry points below.
    using ThreadEntry = uint32_t (*)(CSequenceBase* sequence);

    // The thread entry points; each calls one virtual operation on the sequence.
    static uint32_t SaveSequenceThreadProc(CSequenceBase* sequence);
    static uint32_t SaveImageThreadProc(CSequenceBase* sequence);
    static uint32_t WorkerThreadProc(CSequenceBase* sequence);

    // Makes the frame-buffer object and the file module through the process's current image
    // library instance (CurrentLumoInstance); without one both stay null.
    CSequenceBase();
    // Makes them through `instance` (may be null).
    explicit CSequenceBase(CLumoInstance* instance);
    CSequenceBase(const CSequenceBase&) = delete;
    CSequenceBase& operator=(const CSequenceBase&) = delete;

    // Any thread, for all queries below up to GetHeight.
    // 1 file sequence, 2 camera sequence.
    virtual uint32_t GetSequenceType() = 0;
    // Frames held by the frame-buffer object; 0 without one.
    virtual uint64_t GetBufferCount();
    // Logical images callers may ask for.
    virtual uint64_t GetImageCount();
    // The frame-buffer object's format word; 0 without one.
    virtual uint64_t GetImageFormat();
    // Display name, used as the document title.
    virtual const char* GetName();
    virtual uint32_t GetWidth();
    virtual uint32_t GetHeight();
    // Any thread (the UI thread's view, the worker's save). Copies frame `physicalIndex` into
    // `destination`, reallocating it only when its geometry, bit depth or format word differ.
    // False when there is nothing to copy from or into, when initImage is 0, or when the copy
    // fails. blackOut is not used here. Locks the sequence.
    [[nodiscard]] virtual bool CopyToImage(int64_t physicalIndex, CLumoImage* destination,
                                           uint32_t initImage, uint32_t blackOut);
    // Any thread. CopyToImage of the physical index that logical `index` maps to.
    [[nodiscard]] virtual bool CopyValidToImage(uint64_t index, CLumoImage* destination,
                                                uint32_t initImage, uint32_t blackOut);
    // UI thread, no thread running. Replaces the frame-buffer object by a new empty one,
    // freeing all frame memory. False when there is no library instance or the new object could
    // not be made.
    [[nodiscard]] virtual bool ResetFrameStore();
    // Worker thread only: bodies of the save threads; they clear the save-busy flag when they
    // end.
    virtual uint32_t SaveSequenceThread();
    virtual uint32_t SaveImageThread();
    // Worker thread only: the body of the worker thread; the base returns 0 at once.
    virtual uint32_t WorkerThread();
    // UI thread. Starts the one worker thread running `entry`. False when a thread is still
    // running (or the system refuses a new one); an ended thread is reaped first.
    [[nodiscard]] virtual bool StartThread(ThreadEntry entry);
    // UI thread (from the worker itself it only lets go of the thread). Sets the stop event and
    // joins the thread; nothing without a thread.
    virtual void StopThread();
    // Owners Stop() a sequence before deleting it: a class whose thread bodies use its own
    // members stops the thread in its destructor; a body still running when this part goes is
    // logged as an error at level 0 and stopped as a last resort.
    ~CSequenceBase() override;
    // UI thread, before threads run.
    virtual void SetLog(CDebugSink* log);
    // Any thread. The sequence mutex: recursive, one Unlock per Lock.
    virtual void Lock() KAVRIN_ACQUIRE(m_mutex);
    virtual void Unlock() KAVRIN_RELEASE(m_mutex);
    // Any thread. A null callback switches notifications off.
    virtual void SetNotifyCallback(PFN_SequenceNotify callback, uint64_t context);
    // Any thread. Shapes `destination` for one frame of this sequence
    // (InitImageIfRequired(0, 0, ...)).
    [[nodiscard]] virtual bool InitImage(CLumoImage* destination);
    // Any thread. 0: display counter and display meter start again. Others: nothing here.
    virtual void ResetFrameRate(uint64_t which);
    // Any thread. 0: the display rate in frames per second. Others: 0.0 here.
    virtual double GetFrameRate(uint64_t which);
    // Any thread. True while the worker thread's body has not returned.
    [[nodiscard]] virtual bool IsThreadRunning();
    // UI thread. Ends whatever runs on the sequence's thread.
    virtual void Stop();
    // UI thread. Sequence export (SequenceExport.cpp). Each refuses (false) while the thread
    // runs or without a file module, and otherwise starts the save on the sequence's thread,
    // which reports through notifications 3, 4 and 5 and ends early when the stop event is set.
    // Writes images first .. first + count - 1 (count cut to the images there are) into the file
    // named `fileName`, with the file type set on the file module before.
    [[nodiscard]] virtual bool SaveSequenceToFile(const char* fileName, uint64_t first,
                                                  uint64_t count);
    // The same after the file module's save dialog ("Save sequence"); false when cancelled.
    [[nodiscard]] virtual bool SaveSequence(void* parentWindow, uint64_t first, uint64_t count);
    // Writes image `index` after the save dialog ("Save image").
    [[nodiscard]] virtual bool SaveImage(void* parentWindow, uint64_t index);
    // Any thread. Logs the address of every frame at level 1 (only with a log sink).
    virtual void DumpBuffers();
    // Any thread (the export asks on the save thread). The frame record's recording data
    // (FrameRecord.h) for the whole sequence as it is now: frames = the image count, the
    // trigger as a logical index. False when the sequence keeps no record (the base: plain
    // sequences and files saved without one).
    [[nodiscard]] virtual bool GetRecordingInfo(framerecord::RecordingInfo& out);
    // Any thread; the export asks under the sequence mutex, right after copying the frame. Tag
    // and gap of logical image `index` (out.index and out.crc32 are the saver's); false when the
    // sequence keeps no record.
    [[nodiscard]] virtual bool GetFrameRecord(uint64_t index, framerecord::FrameEntry& out);

    // Any thread. Makes `destination` able to receive one frame: width 0 means GetWidth(),
    // height 0 GetHeight(). Leaves a destination that already has that width, height, bit depth
    // and format word as it is; else allocates one frame and copies the origin.
    [[nodiscard]] bool InitImageIfRequired(uint32_t width, uint32_t height,
                                           CLumoImage* destination);

    // Any thread. Why the last save's verification failed (its result was
    // SEQ_RESULT_VERIFY_FAILED), e.g. "frame 3 does not match its record (...); 1 of 10 frame(s)
    // bad"; empty when it did not fail. The save thread sets it before notification 5 and
    // clears it when a save starts.
    std::string GetVerifyFailure() const;

    // UI thread, no save running. The file module (object ID 1; null without the image
    // library): callers that save without the dialog choose the file type on it (parameter 257)
    // before SaveSequenceToFile.
    CLumoModule* GetFileModule() const { return m_fileModule.get(); }

    // UI thread, only while no save runs (null clears). The stage the export hands every copied
    // frame to when the file module's parameter 346 is 1; without one, or with 346 = 0, the
    // frames are written as recorded. The owner clears it before the stage goes.
    void SetExportStage(CExportStage* stage) { m_pExportStage.store(stage); }
    // Any thread (the save thread reads it for every frame).
    CExportStage* GetExportStage() const { return m_pExportStage.load(); }

    // The sequence mutex as the lock analysis names it (CSequenceLock takes it).
    platform::RecursiveMutex& SequenceMutex() const KAVRIN_RETURN_CAPABILITY(m_mutex) {
        return m_mutex;
    }

protected:
    // The frame-buffer object (null without the image library), read and used under the lock.
    CLumoImage* Frames() const KAVRIN_REQUIRES(m_mutex) { return m_frames.get(); }
    // The library instance the sequence's objects come from (may be null).
    CLumoInstance* Lumo() const { return m_pLumo; }
    // Counts one displayed frame and feeds the display meter with the count before it.
    void CountDisplayedFrame();
    // True while a save runs on the sequence's thread.
    bool IsSaveBusy() const { return m_bSaveBusy.load(); }
    // Raises a notification through the installed callback, if any. Never with the sequence
    // mutex held: the receiver may need it (a synchronous notification waits for the receiver).
    void Notify(uint32_t code, int64_t value, bool synchronous) KAVRIN_EXCLUDES(m_mutex);
    // True when a notification callback is installed.
    bool HasNotifyCallback();
    // The stop event threads poll.
    const platform::Event& StopEvent() const { return m_thread.StopEvent(); }
    CDebugSink* GetLog() const { return m_pLog.load(); }

private:
    friend class SequenceTestSeam; // tests stage frames the simulator cannot produce

    // The two save algorithms, run on the sequence's thread; they return the result code that
    // notification 5 carries.
    uint32_t WriteRange(uint64_t first, uint64_t count);
    uint32_t WriteSingleImage(uint64_t index);
    // Both with a fresh work image: one image (`single`) or the range, ending with
    // notification 5.
    uint32_t RunSave(uint64_t first, uint64_t count, bool single);
    // Writes `n` images from `first` into one file or one file each (numbered from the chosen
    // name); the loop of WriteRange.
    uint32_t WriteImages(uint64_t first, uint64_t n, bool oneFile, CLumoImage* work,
                         SavedRecord& record);
    // Starts `entry` as a save with the busy flag set; false (flag cleared) when it cannot.
    bool StartSave(ThreadEntry entry);
    // The maker, camera and program attributes every saved image carries.
    void MarkAsOurs(CLumoImage* work);
    // Logical image `index` copied into `work`, stamped with its frame record (its position
    // `position` in the saved range) and written by the file module; 0 or an error.
    uint32_t CopyAndWrite(uint64_t index, CLumoImage* work, SavedRecord& record, uint64_t position);
    // After a save of `n` images whose first file is `firstFile`, when the file module's
    // parameter 343 asks for it: reads them back against their records with notifications 3
    // and 4. 0, SEQ_RESULT_ABORTED or SEQ_RESULT_VERIFY_FAILED (logged and kept).
    uint32_t VerifySaved(const std::string& firstFile, uint64_t n, bool single);
    void SetVerifyFailure(const std::string& text);

    std::atomic<CDebugSink*> m_pLog{nullptr};
    CLumoInstance* const m_pLumo; // the library instance that made the objects below
    // The sequence mutex: recursive, it guards the frame-buffer object and the grab counts.
    // Lock order: a chain lock before a sequence's mutex, never after; a dual-channel camera
    // takes its own mutex before its right channel's.
    mutable platform::RecursiveMutex m_mutex;
    // Made in this order and given back in the reverse one.
    LumoImagePtr m_frames KAVRIN_GUARDED_BY(m_mutex); // the frame-buffer object
    LumoModulePtr m_fileModule;                       // object ID 1
    std::atomic<uint64_t> m_ullDisplayCounter{0};
    CFrameRate m_displayRate;
    platform::Mutex m_notifyLock;
    PFN_SequenceNotify m_pNotify KAVRIN_GUARDED_BY(m_notifyLock) = nullptr;
    uint64_t m_ullNotifyContext KAVRIN_GUARDED_BY(m_notifyLock) = 0;
    SequenceThread m_thread;
    std::atomic<bool> m_bSaveBusy{false};
    std::atomic<CExportStage*> m_pExportStage{nullptr}; // see SetExportStage
    // The pending save; written before its thread starts, read by that thread.
    uint64_t m_ullSaveFirst = 0;
    uint64_t m_ullSaveCount = UINT64_MAX;
    uint64_t m_ullSaveIndex = 0;
    mutable platform::Mutex m_verifyLock;
    std::string m_verifyFailure KAVRIN_GUARDED_BY(m_verifyLock);
};

// Holds a sequence's mutex for one scope (through the sequence's Lock and Unlock).
class KAVRIN_SCOPED_CAPABILITY CSequenceLock {
public:
    explicit CSequenceLock(CSequenceBase& sequence) KAVRIN_ACQUIRE(sequence.SequenceMutex())
        : m_sequence(sequence) {
        m_sequence.Lock();
    }
    ~CSequenceLock() KAVRIN_RELEASE() { m_sequence.Unlock(); }
    CSequenceLock(const CSequenceLock&) = delete;
    CSequenceLock& operator=(const CSequenceLock&) = delete;

private:
    CSequenceBase& m_sequence;
};
