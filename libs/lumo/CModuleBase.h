// What every process module of the library shares: its object ID, its images, its log sink and
// notification block, and "not offered" answers for everything a module does not override.
// A module type derives from it and registers a factory with the module registry.
#pragma once

#include "external/LumoModule.h"
#include "external/RowBands.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class CDebugSink;

namespace lumo {

class CModuleBase : public CLumoModule {
public:
    explicit CModuleBase(uint32_t objectId) : m_objectId(objectId) {}
    ~CModuleBase() override = default;
    CModuleBase(const CModuleBase&) = delete;
    CModuleBase& operator=(const CModuleBase&) = delete;

    uint32_t GetObjectId() const override { return m_objectId; }
    [[nodiscard]] uint32_t SetImages(uint32_t count, CLumoImage* const* images) override;
    CLumoImage* GetImage(uint32_t which) const override;
    // LUMO_PARAM_DIALOGS: no dialogs. Anything else: not offered.
    [[nodiscard]] uint32_t QueryParam(uint32_t id, uintptr_t a, uintptr_t b, uintptr_t c,
                                      uintptr_t d) override;
    // LUMO_PARAM_NOTIFY, LUMO_PARAM_LOG, LUMO_PARAM_TITLE and LUMO_PARAM_ROW_BANDS are kept;
    // anything else: not offered.
    [[nodiscard]] uint32_t SetParam(uint32_t id, uintptr_t a, uintptr_t b) override;
    // LUMO_PARAM_LOG reads the sink back (a = CDebugSink** out), LUMO_PARAM_ROW_BANDS the workers
    // (a = CRowBands** out); LUMO_PARAM_TITLE the title (null when none was set);
    // LUMO_PARAM_DIALOGS has no entries; anything else: not offered.
    [[nodiscard]] uint32_t GetParam(uint32_t id, uintptr_t a, uintptr_t b) override;
    [[nodiscard]] uint32_t Execute(uint32_t mode) override;
    [[nodiscard]] uint32_t RunDialog(uint32_t dialogId, void* parentWindow,
                                     uint32_t* pCancelled) override;
    [[nodiscard]] uint32_t OpenDialog(uint32_t dialogId, void* parentWindow) override;
    [[nodiscard]] uint32_t CloseDialog(uint32_t dialogId) override;
    uint32_t IsDialogOpen(uint32_t dialogId) const override;
    const LumoOutputInfo* GetOutputInfo(uint32_t which) override;

protected:
    CDebugSink* Log() const { return m_pLog; }
    // The workers the kernels split their frames over; null: the calling thread alone.
    CRowBands* RowBands() const { return m_pRowBands; }
    CLumoImage* Input() const { return m_pInput; }
    CLumoImage* Output() const { return m_pOutput; }
    const std::vector<uint8_t>& NotifyBlock() const { return m_notifyBlock; }

private:
    const uint32_t m_objectId;
    CLumoImage* m_pInput = nullptr;
    CLumoImage* m_pOutput = nullptr;
    CDebugSink* m_pLog = nullptr;
    CRowBands* m_pRowBands = nullptr;
    std::vector<uint8_t> m_notifyBlock;
    std::optional<std::string> m_title;
};

} // namespace lumo
