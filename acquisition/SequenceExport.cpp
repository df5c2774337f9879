// Sequence export: saving a range of images, or one image, on the sequence's thread.
#include "acquisition/CSequenceBase.h"
#include "acquisition/ExportStage.h"
#include "acquisition/RecordedFrames.h"
#include "acquisition/RecordingCheck.h"
#include "acquisition/SavedRecord.h"
#include "acquisition/SeriesName.h"
#include "external/DebugLog.h"
#include "external/LumoFileModules.h"
#include "external/LumoInstance.h"
#include "external/LumoResult.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr const char* MAKER = "Hadrell Optics GmbH";
constexpr const char* PROGRAM = "KavrinDemo";
// Room for the file name read back from the file module: a whole Linux path.
constexpr size_t NAME_ROOM = 4096;

// The result code as notification 5 carries it: sign-extended from 32 bits.
int64_t SignExtended(uint32_t rc) {
    return static_cast<int64_t>(static_cast<int32_t>(rc));
}

// The file writer's dialog, prepared for one save; false when it failed or was cancelled.
bool AskForFileName(CLumoModule* module, void* parentWindow, const char* title) {
    // These only preset the dialog, which picks the name and the type itself.
    (void)module->SetParam(LUMO_PARAM_DIALOG_OPTIONS, 55, 0);
    (void)module->SetParam(LUMO_PARAM_DIALOG_HISTORY, 3, 0);
    (void)module->SetParam(LUMO_PARAM_FILE_TYPE, 1, 0);
    (void)module->SetParam(LUMO_PARAM_TITLE, 0, LumoArg(title));
    uint32_t cancelled = 0;
    return module->RunDialog(0, parentWindow, &cancelled) == 0 && !cancelled;
}

// The work image as the file module's one input for one scope.
class ModuleInput {
public:
    // A module takes any image as its one input, and detaching always succeeds.
    ModuleInput(CLumoModule& module, CLumoImage* image) : m_module(module) {
        (void)m_module.SetImages(1, &image);
    }
    ~ModuleInput() { (void)m_module.SetImages(1, nullptr); }
    ModuleInput(const ModuleInput&) = delete;
    ModuleInput& operator=(const ModuleInput&) = delete;

private:
    CLumoModule& m_module;
};

// The module's number parameter `id` (b: its second argument); 0 when it does not read.
uint32_t NumberParam(CLumoModule& module, uint32_t id, uintptr_t b) {
    uint32_t value = 0;
    return module.GetParam(id, LumoArg(&value), b) == 0 ? value : 0;
}

// The stage that renders this save's frames: the sequence's `stage` when the module asks for the
// frames as displayed (346 = 1); null for the frames as recorded.
CExportStage* RenderingStage(CLumoModule& module, CExportStage* stage) {
    return stage && NumberParam(module, LUMO_PARAM_PROCESSED, 0) == 1 ? stage : nullptr;
}

// A black image of the size, format and origin of `shape`; null when it cannot be made.
LumoImagePtr BlackLike(CLumoInstance* lumo, const CLumoImage& shape) {
    LumoImagePtr black = MakeLumoImage(lumo);
    if (!black || black->AllocateFrames(&shape, 1) != 0) // its frame comes zeroed
        return nullptr;
    return black;
}

// True when the module's current type and write mode put every image into one file.
bool WritesOneFile(CLumoModule& module) {
    const uint32_t type = NumberParam(module, LUMO_PARAM_FILE_TYPE, 0);
    const uint32_t propertyA = NumberParam(module, LUMO_PARAM_TYPE_SINGLE, type);
    const uint32_t propertyB = NumberParam(module, LUMO_PARAM_TYPE_MULTI, type);
    const uint32_t mode = NumberParam(module, LUMO_PARAM_WRITE_MODE, 0);
    return mode == 1 ? propertyB != 0 : propertyA == 0;
}

