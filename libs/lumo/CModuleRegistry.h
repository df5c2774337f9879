// The module types the library offers, by object ID: a display name and a factory each.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

namespace lumo {

class CModuleBase;

using ModuleFactory = std::unique_ptr<CModuleBase> (*)();

class CModuleRegistry {
public:
    // Adds a module type; false (and nothing changes) when the ID is taken or the factory null.
    [[nodiscard]] bool Register(uint32_t objectId, const char* name, ModuleFactory factory);
    // The registered name (owned by the registry), null for an unknown ID.
    const char* NameOf(uint32_t objectId) const;
    // A new module, null for an unknown ID.
    std::unique_ptr<CModuleBase> Create(uint32_t objectId) const;
    size_t Count() const { return m_entries.size(); }

private:
    struct Entry {
        uint32_t objectId;
        std::string name;
        ModuleFactory factory;
    };
    const Entry* Find(uint32_t objectId) const;

    std::deque<Entry> m_entries; // deque: names stay where they are when types are added
};

// Registers every module type built into the library. Called once by the instance's Init.
void RegisterBuiltinModules(CModuleRegistry& registry);

} // namespace lumo
