#include "libs/lumo/CProcessModule.h"

#include "external/LumoNotify.h"
#include "external/LumoResult.h"
#include "libs/lumo/CImageObject.h"
#include "settings/IniFile.h"

#include <cstddef>
#include <cstring>

namespace lumo {

CProcessModule::CProcessModule(uint32_t objectId, const char* dialogTitle)
    : CModuleBase(objectId), m_dialogTitle(dialogTitle) {}

CProcessModule::~CProcessModule() {
    // The dialog goes before the module's state does; closing it raises no event.
    m_dialog.reset();
}

uint32_t CProcessModule::QueryParam(uint32_t id, uintptr_t a, uintptr_t b, uintptr_t c,
                                    uintptr_t d) {
    platform::RecursiveLock lock(m_paramLock);
    if (id == LUMO_PARAM_DIALOGS) {
        if (!b)
            return LUMO_E_INVALIDARG;
        *reinterpret_cast<uint64_t*>(b) = 1;
        return LUMO_OK;
    }
    if (id == PARAM_STORE) {
        if (!d)
            return LUMO_E_INVALIDARG;
        *reinterpret_cast<uint64_t*>(d) = TableCount();
        return LUMO_OK;
    }
    return CModuleBase::QueryParam(id, a, b, c, d);
}

uint32_t CProcessModule::SetParam(uint32_t id, uintptr_t a, uintptr_t b) {
    platform::RecursiveLock lock(m_paramLock);
    switch (id) {
    case LUMO_PARAM_BLOCK12:
    case LUMO_PARAM_BLOCK13:
    case LUMO_PARAM_BLOCK14:
        if (!a)
            return LUMO_E_INVALIDARG;
        return WriteBlock(id, reinterpret_cast<const uint8_t*>(a), b);
    case LUMO_PARAM_TITLE:
        if (!b)
            return LUMO_E_INVALIDARG;
        m_dialogTitle = reinterpret_cast<const char*>(b);
        return LUMO_OK;
    case PARAM_WHERE:
        if (!a)
            return LUMO_E_INVALIDARG;
        m_section = reinterpret_cast<const char*>(a);
        m_bHasKey = b != 0;
        m_key = b ? reinterpret_cast<const char*>(b) : "";
        return LUMO_OK;
    case PARAM_KIND:
        m_kind = static_cast<uint32_t>(a);
        return LUMO_OK;
    case PARAM_EDIT_STATE:
        m_editState = static_cast<uint32_t>(a);
        return LUMO_OK;
    case PARAM_CURSOR:
        m_cursor[0] = static_cast<uint32_t>(a);
        m_cursor[1] = static_cast<uint32_t>(b);
        return LUMO_OK;
    case PARAM_STORE:
        if (!a || m_section.empty())
            return LUMO_E_INVALIDARG;
        return LoadPart(*reinterpret_cast<CIniFile_0*>(a), static_cast<uint32_t>(b));
    case LUMO_PARAM_NOTIFY:
    case LUMO_PARAM_LOG:
    case LUMO_PARAM_ROW_BANDS:
        return CModuleBase::SetParam(id, a, b);
    default:
        return SetOwnParam(id, a, b);
    }
}

uint32_t CProcessModule::GetParam(uint32_t id, uintptr_t a, uintptr_t b) {
    platform::RecursiveLock lock(m_paramLock);
    switch (id) {
    case LUMO_PARAM_BLOCK12:
    case LUMO_PARAM_BLOCK13:
    case LUMO_PARAM_BLOCK14:
        if (!a)
            return LUMO_E_INVALIDARG;
        return ReadBlock(id, reinterpret_cast<uint8_t*>(a), b);
    case LUMO_PARAM_DIALOGS:
        if (a != 0 || !b)
            return LUMO_E_INVALIDARG;
        *reinterpret_cast<LumoDialogInfo*>(b) = LumoDialogInfo{DialogId(), 0};
        return LUMO_OK;
    case LUMO_PARAM_TITLE:
        if (a != DialogId() || !b)
            return LUMO_E_INVALIDARG;
        *reinterpret_cast<const char**>(b) = m_dialogTitle.c_str();
        return LUMO_OK;
    case PARAM_EDIT_STATE:
        if (!a)
            return LUMO_E_INVALIDARG;
        *reinterpret_cast<uint32_t*>(a) = m_editState;
        return LUMO_OK;
    case PARAM_CURSOR:
        if (!a)
            return LUMO_E_INVALIDARG;
        std::memcpy(reinterpret_cast<uint32_t*>(a), m_cursor, sizeof m_cursor);
        return LUMO_OK;
    case PARAM_STORE:
        if (!a || m_section.empty())
            return LUMO_E_INVALIDARG;
        return SavePart(*reinterpret_cast<CIniFile_0*>(a), static_cast<uint32_t>(b), b);
    case LUMO_PARAM_LOG:
    case LUMO_PARAM_ROW_BANDS:
        return CModuleBase::GetParam(id, a, b);
    default:
        return GetOwnParam(id, a, b);
    }
}

uint32_t CProcessModule::Execute(uint32_t mode) {
    if (mode != EXECUTE_PROCESS)
        return LUMO_E_NOTSUPPORTED;
    platform::RecursiveLock lock(m_paramLock);
    // Our own output frame is written from here on, even where the last run handed on its input.
    auto* outImage = dynamic_cast<CImageObject*>(Output());
    if (outImage)
        outImage->EndPassThrough();
    PixelView in;
    PixelView out;
    if (!PixelView::Of(Input(), in) || !PixelView::Of(Output(), out))
        return LUMO_E_NOIMAGE;
    const LumoOutputInfo* info = GetOutputInfo(0);
    // An input that changed its geometry since the output was prepared is refused, not overrun.
    if (!info || out.width != info->width || out.height != info->height ||
        out.imageClass != info->imageClass)
        return LUMO_E_INVALIDARG;
    Output()->SetOrigin(in.originX, in.originY);
    out.originX = in.originX;
    out.originY = in.originY;
    const uint32_t rc = Process(in, out);
    if (rc != SAME_AS_INPUT)
        return rc;
    if (in.container != out.container || in.channels != out.channels)
        return LUMO_E_INVALIDARG;
    auto* inImage = dynamic_cast<CImageObject*>(Input());
    if (!outImage || !inImage || !outImage->PassThrough(*inImage))
        std::memcpy(out.data, in.data, in.Samples() * (in.container / 8));
    return LUMO_OK;
}

const LumoOutputInfo* CProcessModule::GetOutputInfo(uint32_t which) {
    if (which != 0 || !Input() || Input()->GetWidth() == 0)
        return nullptr;
    m_info = LumoOutputInfo{1, Input()->GetWidth(), Input()->GetHeight(), OutputMaxBits(*Input()),
                            OutputClass(*Input())};
    return &m_info;
}

uint32_t CProcessModule::RunDialog(uint32_t dialogId, void* parentWindow, uint32_t* pCancelled) {
    if (pCancelled)
        *pCancelled = 1;
    if (dialogId != DialogId())
        return LUMO_E_INVALIDARG;
    uint32_t cancelled = 1;
    const uint32_t rc = ShowDialog(parentWindow, true, &cancelled);
    if (pCancelled)
        *pCancelled = cancelled;
    return rc;
}

uint32_t CProcessModule::OpenDialog(uint32_t dialogId, void* parentWindow) {
    if (dialogId != DialogId())
        return LUMO_E_INVALIDARG;
    if (m_dialog) {
        const uint32_t rc = ShowModuleDialog(m_dialog.get());
        if (rc != LUMO_E_INVALIDARG)
            return rc;
        m_dialog.reset(); // its parent window took it along
    }
    return ShowDialog(parentWindow, false, nullptr);
}

uint32_t CProcessModule::CloseDialog(uint32_t dialogId) {
    if (dialogId != DialogId())
        return LUMO_E_INVALIDARG;
    const bool wasOpen = IsModuleDialogOpen(m_dialog.get());
    m_dialog.reset();
    if (wasOpen)
        Notify(LUMO_EVENT_DIALOG_CLOSED);
    return LUMO_OK;
}

uint32_t CProcessModule::IsDialogOpen(uint32_t dialogId) const {
    return dialogId == DialogId() && IsModuleDialogOpen(m_dialog.get()) ? 1 : 0;
}

uint32_t CProcessModule::ShowDialog(void* parentWindow, bool modal, uint32_t* pCancelled) {
    std::string title;
    {
        platform::RecursiveLock lock(m_paramLock);
        title = m_dialogTitle;
    }
    const LumoModuleDialogHost host{this,         DialogId(),     title.c_str(),
                                    parentWindow, &OnDialogEvent, this};
    ModuleDialogPtr dialog(OpenModuleDialog(host, modal, pCancelled));
    if (!dialog)
        return LUMO_E_NOTSUPPORTED;
    if (!modal)
        m_dialog = std::move(dialog);
    return LUMO_OK;
}

void CProcessModule::OnDialogEvent(void* context, uint32_t event) {
    if (context)
        static_cast<CProcessModule*>(context)->Notify(event);
}

void CProcessModule::Notify(uint32_t event) {
    LumoNotifyBlock notify{};
    {
        platform::RecursiveLock lock(m_paramLock);
        const std::vector<uint8_t>& block = NotifyBlock();
        if (block.size() < offsetof(LumoNotifyBlock, reserved))
            return;
        std::memcpy(&notify, block.data(), offsetof(LumoNotifyBlock, reserved));
    }
    if (notify.pfnNotify)
        (void)notify.pfnNotify(this, notify.pContext, DialogId() << 16 | (event & 0xFFFF));
    // the notify function's answer only says whether the chain knew the dialog
}

bool CProcessModule::CursorPosition(uint32_t& x, uint32_t& y) const {
    platform::RecursiveLock lock(m_paramLock);
    x = m_cursor[0];
    y = m_cursor[1];
    return x != LUMO_CURSOR_OUTSIDE && y != LUMO_CURSOR_OUTSIDE;
}

uint32_t CProcessModule::OutputClass(const CLumoImage& input) const {
    return ImageFormat::ImageClass(input.GetFormat(nullptr));
}

uint32_t CProcessModule::OutputMaxBits(const CLumoImage&) const {
    return 16;
}

uint32_t CProcessModule::ReadBlock(uint32_t, uint8_t*, size_t) {
    return LUMO_E_NOTSUPPORTED;
}

uint32_t CProcessModule::WriteBlock(uint32_t, const uint8_t*, size_t) {
    return LUMO_E_NOTSUPPORTED;
}

uint32_t CProcessModule::LoadPart(CIniFile_0& store, uint32_t part) {
    if (part == 2)
        m_editState = store.GetUInt32(Section(), "EditState", m_editState);
    return part <= 2 ? LUMO_OK : LUMO_E_INVALIDARG;
}

uint32_t CProcessModule::SavePart(CIniFile_0& store, uint32_t part, uint64_t) {
    if (part == 2)
        return store.SetUInt32(Section(), "EditState", m_editState) == INI_OK ? LUMO_OK
                                                                              : LUMO_E_INVALIDARG;
    return part <= 2 ? LUMO_OK : LUMO_E_INVALIDARG;
}

uint32_t CProcessModule::SetOwnParam(uint32_t, uintptr_t, uintptr_t) {
    return LUMO_E_NOTSUPPORTED;
}

uint32_t CProcessModule::GetOwnParam(uint32_t, uintptr_t, uintptr_t) {
    return LUMO_E_NOTSUPPORTED;
}

} // namespace lumo
