#include "libs/lumo/CFileReader.h"

#include "external/LumoFileModules.h"
#include "external/LumoResult.h"
#include "libs/lumo/BmpFile.h"
#include "libs/lumo/FileDialog.h"
#include "libs/lumo/FileNameParam.h"
#include "libs/lumo/LumoImageFrame.h"
#include "libs/lumo/PngFile.h"
#include "libs/lumo/PnmFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace lumo {

uint32_t CFileReader::SetParam(uint32_t id, uintptr_t a, uintptr_t b) {
    switch (id) {
    case LUMO_PARAM_FILE_NAME:
        m_tiff.Close();
        m_video.Close();
        m_name = a ? reinterpret_cast<const char*>(a) : "";
        m_frame = 0;
        return LUMO_OK;
    case LUMO_PARAM_FILE_TYPE:
        m_filter = static_cast<uint32_t>(a);
        return LUMO_OK;
    case LUMO_PARAM_FRAME:
        m_frame = a;
        return LUMO_OK;
    case LUMO_PARAM_FRAME_LIMIT:
        m_frameLimit = a ? static_cast<uint64_t>(a) : DEFAULT_FRAME_LIMIT;
        m_tiff.Close();
        m_video.Close();
        return LUMO_OK;
    default:
        return CModuleBase::SetParam(id, a, b);
    }
}

uint32_t CFileReader::GetParam(uint32_t id, uintptr_t a, uintptr_t b) {
    if (id == LUMO_PARAM_FILE_NAME)
        return CopyFileNameOut(m_name, a, b);
    if (id == LUMO_PARAM_DAMAGE) {
        Kind kind;
        const bool known = Identify(kind) == LUMO_OK;
        if (known && kind == Kind::Tiff && OpenTiff() == LUMO_OK)
            return CopyFileNameOut(m_tiff.Damage(), a, b);
        if (known && kind == Kind::Video && OpenVideo() == LUMO_OK)
            return CopyFileNameOut(m_video.Damage(), a, b);
        return CopyFileNameOut(std::string(), a, b);
    }
    if (id == LUMO_PARAM_FILE_TYPE || id == LUMO_PARAM_FRAME || id == LUMO_PARAM_FRAME_LIMIT) {
        if (!a)
            return LUMO_E_INVALIDARG;
        if (id == LUMO_PARAM_FILE_TYPE)
            *reinterpret_cast<uint32_t*>(a) = m_filter;
        else
            *reinterpret_cast<uint64_t*>(a) = id == LUMO_PARAM_FRAME ? m_frame : m_frameLimit;
        return LUMO_OK;
    }
    return CModuleBase::GetParam(id, a, b);
}

uint32_t CFileReader::Identify(Kind& kind) const {
    if (m_name.empty())
        return LUMO_E_FILENOTFOUND;
    const int fd = ::open(m_name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? LUMO_E_FILENOTFOUND : LUMO_E_FILEREAD;
    uint8_t head[12] = {};
    ssize_t got;
    do {
        got = ::read(fd, head, sizeof head);
    } while (got < 0 && errno == EINTR);
    ::close(fd);
    if (got < 0)
        return LUMO_E_FILEREAD;
    if (got >= 4 &&
        ((head[0] == 'I' && head[1] == 'I' && (head[2] == 42 || head[2] == 43) && head[3] == 0) ||
         (head[0] == 'M' && head[1] == 'M' && head[2] == 0 && (head[3] == 42 || head[3] == 43)))) {
        kind = Kind::Tiff;
        return LUMO_OK;
    }
    if (got >= 8 && std::memcmp(head, "\x89PNG\r\n\x1a\n", 8) == 0) {
        kind = Kind::Png;
        return LUMO_OK;
    }
    if (got >= 2 && head[0] == 'B' && head[1] == 'M') {
        kind = Kind::Bmp;
        return LUMO_OK;
    }
    if (got >= 2 && head[0] == 'P' && (head[1] == '5' || head[1] == '6')) {
        kind = Kind::Pnm;
        return LUMO_OK;
    }
    // Matroska (EBML), MP4 ("ftyp" box first), AVI (RIFF of form "AVI ").
    if ((got >= 4 && std::memcmp(head, "\x1A\x45\xDF\xA3", 4) == 0) ||
        (got >= 8 && std::memcmp(head + 4, "ftyp", 4) == 0) ||
        (got >= 12 && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "AVI ", 4) == 0)) {
        kind = Kind::Video;
        return LUMO_OK;
    }
    return LUMO_E_FILEFORMAT;
}

