#include "processing/CImgProcessChain.h"

#include "external/ImageFormat.h"
#include "external/LumoResult.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <unistd.h>

namespace {

template <typename T>
T ReadField(const uint8_t* block, size_t offset) {
    T value;
    std::memcpy(&value, block + offset, sizeof(T));
    return value;
}

template <typename T>
void WriteField(uint8_t* block, size_t offset, T value) {
    std::memcpy(block + offset, &value, sizeof(T));
}

// 2 to the power of `bits`, as the parameter blocks want it.
double PowerOfTwo(uint32_t bits) {
    double s = 1.0;
    for (uint32_t i = 0; i < bits && i < 64; ++i)
        s *= 2.0;
    return s;
}

constexpr uint32_t GREY_PAIR[2] = {0x000000, 0xFFFFFF};
constexpr uint32_t COLOUR_FIRST = 0xFFFFFF;
constexpr uint32_t COLOUR_SECOND[3] = {0x0000FF, 0x00FF00, 0xFF0000};

// Writes the colours for `imageClass` into a colour block whose first colours start at byte f.
void WriteColours(uint8_t* block, size_t f, uint32_t imageClass, uint32_t green) {
    if (imageClass == ImageFormat::CLASS_GREY) {
        WriteField<uint32_t>(block, f, GREY_PAIR[0]);
        WriteField<uint32_t>(block, f + 16, GREY_PAIR[1]);
    } else if (imageClass == ImageFormat::CLASS_CFA || imageClass == ImageFormat::CLASS_RGB) {
        for (size_t c = 0; c < 3; ++c) {
            WriteField<uint32_t>(block, f + 4 * c, COLOUR_FIRST);
            WriteField<uint32_t>(block, f + 16 + 4 * c, c == 1 ? green : COLOUR_SECOND[c]);
        }
    }
}

void UpdateColourBlock(CLumoModule* module, CLumoImage* image, size_t size, size_t f,
                       uint32_t green = COLOUR_SECOND[1]) {
    uint8_t block[64] = {};
    module->GetParam(13, LumoArg(block), size);
    if (!image)
        return;
    WriteColours(block, f, ImageFormat::ImageClass(image->GetFormat(nullptr)), green);
    module->SetParam(13, LumoArg(block), size);
}

const char* const OPTIONS_TEXT = "Options";

} // namespace

CImgProcessChain::CImgProcessChain(CLumoInstance* instance, CDebugSink* log)
    : m_pLog(log), m_pLumo(instance), m_contents(instance) {
    m_notifyBlock.pfnNotify = &CImgProcessChain::NotifyFunction;
    m_notifyBlock.pContext = this;
    try {
        m_thread = std::thread([this] { UpdateThread(); });
    } catch (const std::system_error&) {
        return; // no thread: thread ID stays 0
    }
    m_startEvent.Wait(-1);
}

CImgProcessChain::~CImgProcessChain() {
    if (m_thread.joinable()) {
        m_queue.Post(MSG_QUIT, 0, 0);
        m_thread.join();
    }
    std::lock_guard<std::recursive_mutex> lock(m_hChainSema);
    m_contents.Destroy();
}

bool CImgProcessChain::PostThreadMessage(uint32_t id, uintptr_t wParam, uintptr_t lParam) {
    if (m_dwThreadId == 0)
        return false;
    m_queue.Post(id, wParam, lParam);
    return true;
}

bool CImgProcessChain::SetBaseImageProvider(BaseImageProvider provider, void* context) {
    return PostThreadMessage(MSG_SET_PROVIDER, reinterpret_cast<uintptr_t>(provider),
                             LumoArg(context));
}

bool CImgProcessChain::SetReadyCallback(ReadyCallback callback, void* context) {
    return PostThreadMessage(MSG_SET_READY, reinterpret_cast<uintptr_t>(callback),
                             LumoArg(context));
}

void CImgProcessChain::UpdateThread() {
    m_dwThreadId = static_cast<uint32_t>(gettid());
    m_startEvent.Set();
    if (m_pLog)
        m_pLog->Log(1, "UpdateThread started!");
    for (;;) {
        const platform::Message message = m_queue.Get();
        switch (message.id) {
        case MSG_SET_PROVIDER:
            m_pfnProvider = reinterpret_cast<BaseImageProvider>(message.wParam);
            m_pProviderContext = reinterpret_cast<void*>(message.lParam);
            break;
        case MSG_SET_READY:
            m_pfnReady = reinterpret_cast<ReadyCallback>(message.wParam);
            m_pReadyContext = reinterpret_cast<void*>(message.lParam);
            break;
        case MSG_UPDATE:
            HandleUpdate(message.wParam);
            break;
        case MSG_ANALYZE:
            HandleAnalyze();
            break;
        case MSG_QUIT:
            if (m_pLog)
                m_pLog->Log(1, "CImgProcessChain::UpdateThread: Thread is about to terminate");
            return;
        default:
            break;
        }
    }
}

