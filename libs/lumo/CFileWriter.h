// The file writer module (object ID 1): writes its input image to image files. Parameters, file
// types and result codes: external/LumoFileModules.h.
//
// Type 1 keeps one multi-page TIFF open from the first Execute until the writing mode is set to
// 1 (or the name or type changes, or the module is deleted); each Execute appends a page. The
// other types write one whole file per Execute, named by parameter 256. Every file is written
// under a temporary name and takes its name once complete (ReplacingFile): a failed write leaves
// the file that had the name before as it was. Setting the writing mode to 2 drops the open
// multi-page file the same way. Parameter 341 (O_DIRECT) applies from the next file opened.
// The video types (5, 6, 7) keep one file open like type 1 (CVideoWriter); the playback rate
// (344) and quality (345) apply from the next video opened.
#pragma once

#include "external/LumoFileModules.h"
#include "libs/lumo/CModuleBase.h"
#include "libs/lumo/CTiffPageWriter.h"
#include "libs/lumo/CVideoWriter.h"

#include <string>

namespace lumo {

class CFileWriter final : public CModuleBase {
public:
    CFileWriter() : CModuleBase(1) {}
    ~CFileWriter() override = default;

    [[nodiscard]] uint32_t SetParam(uint32_t id, uintptr_t a, uintptr_t b) override;
    [[nodiscard]] uint32_t GetParam(uint32_t id, uintptr_t a, uintptr_t b) override;
    [[nodiscard]] uint32_t Execute(uint32_t mode) override;
    [[nodiscard]] uint32_t RunDialog(uint32_t dialogId, void* parentWindow,
                                     uint32_t* pCancelled) override;

private:
    [[nodiscard]] uint32_t Finish();
    // Keeps `error` as the last failure's text when `rc` is a write failure; any other result
    // (success, a layout that cannot be written) clears it. Returns `rc`.
    [[nodiscard]] uint32_t Outcome(uint32_t rc, const std::string& error);

    std::string m_name;
    uint32_t m_type = 1;
    uint32_t m_dialogOptions = 0;
    uint32_t m_dialogHistory = 0;
    bool m_bDirectIo = true;
    bool m_bVerify = false;    // parameter 343, kept for the program that saves
    bool m_bProcessed = false; // parameter 346, kept for the program that saves
    uint32_t m_videoRate = LUMO_VIDEO_RATE_DEFAULT;
    uint32_t m_videoQuality = LUMO_VIDEO_QUALITY_DEFAULT;
    std::string m_lastError;
    CTiffPageWriter m_multiPage;
    CVideoWriter m_video; // the open file of the video types
};

} // namespace lumo
