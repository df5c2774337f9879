#include "libs/lumo/CModuleBase.h"

#include "external/LumoResult.h"

namespace lumo {

namespace {

constexpr uintptr_t MAX_NOTIFY_BLOCK = 4096;

} // namespace

uint32_t CModuleBase::SetImages(uint32_t count, CLumoImage* const* images) {
    if (!images) {
        m_pInput = nullptr;
        m_pOutput = nullptr;
        return LUMO_OK;
    }
    if (count == 1) {
        m_pInput = images[0];
        return LUMO_OK;
    }
    if (count == 2) {
        m_pInput = images[0];
        m_pOutput = images[1];
        return LUMO_OK;
    }
    return LUMO_E_INVALIDARG;
}

CLumoImage* CModuleBase::GetImage(uint32_t which) const {
    return which == 0 ? m_pInput : which == 1 ? m_pOutput : nullptr;
}

uint32_t CModuleBase::QueryParam(uint32_t id, uintptr_t, uintptr_t b, uintptr_t, uintptr_t) {
    if (id == LUMO_PARAM_DIALOGS) {
        if (!b)
            return LUMO_E_INVALIDARG;
        *reinterpret_cast<uint64_t*>(b) = 0;
        return LUMO_OK;
    }
    return LUMO_E_NOTSUPPORTED;
}

uint32_t CModuleBase::SetParam(uint32_t id, uintptr_t a, uintptr_t b) {
    switch (id) {
    case LUMO_PARAM_LOG:
        m_pLog = reinterpret_cast<CDebugSink*>(a);
        return LUMO_OK;
    case LUMO_PARAM_NOTIFY: {
        if (b > MAX_NOTIFY_BLOCK || (b != 0 && a == 0))
            return LUMO_E_INVALIDARG;
        const uint8_t* block = reinterpret_cast<const uint8_t*>(a);
        m_notifyBlock.assign(block, block + b);
        return LUMO_OK;
    }
    case LUMO_PARAM_ROW_BANDS:
        m_pRowBands = reinterpret_cast<CRowBands*>(a);
        return LUMO_OK;
    case LUMO_PARAM_TITLE:
        if (b)
            m_title = reinterpret_cast<const char*>(b);
        else
            m_title.reset();
        return LUMO_OK;
    default:
        return LUMO_E_NOTSUPPORTED;
    }
}

uint32_t CModuleBase::GetParam(uint32_t id, uintptr_t a, uintptr_t b) {
    switch (id) {
    case LUMO_PARAM_LOG:
        if (!a)
            return LUMO_E_INVALIDARG;
        *reinterpret_cast<CDebugSink**>(a) = m_pLog;
        return LUMO_OK;
    case LUMO_PARAM_ROW_BANDS:
        if (!a)
            return LUMO_E_INVALIDARG;
        *reinterpret_cast<CRowBands**>(a) = m_pRowBands;
        return LUMO_OK;
    case LUMO_PARAM_TITLE:
        if (!b)
            return LUMO_E_INVALIDARG;
        *reinterpret_cast<const char**>(b) = m_title ? m_title->c_str() : nullptr;
        return LUMO_OK;
    case LUMO_PARAM_DIALOGS:
        return LUMO_E_INVALIDARG; // no dialog has that index
    default:
        return LUMO_E_NOTSUPPORTED;
    }
}

uint32_t CModuleBase::Execute(uint32_t) {
    return LUMO_E_NOTSUPPORTED;
}

uint32_t CModuleBase::RunDialog(uint32_t, void*, uint32_t* pCancelled) {
    if (pCancelled)
        *pCancelled = 1;
    return LUMO_E_NOTSUPPORTED;
}

uint32_t CModuleBase::OpenDialog(uint32_t, void*) {
    return LUMO_E_NOTSUPPORTED;
}

uint32_t CModuleBase::CloseDialog(uint32_t) {
    return LUMO_E_NOTSUPPORTED;
}

uint32_t CModuleBase::IsDialogOpen(uint32_t) const {
    return 0;
}

const LumoOutputInfo* CModuleBase::GetOutputInfo(uint32_t) {
    return nullptr;
}

} // namespace lumo