void CImgProcessChain::HandleUpdate(uintptr_t eraseFlag) {
    if (!m_pfnProvider || !m_pfnReady)
        return;
    if (m_pLog)
        m_pLog->Log(1, "CImgProcessChain::UpdateThread: received Update image request");
    // Requests queued meanwhile are answered by this one run; the newest erase flag counts.
    while (auto queued = m_queue.TakeQueued(MSG_UPDATE)) {
        if (m_pLog)
            m_pLog->Log(1, "Removing superflous update message");
        eraseFlag = queued->wParam;
    }
    if (m_pLog)
        m_pLog->Log(1, "Mutex = %p", static_cast<void*>(&m_hChainSema));
    {
        std::lock_guard<std::recursive_mutex> lock(m_hChainSema);
        if (m_pLog)
            m_pLog->Log(1, "CImgProcessChain::UpdateThread: calling InitBaseImgProc");
        CLumoImage* raw = m_pfnProvider(m_pProviderContext);
        CLumoImage* result = raw;
        if (m_contents.m_modules.empty()) {
            if (m_pLog)
                m_pLog->Log(1, "CImgProcessChain::UpdateThread: empty chain");
        } else {
            if (m_pLog)
                m_pLog->Log(1,
                            "CImgProcessChain::UpdateThread: initializing first image for chain");
            CLumoModule* first = m_contents.m_modules.front().module;
            CLumoImage* images[2] = {raw, first->GetImage(1)};
            first->SetImages(2, images);
            if (m_pLog)
                m_pLog->Log(1, "CImgProcessChain::UpdateThread: calling Process()");
            result = Process() ? m_contents.m_images.back() : nullptr;
        }
        m_pfnReady(m_pReadyContext, result, eraseFlag != 0);
    }
    m_queue.Post(MSG_ANALYZE, 0, 0);
}

void CImgProcessChain::HandleAnalyze() {
    if (!m_pfnProvider)
        return;
    std::lock_guard<std::recursive_mutex> lock(m_hChainSema);
    if (m_contents.m_analyzeGroup.empty() || m_nAnalyzeSource > m_contents.m_images.size())
        return;
    CLumoImage* source = m_nAnalyzeSource == 0 ? m_pfnProvider(m_pProviderContext)
                                               : m_contents.m_images[m_nAnalyzeSource - 1];
    for (CLumoModule* module : m_contents.m_analyzeGroup) {
        CLumoImage* images[1] = {source};
        module->SetImages(1, images);
        module->Execute(CLumoModule::EXECUTE_ANALYSE);
    }
}

bool CImgProcessChain::Process() {
    for (size_t i = 0; i < m_contents.m_modules.size(); ++i) {
        CLumoModule* module = m_contents.m_modules[i].module;
        if (module->Execute(CLumoModule::EXECUTE_PROCESS) != LUMO_OK) {
            if (m_pLog)
                m_pLog->Log(1, "CImgProcessChain::Process ERROR: module index = %llu, ObjID = %u",
                            static_cast<unsigned long long>(i), module->GetObjectId());
            return false;
        }
    }
    return true;
}

CLumoModule* CImgProcessChain::AppendChainModule(ChainContents& contents, uint32_t id,
                                                 CLumoImage* input) {
    const char* name = m_pLumo->GetModuleName(id, 0);
    CLumoModule* module = m_pLumo->CreateModule(id);
    if (!module)
        return nullptr;
    contents.m_modules.push_back(ChainModuleEntry{name ? name : "", module});
    CLumoImage* output = AsLumoImage(m_pLumo->CreateImage(CLumoObject::KIND_IMAGE, 0));
    if (!output)
        return nullptr;
    contents.m_images.push_back(output);
    module->SetParam(LUMO_PARAM_LOG, LumoArg(m_pLog), 0);
    CLumoImage* images[2] = {input, output};
    module->SetImages(2, images);
    module->SetParam(LUMO_PARAM_NOTIFY, LumoArg(&m_notifyBlock), sizeof(m_notifyBlock));
    return module;
}

