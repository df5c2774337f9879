// The abstract sequence: an ordered set of equally sized images held as the frames of one image
// object of the image library (the frame-buffer object), with one worker thread, a stop event,
// a recursive mutex and a notification callback.
//
// Frames are addressed by a physical index (0 .. buffer count - 1, signed, -1 = no valid
// buffer); callers use a logical index (0 .. image count - 1). The base maps one to one.
#pragma once

#include "acquisition/CFrameRate.h"
#include "acquisition/CSequence_0.h"
#include "acquisition/SequenceNotify.h"
#include "platform/Event.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

class CDebugSink;
class CLumoImage;
class CLumoInstance;
class CLumoModule;

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
    // Copies frame `physicalIndex` into `destination`, reallocating it only when its geometry,
    // bit depth or format word differ. False when there is nothing to copy from or into, when
    // initImage is 0, or when the copy fails. blackOut is not used here. Locks the sequence.
    virtual bool CopyToImage(int64_t physicalIndex, CLumoImage* destination, uint32_t initImage,
                             uint32_t blackOut);
    // CopyToImage of the physical index that logical `index` maps to.
    virtual bool CopyValidToImage(uint64_t index, CLumoImage* destination, uint32_t initImage,
                                  uint32_t blackOut);
    // Replaces the frame-buffer object by a new empty one, freeing all frame memory. False when
    // there is no library instance or the new object could not be made.
    virtual bool ResetFrameStore();
    // Bodies of the save threads; they clear the save-busy flag when they end.
    virtual uint32_t SaveSequenceThread();
    virtual uint32_t SaveImageThread();
    // Body of the worker thread; the base returns 0 at once.
    virtual uint32_t WorkerThread();
    // Starts the one worker thread running `entry`. False when a thread is still running (or
    // the system refuses a new one); an ended thread is reaped first.
    virtual bool StartThread(ThreadEntry entry);
    // Sets the stop event and joins the thread; nothing without a thread.
    virtual void StopThread();
    // Deletes the file module and the frame-buffer object through the library instance. Owners
    // Stop() a sequence before deleting it; a thread still held here is stopped and joined.
    ~CSequenceBase() override;
    virtual void SetLog(CDebugSink* log);
    // The sequence mutex: recursive, one Unlock per Lock.
    virtual void Lock();
    virtual void Unlock();
    // A null callback switches notifications off.
    virtual void SetNotifyCallback(PFN_SequenceNotify callback, uint64_t context);
    // Shapes `destination` for one frame of this sequence (InitImageIfRequired(0, 0, ...)).
    virtual bool InitImage(CLumoImage* destination);
    // 0: display counter and display meter start again. Others: nothing here.
    virtual void ResetFrameRate(uint64_t which);
    // 0: the display rate in frames per second. Others: 0.0 here.
    virtual double GetFrameRate(uint64_t which);
    // True while the worker thread's body has not returned.
    virtual bool IsThreadRunning();
    virtual void Stop();
    // Sequence export (SequenceExport.cpp). Each refuses (false) while the thread runs or
    // without a file module, and otherwise starts the save on the sequence's thread, which
    // reports through notifications 3, 4 and 5 and ends early when the stop event is set.
    // Writes images first .. first + count - 1 (count cut to the images there are) into the file
    // named `fileName`, with the file type set on the file module before.
    virtual bool SaveSequenceToFile(const char* fileName, uint64_t first, uint64_t count);
    // The same after the file module's save dialog ("Save sequence"); false when cancelled.
    virtual bool SaveSequence(void* parentWindow, uint64_t first, uint64_t count);
    // Writes image `index` after the save dialog ("Save image").
    virtual bool SaveImage(void* parentWindow, uint64_t index);
    // Logs the address of every frame at level 1 (only with a log sink).
    virtual void DumpBuffers();

    // Makes `destination` able to receive one frame: width 0 means GetWidth(), height 0
    // GetHeight(). Leaves a destination that already has that width, height, bit depth and
    // format word as it is; else allocates one frame and copies the origin.
    bool InitImageIfRequired(uint32_t width, uint32_t height, CLumoImage* destination);

    // The file module (object ID 1; null without the image library): callers that save without
    // the dialog choose the file type on it (parameter 257) before SaveSequenceToFile.
    CLumoModule* GetFileModule() const { return m_pFileModule; }

protected:
    // Raises a notification through the installed callback, if any.
    void Notify(uint32_t code, int64_t value, bool synchronous);
    // True when a notification callback is installed.
    bool HasNotifyCallback();
    // The stop event threads poll.
    const platform::Event& StopEvent() const { return m_hStopEvent; }
    // The two save algorithms, run on the sequence's thread; they return the result code that
    // notification 5 carries.
    uint32_t WriteRange(uint64_t first, uint64_t count);
    uint32_t WriteSingleImage(uint64_t index);
    // The maker, camera and program attributes every saved image carries.
    void MarkAsOurs(CLumoImage* work);
    // Logical image `index` copied into `work` and written by the file module; 0 or an error.
    uint32_t CopyAndWrite(uint64_t index, CLumoImage* work);
    CDebugSink* GetLog() const { return m_pLog.load(); }

    std::atomic<CDebugSink*> m_pLog{nullptr};
    CLumoInstance* const m_pLumo;  // the library instance that made the objects below
    CLumoModule* m_pFileModule;    // object ID 1; owned
    std::recursive_mutex m_hMutex; // guards the frame-buffer object and grab counts
    uint64_t m_ullFrameCount = 0;  // frame buffers requested
    CLumoImage* m_pFrames;         // the frame-buffer object; owned
    std::atomic<uint64_t> m_ullDisplayCounter{0};
    CFrameRate m_displayRate;
    PFN_SequenceNotify m_pNotify = nullptr; // guarded by m_notifyLock
    uint64_t m_ullNotifyContext = 0;        // guarded by m_notifyLock
    platform::Event m_hStopEvent;
    std::thread m_hThread;                  // guarded by m_threadLock
    std::atomic<bool> m_bThreadEnded{true}; // the body has returned
    std::atomic<bool> m_bSaveBusy{false};
    uint64_t m_ullSaveFirst = 0;
    uint64_t m_ullSaveCount = UINT64_MAX;
    uint64_t m_ullSaveIndex = 0;

private:
    std::mutex m_notifyLock;
    std::mutex m_threadLock;
};

// Holds a sequence's mutex for one scope.
class CSequenceLock {
public:
    explicit CSequenceLock(CSequenceBase& sequence) : m_sequence(sequence) { m_sequence.Lock(); }
    ~CSequenceLock() { m_sequence.Unlock(); }
    CSequenceLock(const CSequenceLock&) = delete;
    CSequenceLock& operator=(const CSequenceLock&) = delete;

private:
    CSequenceBase& m_sequence;
};