// The file name the module writes to now; empty when it does not read.
std::string ChosenName(CLumoModule& module) {
    std::vector<char> chosen(NAME_ROOM, 0);
    return module.GetParam(LUMO_PARAM_FILE_NAME, LumoArg(chosen.data()), chosen.size()) == 0
               ? std::string(chosen.data())
               : std::string();
}

// The file module's text for its last failure ("cannot write NAME: reason") on `log`.
void LogWriterFailure(CDebugSink* log, CLumoModule& module, bool single) {
    std::vector<char> text(NAME_ROOM + 256, 0);
    if (module.GetParam(LUMO_PARAM_LAST_ERROR, LumoArg(text.data()), text.size()) != 0 ||
        text[0] == 0)
        return; // a module without the text, or a failure that was not the writer's
    if (single)
        KAVRIN_LOG(log, 0, "CSequenceBase::SaveImageThread", "%s", text.data());
    else
        KAVRIN_LOG(log, 0, "CSequenceBase::SaveSequenceThread", "%s", text.data());
}

// Why `check` failed, as the sequence keeps it for the document.
std::string VerifyFailureText(const RecordingCheck& check, const std::string& file) {
    if (check.noReader)
        return "the image library did not make a file reader";
    if (check.readError != 0) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%08X", check.readError);
        return "cannot read " + check.readErrorFile + " (" + code + ")";
    }
    if (check.noRecord)
        return file + " has no frame record";
    return check.BadFramesText();
}

} // namespace

std::string CSequenceBase::GetVerifyFailure() const {
    platform::MutexLock lock(m_verifyLock);
    return m_verifyFailure;
}

void CSequenceBase::SetVerifyFailure(const std::string& text) {
    platform::MutexLock lock(m_verifyLock);
    m_verifyFailure = text;
}

uint32_t CSequenceBase::VerifySaved(const std::string& firstFile, uint64_t n, bool single) {
    Notify(SEQ_NOTIFY_SAVE_START, static_cast<int64_t>(n), false);
    const RecordingCheck check = CheckRecording(
        m_pLumo, firstFile,
        [this](uint64_t position) {
            Notify(SEQ_NOTIFY_SAVE_STEP, static_cast<int64_t>(position), false);
            return !StopEvent().IsSet();
        },
        n); // an older, longer series beyond the saved files is not this save's
    if (check.aborted)
        return SEQ_RESULT_ABORTED;
    if (check.Passed())
        return 0;
    const std::string text = VerifyFailureText(check, firstFile);
    SetVerifyFailure(text);
    if (single)
        KAVRIN_LOG(GetLog(), 0, "CSequenceBase::SaveImageThread", "verification failed: %s",
                   text.c_str());
    else
        KAVRIN_LOG(GetLog(), 0, "CSequenceBase::SaveSequenceThread", "verification failed: %s",
                   text.c_str());
    return SEQ_RESULT_VERIFY_FAILED;
}

bool CSequenceBase::StartSave(ThreadEntry entry) {
    m_bSaveBusy.store(true);
    if (StartThread(entry))
        return true;
    m_bSaveBusy.store(false);
    return false;
}

bool CSequenceBase::SaveSequence(void* parentWindow, uint64_t first, uint64_t count) {
    if (IsThreadRunning() || !m_fileModule)
        return false;
    if (!AskForFileName(m_fileModule.get(), parentWindow, "Save sequence"))
        return false;
    m_ullSaveFirst = first;
    m_ullSaveCount = count;
    return StartSave(&CSequenceBase::SaveSequenceThreadProc);
}

bool CSequenceBase::SaveImage(void* parentWindow, uint64_t index) {
    if (IsThreadRunning() || !m_fileModule)
        return false;
    StopThread();
    if (!AskForFileName(m_fileModule.get(), parentWindow, "Save image"))
        return false;
    m_ullSaveIndex = index;
    return StartSave(&CSequenceBase::SaveImageThreadProc);
}