void CImgProcessChain::AppendModuleDialogs(ChainContents& contents, CLumoModule* module,
                                           uint64_t index, uint32_t chainFlag) {
    uint64_t count = 0;
    if (module->QueryParam(LUMO_PARAM_DIALOGS, 0, LumoArg(&count), 0, 0) != LUMO_OK)
        return;
    for (uint64_t d = 0; d < count && d < 0x10000; ++d) {
        LumoDialogInfo info{};
        if (module->GetParam(LUMO_PARAM_DIALOGS, static_cast<uintptr_t>(d), LumoArg(&info)) !=
            LUMO_OK)
            continue;
        contents.m_dialogs.push_back(
            ChainDialogEntry{module, index, d, chainFlag, 0, info.dialogId});
    }
}

void CImgProcessChain::Commit(ChainContents& contents, uint32_t primaryClass,
                              uint64_t analyzeSource, const ChainClient& view) {
    // Main-chain dialogs first, then those of the analyze group.
    std::stable_partition(contents.m_dialogs.begin(), contents.m_dialogs.end(),
                          [](const ChainDialogEntry& e) { return e.chainFlag == 1; });
    m_contents.Replace(contents);
    m_dwPrimaryClass = primaryClass;
    m_nAnalyzeSource = analyzeSource;
    m_client = view;
}

bool CImgProcessChain::BuildDefault(uint32_t primaryClass, const uint32_t* objectIds,
                                    uint64_t count, uint32_t analyzeObjectId,
                                    const ChainClient& view, CLumoImage* firstImage) {
    if (!m_pLumo || (count > 0 && !objectIds))
        return false;
    std::lock_guard<std::recursive_mutex> lock(m_hChainSema);
    ChainContents contents(m_pLumo);
    CLumoImage* input = firstImage;
    for (uint64_t i = 0; i < count; ++i) {
        CLumoModule* module = AppendChainModule(contents, objectIds[i], input);
        if (!module)
            return false;
        AppendModuleDialogs(contents, module, i, 1);
        if (!PrepareOutput(module))
            return false;
        input = contents.m_images.back();
        AdaptToInput(module);
    }
    CLumoModule* analyze = m_pLumo->CreateModule(analyzeObjectId);
    if (!analyze)
        return false;
    contents.m_analyzeGroup.push_back(analyze);
    CLumoImage* images[1] = {firstImage};
    analyze->SetImages(1, images);
    SetOptions(analyze, firstImage);
    analyze->SetParam(LUMO_PARAM_NOTIFY, LumoArg(&m_notifyBlock), sizeof(m_notifyBlock));
    AppendModuleDialogs(contents, analyze, 0, 0);
    Commit(contents, primaryClass, 0, view);
    return true;
}

void CImgProcessChain::Reset() {
    std::lock_guard<std::recursive_mutex> lock(m_hChainSema);
    m_contents.Destroy();
    m_dwPrimaryClass = 0;
}

bool CImgProcessChain::RefreshInput(CLumoImage* image) {
    std::lock_guard<std::recursive_mutex> lock(m_hChainSema);
    if (m_contents.m_modules.empty())
        return true;
    CLumoModule* first = m_contents.m_modules.front().module;
    CLumoImage* images[2] = {image, first->GetImage(1)};
    first->SetImages(2, images);
    for (const ChainModuleEntry& entry : m_contents.m_modules)
        if (!PrepareOutput(entry.module))
            return false;
    return true;
}

void CImgProcessChain::SetAnalyzeSource(uint64_t index, CLumoImage* rawImage) {
    std::lock_guard<std::recursive_mutex> lock(m_hChainSema);
    if (index > m_contents.m_images.size())
        return;
    m_nAnalyzeSource = index;
    CLumoImage* source = index == 0 ? rawImage : m_contents.m_images[index - 1];
    for (CLumoModule* module : m_contents.m_analyzeGroup)
        SetOptions(module, source);
    PostThreadMessage(MSG_ANALYZE, 0, 0);
}

