// What the processing modules share beyond CModuleBase: the output request the chain prepares
// outputs by, one dialog with its title, parameter blocks 12-14, and settings persistence:
//   15 (section, key or null)  where the next load or save goes
//   16 (kind)                  table kind (the look-up-table module; others keep it)
//   17 Set (store, part) loads, Get (store, part or table index) saves; a store is a CIniFile_0*
//   21 Set (value) / Get (uint32_t* out): the edit state the module's dialog keeps (settings piece
//   #2)
//   22 Set (x, y) / Get (uint32_t[2]* out): the image position under the mouse (0xFFFFFFFF,
//   0xFFFFFFFF outside the image)
//
// Threads: the update thread runs Execute under the chain lock while the module's dialog, on the
// UI thread, reads and changes parameters. Execute, SetParam, GetParam and QueryParam therefore
// hold the module's parameter lock (recursive): the lock order is chain lock, then module lock.
// The notify function is never called with the module lock held (it takes the chain lock).
// The dialog (Qt) lives in libLumoDialog.so, which is loaded only in a process that runs a
// QApplication: OpenDialog, CloseDialog, IsDialogOpen and RunDialog belong to the UI thread;
// elsewhere OpenDialog and RunDialog fail with LUMO_E_NOTSUPPORTED. A module destroyed with its
// dialog open closes the dialog first (without an event).
#pragma once

#include "external/LumoParamBlocks.h"
#include "libs/lumo/CModuleBase.h"
#include "libs/lumo/ModuleDialogLoader.h"
#include "libs/lumo/PixelView.h"
#include "platform/ThreadAnnotations.h"

#include <string>

class CIniFile_0;

namespace lumo {

class CProcessModule : public CModuleBase {
public:
    CProcessModule(uint32_t objectId, const char* dialogTitle);
    ~CProcessModule() override;

    [[nodiscard]] uint32_t QueryParam(uint32_t id, uintptr_t a, uintptr_t b, uintptr_t c,
                                      uintptr_t d) override;
    [[nodiscard]] uint32_t SetParam(uint32_t id, uintptr_t a, uintptr_t b) override;
    [[nodiscard]] uint32_t GetParam(uint32_t id, uintptr_t a, uintptr_t b) override;
    [[nodiscard]] uint32_t Execute(uint32_t mode) override;
    const LumoOutputInfo* GetOutputInfo(uint32_t which) override;
    // The module's dialog (DialogId()); other IDs are refused with LUMO_E_INVALIDARG. A second
    // OpenDialog of an open dialog raises it. CloseDialog of an open dialog raises event 2.
    [[nodiscard]] uint32_t RunDialog(uint32_t dialogId, void* parentWindow,
                                     uint32_t* pCancelled) override;
    [[nodiscard]] uint32_t OpenDialog(uint32_t dialogId, void* parentWindow) override;
    [[nodiscard]] uint32_t CloseDialog(uint32_t dialogId) override;
    uint32_t IsDialogOpen(uint32_t dialogId) const override;

    static constexpr uint32_t PARAM_WHERE = LUMO_PARAM_WHERE;
    static constexpr uint32_t PARAM_KIND = LUMO_PARAM_KIND;
    static constexpr uint32_t PARAM_STORE = LUMO_PARAM_STORE;
    static constexpr uint32_t PARAM_EDIT_STATE = LUMO_PARAM_EDIT_STATE;
    static constexpr uint32_t PARAM_CURSOR = LUMO_PARAM_CURSOR;

    uint32_t DialogId() const { return GetObjectId() << 8 | 1; }

protected:
    // Held by Execute and the parameter calls; modules that override them take it too.
    platform::RecursiveMutex& ParamLock() const KAVRIN_RETURN_CAPABILITY(m_paramLock) {
        return m_paramLock;
    }
    // The image position under the mouse; false when the mouse is outside the image.
    [[nodiscard]] bool CursorPosition(uint32_t& x, uint32_t& y) const;
    // The class and most significant bits of the output for this input.
    virtual uint32_t OutputClass(const CLumoImage& input) const;
    virtual uint32_t OutputMaxBits(const CLumoImage& input) const;
    // Execute (0) with input and output checked: both exist, have frames, and the output has
    // the prepared geometry. Returns LUMO_OK, an error code, or SAME_AS_INPUT when the output
    // equals the input sample for sample (same container and channels) and nothing was written:
    // the input is then handed on without a copy where the images allow it.
    [[nodiscard]] virtual uint32_t Process(const PixelView& in, PixelView& out) = 0;
    static constexpr uint32_t SAME_AS_INPUT = 1; // never returned by Execute
    // Parameter blocks 12, 13, 14 (`size` bytes); LUMO_E_NOTSUPPORTED when the module has none.
    [[nodiscard]] virtual uint32_t ReadBlock(uint32_t id, uint8_t* block, size_t size);
    [[nodiscard]] virtual uint32_t WriteBlock(uint32_t id, const uint8_t* block, size_t size);
    // Persistence of one settings piece into/out of `store` at Section()/Key(). Pieces #0 and #1 go
    // to the INI file store, piece #2 (edit state) to the registry store.
    [[nodiscard]] virtual uint32_t LoadPart(CIniFile_0& store, uint32_t part);
    [[nodiscard]] virtual uint32_t SavePart(CIniFile_0& store, uint32_t part, uint64_t index);
    virtual uint64_t TableCount() const { return 0; }
    // Any other parameter; LUMO_E_NOTSUPPORTED by default.
    [[nodiscard]] virtual uint32_t SetOwnParam(uint32_t id, uintptr_t a, uintptr_t b);
    [[nodiscard]] virtual uint32_t GetOwnParam(uint32_t id, uintptr_t a, uintptr_t b);

    const char* Section() const { return m_section.c_str(); }
    // The key set with parameter 15, null for the module's own keys.
    const char* Key() const { return m_bHasKey ? m_key.c_str() : nullptr; }
    uint32_t Kind() const { return m_kind; }
    // An opaque value the module's dialog keeps between sessions (settings piece #2, "EditState").
    uint32_t m_editState = 0;

private:
    // The module's dialog raised `event`; `context` is the module.
    static void OnDialogEvent(void* context, uint32_t event);
    // Hands event `event` of the module's dialog to the notify function, without the module
    // lock held.
    void Notify(uint32_t event) KAVRIN_EXCLUDES(m_paramLock);
    [[nodiscard]] uint32_t ShowDialog(void* parentWindow, bool modal, uint32_t* pCancelled);

    mutable platform::RecursiveMutex m_paramLock;
    uint32_t m_cursor[2] KAVRIN_GUARDED_BY(m_paramLock) = {LUMO_CURSOR_OUTSIDE,
                                                           LUMO_CURSOR_OUTSIDE};
    // The modeless dialog, once opened (also while the user has closed it). UI thread.
    ModuleDialogPtr m_dialog;
    std::string m_dialogTitle;
    std::string m_section;
    std::string m_key;
    bool m_bHasKey = false;
    uint32_t m_kind = 0;
    LumoOutputInfo m_info{};
};

} // namespace lumo
