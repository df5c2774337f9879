#include "settings/CIniFile_Mem.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr uint64_t kGrowStep = 4096;
}

uint32_t CIniFile_Mem::SetFileName(const char* path) {
    // The argument is the address of the caller's descriptor, not a name.
    m_pDesc = reinterpret_cast<IniMemDescriptor*>(const_cast<char*>(path));
    return 0;
}

uint32_t CIniFile_Mem::Load() {
    if (!m_pDesc || !m_pDesc->pInput)
        return INI_E_OPEN;
    IniMemoryLineSource source(m_pDesc->pInput, m_pDesc->nInputSize);
    return ParseFrom(source);
}

bool CIniFile_Mem::Reserve(uint64_t need) {
    if (m_nUsed + need <= m_nAllocated)
        return true;
    const uint64_t size = m_nUsed + std::max(need, kGrowStep);
    if (size > SIZE_MAX)
        return false;
    char* grown = static_cast<char*>(std::realloc(m_pOut.get(), static_cast<size_t>(size)));
    if (!grown)
        return false;
    (void)m_pOut.release(); // realloc took the old block over
    m_pOut.reset(grown);
    m_nAllocated = size;
    return true;
}

uint32_t CIniFile_Mem::Save() {
    if (!m_pDesc)
        return INI_E_OPEN;
    if (!m_pOut) {
        m_pOut.reset(static_cast<char*>(std::malloc(kGrowStep)));
        if (!m_pOut)
            return INI_E_OPEN;
        m_nAllocated = kGrowStep;
    }
    m_nUsed = 0;
    // Each line needs its text, a line feed and room for the terminating zero.
    const bool written = WriteTo([this](std::string_view line) {
        if (!Reserve(static_cast<uint64_t>(line.size()) + 2))
            return false;
        std::memcpy(m_pOut.get() + m_nUsed, line.data(), line.size());
        m_nUsed += line.size();
        m_pOut.get()[m_nUsed++] = '\n';
        return true;
    });
    if (!written || !Reserve(1)) {
        m_pDesc->pOutput = nullptr;
        m_pDesc->nOutputSize = 0;
        return INI_E_WRITE;
    }
    m_pOut.get()[m_nUsed++] = '\0';
    if (m_nAllocated > m_nUsed) {
        if (char* shrunk = static_cast<char*>(std::realloc(m_pOut.get(), m_nUsed))) {
            (void)m_pOut.release();
            m_pOut.reset(shrunk);
            m_nAllocated = m_nUsed;
        }
    }
    m_pDesc->pOutput = m_pOut.get();
    m_pDesc->nOutputSize = m_nAllocated;
    return 0;
}