bool CSequenceBase::SaveSequenceToFile(const char* fileName, uint64_t first, uint64_t count) {
    if (IsThreadRunning() || !m_fileModule)
        return false;
    if (m_fileModule->SetParam(LUMO_PARAM_FILE_NAME, LumoArg(fileName), 0) != 0)
        return false;
    m_ullSaveFirst = first;
    m_ullSaveCount = count;
    return StartSave(&CSequenceBase::SaveSequenceThreadProc);
}

uint32_t CSequenceBase::SaveSequenceThread() {
    (void)WriteRange(m_ullSaveFirst, m_ullSaveCount); // notification 5 carries the result
    m_bSaveBusy.store(false);
    return 0;
}

uint32_t CSequenceBase::SaveImageThread() {
    (void)WriteSingleImage(m_ullSaveIndex); // notification 5 carries the result
    m_bSaveBusy.store(false);
    return 0;
}

void CSequenceBase::MarkAsOurs(CLumoImage* work) {
    // An image object takes every attribute.
    (void)work->SetAttribute(2, MAKER);
    (void)work->SetAttribute(3, GetName());
    (void)work->SetAttribute(4, PROGRAM);
}

uint32_t CSequenceBase::CopyAndWrite(uint64_t index, CLumoImage* work, SavedRecord& record,
                                     uint64_t position) {
    CExportStage* stage = RenderingStage(*m_fileModule, GetExportStage());
    if (!stage) {
        // The frame is copied and written under the sequence mutex: a grab cannot reuse its
        // buffer between the two.
        CSequenceLock lock(*this);
        if (!CopyValidToImage(index, work, 1, 1))
            return SEQ_RESULT_COPY_FAILED;
        record.Stamp(position, *work);
        return m_fileModule->Execute(0);
    }
    bool lost = false;
    {
        CSequenceLock lock(*this);
        if (!CopyValidToImage(index, work, 1, 1))
            return SEQ_RESULT_COPY_FAILED;
        framerecord::FrameEntry entry;
        lost = GetFrameRecord(index, entry) && entry.lost;
    }
    // The stage takes the chain lock, which comes before the sequence mutex: never with it held.
    CLumoImage* processed = stage->Process(*work);
    if (!processed)
        return SEQ_RESULT_COPY_FAILED;
    // A lost frame stays black in the processed shape: the chain would turn black into what its
    // table or contrast window makes of it.
    LumoImagePtr black;
    if (lost && !(black = BlackLike(m_pLumo, *processed)))
        return SEQ_RESULT_COPY_FAILED;
    CLumoImage* written = black ? black.get() : processed;
    MarkAsOurs(written);
    {
        CSequenceLock lock(*this); // the frame's record is read under the mutex
        record.Stamp(position, *written);
    }
    const ModuleInput input(*m_fileModule, written);
    return m_fileModule->Execute(0);
}

uint32_t CSequenceBase::WriteImages(uint64_t first, uint64_t n, bool oneFile, CLumoImage* work,
                                    SavedRecord& record) {
    std::string base, extension;
    uint32_t rc = 0;
    if (!oneFile) {
        std::vector<char> chosen(NAME_ROOM, 0);
        rc = m_fileModule->GetParam(LUMO_PARAM_FILE_NAME, LumoArg(chosen.data()), chosen.size());
        seriesname::Split(chosen.data(), base, extension);
    }
    for (uint64_t k = 0; rc == 0 && k < n; ++k) {
        if (!oneFile) {
            // A name not taken would write over the previous file.
            const std::string name = seriesname::NumberedName(base, k, extension);
            rc = m_fileModule->SetParam(LUMO_PARAM_FILE_NAME, LumoArg(name.c_str()), 0);
            if (rc != 0)
                break;
        }
        rc = CopyAndWrite(first + k, work, record, k);
        if (rc != 0)
            break;
        Notify(SEQ_NOTIFY_SAVE_STEP, static_cast<int64_t>(k), false);
        if (StopEvent().IsSet())
            rc = SEQ_RESULT_ABORTED;
    }
    if (oneFile && (rc == 0 || rc == SEQ_RESULT_ABORTED)) {
        // Finishing the file flushes it to the disk and gives it its name: an abort keeps the
        // pages written so far. A failure there is the save's failure, after an abort too: the
        // file the abort would have kept is not there then.
        const uint32_t finished = m_fileModule->SetParam(LUMO_PARAM_WRITE_MODE, 1, 1);
        if (finished != 0)
            rc = finished;
    } else if (oneFile) {
        // A failed save drops its file; the file that had the name before stays. Dropping
        // cannot fail in a way that matters more than the failure that ended the save.
        (void)m_fileModule->SetParam(LUMO_PARAM_WRITE_MODE, 2, 1);
    } else if (!record.Finish(NumberParam(*m_fileModule, LUMO_PARAM_FILE_TYPE, 0),
                              seriesname::NumberedName(base, 0, extension)) &&
               rc == 0) {
        rc = LUMO_E_FILEWRITE;
    }
    return rc;
}

