// The sequence of images loaded from disk: one multi-frame file, or a numbered series of
// single-image files starting at the chosen one. Loading runs on the sequence's worker thread
// through the image library's file reader (object ID 2) and reports with notifications 0, 1
// and 2; the frames appear in the frame-buffer object as they are loaded.
#pragma once

#include "acquisition/CSequenceBase.h"
#include "acquisition/LoadedRecord.h"
#include "external/LumoPtr.h"
#include "platform/ThreadAnnotations.h"

#include <cstdint>
#include <string>

// Result codes of a load (value of notification 2), besides 0, SEQ_RESULT_ABORTED and the
// reader's own codes (external/LumoResult.h).
inline constexpr uint32_t SEQ_RESULT_SETUP_FAILED = 0xA0010001; // no temporary image or reader,
                                                                // or frames not allocated
inline constexpr uint32_t SEQ_RESULT_FRAME_FAILED = 0xA0010006; // frame not added or copied
inline constexpr uint32_t SEQ_RESULT_FILE_MISSING = 0xA0010008; // the reader's missing file

class CFileSequence : public CSequenceBase {
public:
    CFileSequence();
    explicit CFileSequence(CLumoInstance* instance);
    // Stops and joins a running load (it uses the reader), then deletes the file reader.
    ~CFileSequence() override;

    uint32_t GetSequenceType() override { return 1; }
    const char* GetName() override { return "File Sequence"; }
    // Worker thread: the load.
    uint32_t WorkerThread() override;

    // Worker thread: the load itself; returns the result code that notification 2 carries.
    virtual uint32_t LoadWorker();
    // UI thread. Starts loading `fileName`. False while the thread runs or without a file
    // reader.
    [[nodiscard]] virtual bool LoadSequence(const char* fileName);
    // UI thread. Starts loading the file chosen in the reader's open dialog ("Load sequence");
    // false when the dialog fails or is cancelled.
    [[nodiscard]] virtual bool LoadSequenceWithDialog(void* parentWindow);
    // Any thread. The record the loaded files carried (attribute 5, or a BMP series' sidecar):
    // its recording with frames = the images loaded; false when they carried none.
    [[nodiscard]] bool GetRecordingInfo(framerecord::RecordingInfo& out) override;
    // Any thread. The loaded entry of image `index` (a frame without one: no tag, not lost);
    // false when the files carried no record. A re-save keeps tags and gaps.
    [[nodiscard]] bool GetFrameRecord(uint64_t index, framerecord::FrameEntry& out) override;
    // Any thread. Why the last load refused to allocate its frames (result LUMO_E_OUTOFMEMORY:
    // they need more than FrameMemoryLimit.h's share of the available memory); empty when it
    // did not.
    std::string LoadRefusal() const;

private:
    // The single-file path: the chosen file, then the numbered series that follows it.
    uint32_t LoadSeries(CLumoImage* image);
    // The multi-frame path.
    uint32_t LoadFrames(CLumoImage* image, uint64_t frames);

    LumoModulePtr m_reader;
    mutable platform::Mutex m_refusalLock;
    std::string m_refusal KAVRIN_GUARDED_BY(m_refusalLock);
    LoadedRecord m_record;
};
