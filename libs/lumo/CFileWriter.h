// The file writer module (object ID 1): writes its input image to image files. Parameters, file
// types and result codes: external/LumoFileModules.h.
//
// Type 1 keeps one multi-page TIFF open from the first Execute until the writing mode is set to
// 1 (or the name or type changes, or the module is deleted); each Execute appends a page. The
// other types write one whole file per Execute, named by parameter 256.
#pragma once

#include "libs/lumo/CModuleBase.h"
#include "libs/lumo/CTiffPageWriter.h"

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

    std::string m_name;
    uint32_t m_type = 1;
    uint32_t m_dialogOptions = 0;
    uint32_t m_dialogHistory = 0;
    CTiffPageWriter m_multiPage;
};

} // namespace lumo
