#include "libs/lumo/CModuleRegistry.h"

#include "libs/lumo/CModuleBase.h"

namespace lumo {

bool CModuleRegistry::Register(uint32_t objectId, const char* name, ModuleFactory factory) {
    if (!factory || Find(objectId))
        return false;
    m_entries.push_back(Entry{objectId, name ? name : "", factory});
    return true;
}

const CModuleRegistry::Entry* CModuleRegistry::Find(uint32_t objectId) const {
    for (const Entry& entry : m_entries)
        if (entry.objectId == objectId)
            return &entry;
    return nullptr;
}

const char* CModuleRegistry::NameOf(uint32_t objectId) const {
    const Entry* entry = Find(objectId);
    return entry ? entry->name.c_str() : nullptr;
}

std::unique_ptr<CModuleBase> CModuleRegistry::Create(uint32_t objectId) const {
    const Entry* entry = Find(objectId);
    return entry ? entry->factory() : nullptr;
}

} // namespace lumo