uint32_t CSequenceBase::WriteRange(uint64_t first, uint64_t count) {
    return RunSave(first, count, false);
}

uint32_t CSequenceBase::WriteSingleImage(uint64_t index) {
    return RunSave(index, 1, true);
}

uint32_t CSequenceBase::RunSave(uint64_t first, uint64_t count, bool single) {
    if (!m_pLumo)
        return 0;
    const LumoImagePtr work = MakeLumoImage(m_pLumo);
    if (!work) {
        Notify(SEQ_NOTIFY_SAVE_END, 0, false);
        return 0;
    }
    uint32_t rc = 0;
    SetVerifyFailure({});
    const uint64_t images = GetImageCount();
    if (m_fileModule && first < images) {
        const uint64_t n = std::min(count, images - first);
        Notify(SEQ_NOTIFY_SAVE_START, static_cast<int64_t>(n), false);
        MarkAsOurs(work.get());
        SavedRecord record(*this, first, n);
        std::string firstFile; // what the verification reads from
        if (single) {
            const ModuleInput input(*m_fileModule, work.get());
            rc = CopyAndWrite(first, work.get(), record, 0);
            // One image of the multi-page type is a file of its own: finished now (it takes its
            // name only then), or dropped after a failure.
            if (NumberParam(*m_fileModule, LUMO_PARAM_WRITE_MODE, 0) == 0) {
                const uint32_t finished =
                    m_fileModule->SetParam(LUMO_PARAM_WRITE_MODE, rc == 0 ? 1 : 2, 1);
                if (rc == 0)
                    rc = finished;
            }
            if (rc == 0)
                Notify(SEQ_NOTIFY_SAVE_STEP, 0, false);
            if (rc == 0 && !record.Finish(NumberParam(*m_fileModule, LUMO_PARAM_FILE_TYPE, 0),
                                          ChosenName(*m_fileModule)))
                rc = LUMO_E_FILEWRITE;
            firstFile = ChosenName(*m_fileModule);
        } else {
            const bool oneFile = WritesOneFile(*m_fileModule);
            firstFile = FirstWrittenFile(ChosenName(*m_fileModule),
                                         NumberParam(*m_fileModule, LUMO_PARAM_FILE_TYPE, 0));
            const ModuleInput input(*m_fileModule, work.get());
            rc = WriteImages(first, n, oneFile, work.get(), record);
        }
        if (rc == 0 && NumberParam(*m_fileModule, LUMO_PARAM_VERIFY, 0) == 1)
            rc = VerifySaved(firstFile, n, single);
    }
    if (rc != 0 && !single)
        KAVRIN_LOG(GetLog(), 0, "CSequenceBase::SaveSequenceThread", "saving ended with 0x%08X",
                   rc);
    if (rc != 0 && m_fileModule)
        LogWriterFailure(GetLog(), *m_fileModule, single);
    Notify(SEQ_NOTIFY_SAVE_END, SignExtended(rc), false);
    return rc;
}
