#include "acquisition/CFileSequence.h"

#include "acquisition/FrameMemoryLimit.h"
#include "acquisition/RuntimeLibraries.h"
#include "acquisition/SeriesName.h"
#include "external/DebugLog.h"
#include "external/LumoFileModules.h"
#include "external/LumoInstance.h"
#include "external/LumoResult.h"

#include <charconv>
#include <vector>

namespace {

// Room for the file name read back from the reader: a whole Linux path.
constexpr size_t NAME_ROOM = 4096;
constexpr uint64_t PROGRESS_STEP = 10;

// Selects frame `frame` of the chosen file and reads it into the reader's input image; 0 or the
// reader's code. A selection that is not taken is not read: the image would repeat a frame.
uint32_t ReadFrame(CLumoModule& reader, uint64_t frame) {
    const uint32_t rc = reader.SetParam(LUMO_PARAM_FRAME, frame, 0);
    return rc != 0 ? rc : reader.Execute(0);
}

} // namespace

CFileSequence::CFileSequence() : CFileSequence(CurrentLumoInstance()) {}

CFileSequence::CFileSequence(CLumoInstance* instance)
    : CSequenceBase(instance), m_reader(MakeLumoModule(instance, LUMO_ID_FILE_READER)) {}

CFileSequence::~CFileSequence() {
    StopThread(); // sets the stop event and waits for the load to end
}

uint32_t CFileSequence::WorkerThread() {
    (void)LoadWorker(); // notification 2 carries the result
    return 0;
}

bool CFileSequence::LoadSequence(const char* fileName) {
    if (IsThreadRunning() || !m_reader)
        return false;
    StopThread();
    if (m_reader->SetParam(LUMO_PARAM_FILE_NAME, LumoArg(fileName), 0) != 0)
        return false;
    return StartThread(&CSequenceBase::WorkerThreadProc);
}

bool CFileSequence::LoadSequenceWithDialog(void* parentWindow) {
    if (IsThreadRunning() || !m_reader)
        return false;
    StopThread();
    // Filter and title only dress the dialog; it works without them.
    (void)m_reader->SetParam(LUMO_PARAM_FILE_TYPE, 1, 0);
    (void)m_reader->SetParam(LUMO_PARAM_TITLE, 0, LumoArg("Load sequence"));
    uint32_t cancelled = 0;
    if (m_reader->RunDialog(0, parentWindow, &cancelled) != 0 || cancelled)
        return false;
    return StartThread(&CSequenceBase::WorkerThreadProc);
}

std::string CFileSequence::LoadRefusal() const {
    platform::MutexLock lock(m_refusalLock);
    return m_refusal;
}

uint32_t CFileSequence::LoadWorker() {
    if (!Lumo())
        return 0;
    {
        platform::MutexLock lock(m_refusalLock);
        m_refusal.clear();
    }
    uint32_t rc = SEQ_RESULT_SETUP_FAILED;
    m_record.Clear();
    {
        const LumoImagePtr owned = MakeLumoImage(Lumo()); // gone before the notification
        CLumoImage* image = owned.get();
        if (image && m_reader && m_reader->SetImages(1, &image) == 0) {
            const LumoOutputInfo* info = m_reader->GetOutputInfo(0);
            const uint64_t frames = info ? info->frameCount : 1;
            rc = frames > 1 ? LoadFrames(image, frames) : LoadSeries(image);
            (void)m_reader->SetImages(1, nullptr); // detaching always succeeds
        }
    }
    Notify(SEQ_NOTIFY_ENDED, static_cast<int64_t>(rc), false);
    return rc;
}

uint32_t CFileSequence::LoadFrames(CLumoImage* image, uint64_t frames) {
    if (const uint32_t rc = ReadFrame(*m_reader, 0); rc != 0)
        return rc;
    // Checked before a byte is allocated: a file may claim far more frames than memory holds.
    const std::string refusal =
        framememory::CheckFrames(frames, image->GetFrameSize(), framememory::AvailableBytes());
    if (!refusal.empty()) {
        KAVRIN_LOG(GetLog(), 0, "CFileSequence::LoadFrames", "%s", refusal.c_str());
        platform::MutexLock lock(m_refusalLock);
        m_refusal = refusal;
        return LUMO_E_OUTOFMEMORY;
    }
    {
        CSequenceLock lock(*this);
        if (!Frames() || Frames()->AllocateFrames(image, frames) != 0)
            return SEQ_RESULT_SETUP_FAILED;
        if (Frames()->CopyFrame(image, 0, 0, 0, nullptr, 0, 0) != 0) {
            // Removing frames that exist does not fail; the copy's failure is what is reported.
            (void)Frames()->EditFrames(CLumoImage::EDIT_REMOVE, 0, frames);
            return SEQ_RESULT_FRAME_FAILED;
        }
    }
    m_record.Add(0, *image);
    Notify(SEQ_NOTIFY_BUFFERS, 1, false);
    Notify(SEQ_NOTIFY_NEW_IMAGES, 1, false);
    uint32_t rc = 0;
    uint64_t loaded = 1;
    for (uint64_t i = 1; i < frames; ++i) {
        if (StopEvent().IsSet()) {
            rc = SEQ_RESULT_ABORTED;
            break;
        }
        rc = ReadFrame(*m_reader, i);
        if (rc != 0)
            break;
        {
            CSequenceLock lock(*this);
            if (Frames()->CopyFrame(image, 0, static_cast<int64_t>(i), 0, nullptr, 0, 0) != 0) {
                rc = SEQ_RESULT_FRAME_FAILED; // a frame of another shape: reported, not hidden
                break;
            }
        }
        m_record.Add(i, *image);
        ++loaded;
        if (loaded % PROGRESS_STEP == 0)
            Notify(SEQ_NOTIFY_NEW_IMAGES, static_cast<int64_t>(loaded), false);
    }
    if (loaded < frames) {
        CSequenceLock lock(*this);
        // The frames not loaded were all allocated above: removing them does not fail.
        (void)Frames()->EditFrames(CLumoImage::EDIT_REMOVE, loaded, frames - loaded);
    }
    return rc;
}

