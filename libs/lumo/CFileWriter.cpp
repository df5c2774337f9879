#include "libs/lumo/CFileWriter.h"

#include "external/LumoFileModules.h"
#include "external/LumoResult.h"
#include "libs/lumo/BmpFile.h"
#include "libs/lumo/FileDialog.h"
#include "libs/lumo/FileNameParam.h"
#include "libs/lumo/LumoImageFrame.h"
#include "libs/lumo/PngFile.h"

namespace lumo {

namespace {

bool IsType(uintptr_t type) {
    return type >= 1 && type <= LUMO_FILE_TYPE_COUNT;
}

// Whether `type` writes every image into one file: the multi-page TIFF and the videos.
bool WritesOneFile(uintptr_t type) {
    return type == LUMO_FILE_MULTI_TIFF || LumoFileTypeIsVideo(static_cast<uint32_t>(type));
}

} // namespace

uint32_t CFileWriter::Finish() {
    if (m_video.IsOpen())
        return Outcome(m_video.Close(), m_video.LastError());
    if (!m_multiPage.IsOpen())
        return LUMO_OK;
    return Outcome(m_multiPage.Close(), m_multiPage.LastError());
}

uint32_t CFileWriter::Outcome(uint32_t rc, const std::string& error) {
    m_lastError = rc == LUMO_E_FILEWRITE ? error : std::string();
    return rc;
}

uint32_t CFileWriter::SetParam(uint32_t id, uintptr_t a, uintptr_t b) {
    switch (id) {
    case LUMO_PARAM_FILE_NAME: {
        const uint32_t rc = Finish();
        m_name = a ? reinterpret_cast<const char*>(a) : "";
        return rc;
    }
    case LUMO_PARAM_FILE_TYPE:
        if (!IsType(a))
            return LUMO_E_INVALIDARG;
        if (a != m_type) {
            const uint32_t rc = Finish();
            m_type = static_cast<uint32_t>(a);
            return rc;
        }
        return LUMO_OK;
    case LUMO_PARAM_WRITE_MODE:
        if (a == 2) {
            m_multiPage.Discard(); // the failure that led here stays the last error
            m_video.Discard();
            return LUMO_OK;
        }
        return a == 1 ? Finish() : LUMO_E_INVALIDARG;
    case LUMO_PARAM_DIRECT_IO:
        if (a > 1)
            return LUMO_E_INVALIDARG;
        m_bDirectIo = a == 1;
        return LUMO_OK;
    case LUMO_PARAM_VERIFY:
        if (a > 1)
            return LUMO_E_INVALIDARG;
        m_bVerify = a == 1;
        return LUMO_OK;
    case LUMO_PARAM_VIDEO_RATE:
        if (a < 100 || a > 1000000)
            return LUMO_E_INVALIDARG;
        m_videoRate = static_cast<uint32_t>(a);
        return LUMO_OK;
    case LUMO_PARAM_VIDEO_QUALITY:
        if (a > 51)
            return LUMO_E_INVALIDARG;
        m_videoQuality = static_cast<uint32_t>(a);
        return LUMO_OK;
    case LUMO_PARAM_PROCESSED:
        if (a > 1)
            return LUMO_E_INVALIDARG;
        m_bProcessed = a == 1;
        return LUMO_OK;
    case LUMO_PARAM_DIALOG_OPTIONS:
        m_dialogOptions = static_cast<uint32_t>(a);
        return LUMO_OK;
    case LUMO_PARAM_DIALOG_HISTORY:
        m_dialogHistory = static_cast<uint32_t>(a);
        return LUMO_OK;
    default:
        return CModuleBase::SetParam(id, a, b);
    }
}

uint32_t CFileWriter::GetParam(uint32_t id, uintptr_t a, uintptr_t b) {
    auto put = [a](uint32_t value) {
        if (!a)
            return LUMO_E_INVALIDARG;
        *reinterpret_cast<uint32_t*>(a) = value;
        return LUMO_OK;
    };
    switch (id) {
    case LUMO_PARAM_FILE_NAME:
        return CopyFileNameOut(m_name, a, b);
    case LUMO_PARAM_FILE_TYPE:
        return put(m_type);
    case LUMO_PARAM_WRITE_MODE:
        return put(m_multiPage.IsOpen() || m_video.IsOpen() ? 0 : 1);
    case LUMO_PARAM_LAST_ERROR:
        return CopyFileNameOut(m_lastError, a, b);
    case LUMO_PARAM_DIRECT_IO:
        return put(m_bDirectIo ? 1 : 0);
    case LUMO_PARAM_VERIFY:
        return put(m_bVerify ? 1 : 0);
    case LUMO_PARAM_DIALOG_OPTIONS:
        return put(m_dialogOptions);
    case LUMO_PARAM_DIALOG_HISTORY:
        return put(m_dialogHistory);
    case LUMO_PARAM_TYPE_SINGLE:
        return IsType(b) ? put(WritesOneFile(b) ? 0 : 1) : LUMO_E_INVALIDARG;
    case LUMO_PARAM_TYPE_MULTI:
        return IsType(b) ? put(WritesOneFile(b) ? 1 : 0) : LUMO_E_INVALIDARG;
    case LUMO_PARAM_VIDEO_RATE:
        return put(m_videoRate);
    case LUMO_PARAM_VIDEO_QUALITY:
        return put(m_videoQuality);
    case LUMO_PARAM_PROCESSED:
        return put(m_bProcessed ? 1 : 0);
    default:
        return CModuleBase::GetParam(id, a, b);
    }
}

uint32_t CFileWriter::Execute(uint32_t mode) {
    if (mode != EXECUTE_PROCESS)
        return LUMO_E_NOTSUPPORTED;
    ImageFileFrame frame;
    if (m_name.empty() || !DescribeImage(Input(), frame))
        return Outcome(LUMO_E_INVALIDARG, {});
    switch (m_type) {
    case LUMO_FILE_MULTI_TIFF:
        if (!m_multiPage.IsOpen()) {
            m_multiPage.SetDirectIo(m_bDirectIo);
            if (const uint32_t rc = m_multiPage.Open(m_name); rc != LUMO_OK)
                return Outcome(rc, m_multiPage.LastError());
        }
        return Outcome(m_multiPage.AppendPage(frame), m_multiPage.LastError());
    case LUMO_FILE_TIFF: {
        CTiffPageWriter single;
        single.SetDirectIo(m_bDirectIo);
        uint32_t rc = single.Open(m_name);
        if (rc == LUMO_OK)
            rc = single.AppendPage(frame);
        if (rc == LUMO_OK)
            rc = single.Close();
        else
            single.Discard();
        return Outcome(rc, single.LastError());
    }
    case LUMO_FILE_PNG: {
        std::string error;
        const uint32_t rc = WritePngFile(m_name, frame, &error);
        return Outcome(rc, error);
    }
    case LUMO_FILE_BMP: {
        std::string error;
        const uint32_t rc = WriteBmpFile(m_name, frame, &error);
        return Outcome(rc, error);
    }
    case LUMO_FILE_MP4:
    case LUMO_FILE_MKV:
    case LUMO_FILE_AVI:
        if (!m_video.IsOpen()) {
            const uint32_t rc = m_video.Open(m_name, m_type, m_videoRate, m_videoQuality, frame);
            if (rc != LUMO_OK)
                return Outcome(rc, m_video.LastError());
        }
        return Outcome(m_video.Append(frame), m_video.LastError());
    default:
        return LUMO_E_INVALIDARG;
    }
}

uint32_t CFileWriter::RunDialog(uint32_t dialogId, void* parentWindow, uint32_t* pCancelled) {
    if (pCancelled)
        *pCancelled = 1;
    if (dialogId != 0)
        return LUMO_E_INVALIDARG;
    FileDialogRequest request;
    request.save = true;
    const char* title = nullptr;
    // With an out pointer the title always reads; null means none was set.
    (void)CModuleBase::GetParam(LUMO_PARAM_TITLE, 0, LumoArg(&title));
    request.title = title ? title : "Save";
    request.type = m_type;
    request.name = m_name;
    request.verify = m_bVerify;
    request.processed = m_bProcessed;
    request.videoRate = m_videoRate;
    request.videoQuality = m_videoQuality;
    request.parent = parentWindow;
    uint32_t cancelled = 1;
    const uint32_t rc = RunFileDialog(request, &cancelled);
    if (rc == LUMO_OK && cancelled == 0) {
        // The dialog reports its own outcome. The file it ends holds every page appended so
        // far whatever the close says: each page is linked into the file once it is written.
        (void)Finish();
        m_name = request.name;
        m_type = request.type;
        m_bVerify = request.verify;
        m_bProcessed = request.processed;
        // The dialog keeps its values in range; the parameters' own checks apply all the same.
        (void)SetParam(LUMO_PARAM_VIDEO_RATE, request.videoRate, 0);
        (void)SetParam(LUMO_PARAM_VIDEO_QUALITY, request.videoQuality, 0);
    }
    if (pCancelled)
        *pCancelled = cancelled;
    return rc;
}

} // namespace lumo
