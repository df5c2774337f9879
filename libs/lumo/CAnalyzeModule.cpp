#include "libs/lumo/CAnalyzeModule.h"

#include "external/LumoResult.h"

#include <algorithm>
#include <cstring>

namespace lumo {

namespace {
constexpr size_t MAX_COLOUR_BLOCK = 256;
}

CAnalyzeModule::CAnalyzeModule(uint32_t objectId, const char* title)
    : CProcessModule(objectId, title) {}

uint32_t CAnalyzeModule::Execute(uint32_t mode) {
    if (mode != EXECUTE_ANALYSE)
        return LUMO_E_NOTSUPPORTED;
    platform::RecursiveLock lock(ParamLock());
    PixelView in;
    if (!PixelView::Of(Input(), in))
        return LUMO_E_NOIMAGE;
    return Analyse(in);
}

const LumoOutputInfo* CAnalyzeModule::GetOutputInfo(uint32_t) {
    return nullptr;
}

uint32_t CAnalyzeModule::QueryParam(uint32_t id, uintptr_t a, uintptr_t b, uintptr_t c,
                                    uintptr_t d) {
    if (id != PARAM_RESULT)
        return CProcessModule::QueryParam(id, a, b, c, d);
    if (!b || !c)
        return LUMO_E_INVALIDARG;
    *reinterpret_cast<uint64_t*>(b) = m_channels;
    *reinterpret_cast<uint64_t*>(c) = m_channels ? ValuesPerChannel() : 0;
    return LUMO_OK;
}

uint32_t CAnalyzeModule::AnalysedChannels(const PixelView& in) {
    return in.imageClass == ImageFormat::CLASS_RGB ? std::min(in.channels, 3u) : in.channels;
}

uint32_t CAnalyzeModule::Process(const PixelView&, PixelView&) {
    return LUMO_E_NOTSUPPORTED;
}

uint32_t CAnalyzeModule::ReadBlock(uint32_t id, uint8_t* block, size_t size) {
    if (id != LUMO_PARAM_BLOCK13)
        return LUMO_E_NOTSUPPORTED;
    const std::vector<uint8_t>& stored = m_colourBlocks[Kind() ? 1 : 0];
    std::memset(block, 0, size);
    if (!stored.empty())
        std::memcpy(block, stored.data(), std::min(size, stored.size()));
    return LUMO_OK;
}

uint32_t CAnalyzeModule::WriteBlock(uint32_t id, const uint8_t* block, size_t size) {
    if (id != LUMO_PARAM_BLOCK13)
        return LUMO_E_NOTSUPPORTED;
    if (size > MAX_COLOUR_BLOCK)
        return LUMO_E_INVALIDARG;
    m_colourBlocks[Kind() ? 1 : 0].assign(block, block + size);
    return LUMO_OK;
}

uint32_t CAnalyzeModule::SetOwnParam(uint32_t id, uintptr_t a, uintptr_t b) {
    if (id == PARAM_OPTIONS)
        return b ? LUMO_OK : LUMO_E_INVALIDARG; // the colours are taken as they were set
    return CProcessModule::SetOwnParam(id, a, b);
}

uint32_t CAnalyzeModule::GetOwnParam(uint32_t id, uintptr_t a, uintptr_t b) {
    if (id != PARAM_RESULT)
        return CProcessModule::GetOwnParam(id, a, b);
    if (a >= m_channels || !b)
        return LUMO_E_INVALIDARG;
    CopyResult(static_cast<uint32_t>(a), reinterpret_cast<void*>(b));
    return LUMO_OK;
}

} // namespace lumo