uint32_t CFileReader::OpenVideo() {
    if (m_video.IsOpen() && m_video.Path() == m_name)
        return LUMO_OK;
    return m_video.Open(m_name, m_frameLimit);
}

uint32_t CFileReader::OpenTiff() {
    if (m_tiff.IsOpen() && m_tiff.Path() == m_name)
        return LUMO_OK;
    return m_tiff.Open(m_name, m_frameLimit);
}

const LumoOutputInfo* CFileReader::GetOutputInfo(uint32_t which) {
    if (which != 0)
        return nullptr;
    Kind kind;
    if (Identify(kind) != LUMO_OK)
        return nullptr;
    m_info = LumoOutputInfo{};
    m_info.frameCount = 1;
    if (kind == Kind::Tiff) {
        if (OpenTiff() != LUMO_OK)
            return nullptr;
        m_info.frameCount = m_tiff.PageCount();
    }
    if (kind == Kind::Video) {
        if (OpenVideo() != LUMO_OK)
            return nullptr;
        m_info.frameCount = m_video.FrameCount();
    }
    return &m_info;
}

uint32_t CFileReader::Execute(uint32_t mode) {
    if (mode != EXECUTE_PROCESS)
        return LUMO_E_NOTSUPPORTED;
    CLumoImage* image = Input();
    if (!image)
        return LUMO_E_INVALIDARG;
    Kind kind;
    if (const uint32_t rc = Identify(kind); rc != LUMO_OK)
        return rc;
    CLumoImageTarget target(*image);
    if (kind == Kind::Tiff) {
        if (const uint32_t rc = OpenTiff(); rc != LUMO_OK)
            return rc;
        if (m_frame >= m_tiff.PageCount())
            return LUMO_E_INVALIDARG;
        return m_tiff.ReadPage(m_frame, target);
    }
    if (kind == Kind::Video) {
        if (const uint32_t rc = OpenVideo(); rc != LUMO_OK)
            return rc;
        return m_video.ReadFrame(m_frame, target);
    }
    if (m_frame != 0)
        return LUMO_E_INVALIDARG;
    switch (kind) {
    case Kind::Png:
        return ReadPngFile(m_name, m_frameLimit, target);
    case Kind::Bmp:
        return ReadBmpFile(m_name, m_frameLimit, target);
    default:
        return ReadPnmFile(m_name, m_frameLimit, target);
    }
}

uint32_t CFileReader::RunDialog(uint32_t dialogId, void* parentWindow, uint32_t* pCancelled) {
    if (pCancelled)
        *pCancelled = 1;
    if (dialogId != 0)
        return LUMO_E_INVALIDARG;
    FileDialogRequest request;
    const char* title = nullptr;
    // With an out pointer the title always reads; null means none was set.
    (void)CModuleBase::GetParam(LUMO_PARAM_TITLE, 0, LumoArg(&title));
    request.title = title ? title : "Open";
    request.name = m_name;
    request.parent = parentWindow;
    uint32_t cancelled = 1;
    uint32_t rc = RunFileDialog(request, &cancelled);
    if (rc == LUMO_OK && cancelled == 0)
        rc = SetParam(LUMO_PARAM_FILE_NAME, LumoArg(request.name.c_str()), 0);
    if (pCancelled)
        *pCancelled = cancelled;
    return rc;
}

} // namespace lumo