bool CImgProcessChain::PrepareOutput(CLumoModule* module) {
    const LumoOutputInfo* request = module->GetOutputInfo(0);
    if (!request)
        return false;
    CLumoImage* input = module->GetImage(0);
    CLumoImage* output = module->GetImage(1);
    if (!input || !output)
        return false;
    const uint32_t significant = std::min(request->maxSignificantBits, input->GetSignificantBits());
    const uint32_t container = significant <= 8 ? 8 : significant <= 16 ? 16 : 32;
    const uint32_t imageClass = request->imageClass;
    uint32_t channels = 0;
    uint32_t layout = 0;
    if (imageClass >= 1 && imageClass <= 3)
        channels = 1;
    if (imageClass == ImageFormat::CLASS_RGB) {
        channels = container == 8 ? 4 : 3;
        layout = container == 8 ? 58 : 26;
    }
    const uint64_t format = ImageFormat::Make(container, significant, channels, layout, imageClass);
    if (output->Allocate(request->width, request->height, format, 0, 1) != LUMO_OK)
        return false;
    for (uint32_t n = 2; n <= 4; ++n)
        output->SetAttribute(n, input->GetAttribute(n));
    uint32_t x = 0;
    uint32_t y = 0;
    input->GetOrigin(&x, &y);
    output->SetOrigin(x, y);
    return true;
}

void CImgProcessChain::AdaptToInput(CLumoModule* module) {
    CLumoImage* input = module->GetImage(0);
    if (!input)
        return;
    const uint32_t imageClass = ImageFormat::ImageClass(input->GetFormat(nullptr));
    const uint32_t bits = input->GetSignificantBits();
    if (module->GetObjectId() == 32) {
        uint8_t block12[184] = {};
        uint8_t block13[152] = {};
        uint8_t block14[36] = {};
        module->GetParam(12, LumoArg(block12), sizeof(block12));
        module->GetParam(13, LumoArg(block13), sizeof(block13));
        module->GetParam(14, LumoArg(block14), sizeof(block14));
        const uint32_t colourMode = (imageClass >= 1 && imageClass <= 3)   ? 1
                                    : imageClass == ImageFormat::CLASS_RGB ? 3
                                                                           : 0;
        WriteField<uint32_t>(block12, 8, colourMode);
        WriteField<uint32_t>(block12, 12, imageClass);
        const double s = PowerOfTwo(bits);
        WriteField<double>(block13, 24, s);
        WriteField<double>(block13, 88, s);
        WriteField<double>(block13, 56, 1.0 / s);
        module->SetParam(12, LumoArg(block12), sizeof(block12));
        module->SetParam(13, LumoArg(block13), sizeof(block13));
        module->SetParam(14, LumoArg(block14), sizeof(block14));
    } else if (module->GetObjectId() == 96) {
        uint8_t block12[128] = {};
        module->GetParam(12, LumoArg(block12), sizeof(block12));
        WriteField<double>(block12, 16, 0.0);
        WriteField<double>(block12, 24, PowerOfTwo(bits) - 1.0);
        std::memcpy(block12 + 96, "#", 2);
        module->SetParam(12, LumoArg(block12), sizeof(block12));
        module->SetParam(0x600000, 1, 0);
    }
}

void CImgProcessChain::SetOptions(CLumoModule* module, CLumoImage* image) {
    switch (module->GetObjectId()) {
    case 74:
        UpdateColourBlock(module, image, 36, 4);
        break;
    case 73:
        UpdateColourBlock(module, image, 48, 16);
        break;
    case 72:
        UpdateColourBlock(module, image, 56, 20);
        break;
    case 67:
        module->SetParam(16, 0, 0);
        UpdateColourBlock(module, image, 56, 20, 0x00AF00);
        module->SetParam(18, 0, LumoArg(OPTIONS_TEXT));
        module->SetParam(16, 1, 0);
        UpdateColourBlock(module, image, 48, 16);
        break;
    default:
        break;
    }
    module->SetParam(18, 0, LumoArg(OPTIONS_TEXT));
}

uint32_t CImgProcessChain::NotifyFunction(CLumoModule* module, void* context, uint32_t code) {
    auto* chain = static_cast<CImgProcessChain*>(context);
    if (!chain)
        return 1;
    ChainClient client;
    bool found = false;
    {
        std::lock_guard<std::recursive_mutex> lock(chain->m_hChainSema);
        client = chain->m_client;
        for (const ChainDialogEntry& entry : chain->m_contents.m_dialogs)
            if (entry.module == module && entry.dialogId == (code >> 16))
                found = true;
    }
    // The view's callback runs without the chain lock: it may wait for the user-interface thread.
    const uint32_t result =
        client.pfnDialogEvent ? client.pfnDialogEvent(client.pContext, code) : 1;
    const uint32_t event = code & 0xFFFF;
    if (found && result == 1 && event <= 2) {
        std::lock_guard<std::recursive_mutex> lock(chain->m_hChainSema);
        for (ChainDialogEntry& entry : chain->m_contents.m_dialogs)
            if (entry.module == module && entry.dialogId == (code >> 16)) {
                entry.openFlag = 0;
                break;
            }
    }
    return result;
}
