// The file reader module (object ID 2): reads one image file, or one frame of a multi-frame
// file, into its input image. Parameters, recognised files and result codes:
// external/LumoFileModules.h. GetOutputInfo reports the chosen file's frame count (the other
// fields are 0); it is null when the file cannot be opened or is not an image file.
#pragma once

#include "libs/lumo/CModuleBase.h"
#include "libs/lumo/CTiffFileReader.h"
#include "libs/lumo/CVideoReader.h"

#include <string>

namespace lumo {

class CFileReader final : public CModuleBase {
public:
    static constexpr uint64_t DEFAULT_FRAME_LIMIT = 1ull << 30;

    CFileReader() : CModuleBase(2) {}
    ~CFileReader() override = default;

    [[nodiscard]] uint32_t SetParam(uint32_t id, uintptr_t a, uintptr_t b) override;
    [[nodiscard]] uint32_t GetParam(uint32_t id, uintptr_t a, uintptr_t b) override;
    [[nodiscard]] uint32_t Execute(uint32_t mode) override;
    [[nodiscard]] uint32_t RunDialog(uint32_t dialogId, void* parentWindow,
                                     uint32_t* pCancelled) override;
    const LumoOutputInfo* GetOutputInfo(uint32_t which) override;

private:
    enum class Kind { Tiff, Png, Bmp, Pnm, Video };
    // Recognises the file by its first bytes; LUMO_OK and `kind`, or the open/format error.
    [[nodiscard]] uint32_t Identify(Kind& kind) const;
    [[nodiscard]] uint32_t OpenTiff();
    [[nodiscard]] uint32_t OpenVideo();

    std::string m_name;
    uint32_t m_filter = 1;
    uint64_t m_frame = 0;
    uint64_t m_frameLimit = DEFAULT_FRAME_LIMIT;
    CTiffFileReader m_tiff;
    CVideoReader m_video;
    LumoOutputInfo m_info{};
};

} // namespace lumo