uint32_t CFileSequence::LoadSeries(CLumoImage* image) {
    std::vector<char> buffer(NAME_ROOM, 0);
    std::string name;
    // A name that does not fit the buffer stays empty: the file is read alone, without a series.
    if (m_reader->GetParam(LUMO_PARAM_FILE_NAME, LumoArg(buffer.data()), buffer.size()) == 0)
        name = buffer.data();
    const seriesname::CounterField counter = seriesname::FindCounter(name);
    if (!name.empty())
        m_record.UseSidecar(name);

    if (const uint32_t rc = ReadFrame(*m_reader, 0); rc != 0)
        return rc;
    {
        CSequenceLock lock(*this);
        if (!Frames() || Frames()->AllocateFrames(image, 1) != 0)
            return SEQ_RESULT_SETUP_FAILED;
        if (Frames()->CopyFrame(image, 0, 0, 0, nullptr, 0, 0) != 0)
            return SEQ_RESULT_FRAME_FAILED;
    }
    m_record.Add(0, *image);
    Notify(SEQ_NOTIFY_BUFFERS, 1, false);
    Notify(SEQ_NOTIFY_NEW_IMAGES, 1, false);
    if (counter.width == 0)
        return 0;
    uint64_t number = 0;
    const char* digits = name.data() + counter.start;
    const auto parsed = std::from_chars(digits, digits + counter.width, number);
    if (parsed.ec != std::errc() || parsed.ptr != digits + counter.width)
        return 0;
    // Each turn needs one more existing file: the series ends at the first missing number.
    while (!StopEvent().IsSet()) {
        if (number == UINT64_MAX)
            return 0;
        ++number;
        const std::string text = seriesname::ZeroPadded(number, counter.width);
        if (text.size() > counter.width)
            return 0;
        name.replace(counter.start, counter.width, text);
        // A name not taken would read the previous file again.
        uint32_t rc = m_reader->SetParam(LUMO_PARAM_FILE_NAME, LumoArg(name.c_str()), 0);
        if (rc == 0)
            rc = m_reader->Execute(0);
        if (rc == SEQ_RESULT_FILE_MISSING)
            return 0;
        if (rc != 0)
            return rc;
        uint64_t count = 0;
        {
            CSequenceLock lock(*this);
            count = Frames()->GetFrameCount();
            if (Frames()->EditFrames(CLumoImage::EDIT_INSERT, count, 1) != 0)
                return SEQ_RESULT_FRAME_FAILED;
            if (Frames()->CopyFrame(image, 0, static_cast<int64_t>(count), 0, nullptr, 0, 0) != 0) {
                // A file of another shape: the frame made for it goes again (removing a frame
                // that exists does not fail).
                (void)Frames()->EditFrames(CLumoImage::EDIT_REMOVE, count, 1);
                return SEQ_RESULT_FRAME_FAILED;
            }
            m_record.Add(count, *image);
            ++count;
        }
        if (count % PROGRESS_STEP == 0)
            Notify(SEQ_NOTIFY_NEW_IMAGES, static_cast<int64_t>(count), false);
    }
    return SEQ_RESULT_ABORTED;
}

bool CFileSequence::GetRecordingInfo(framerecord::RecordingInfo& out) {
    if (!m_record.Recording(out))
        return false;
    out.frames = GetImageCount();
    return true;
}

bool CFileSequence::GetFrameRecord(uint64_t index, framerecord::FrameEntry& out) {
    framerecord::RecordingInfo recording;
    if (!m_record.Recording(recording))
        return false;
    if (!m_record.Frame(index, out))
        out = framerecord::FrameEntry{};
    return true;
}
