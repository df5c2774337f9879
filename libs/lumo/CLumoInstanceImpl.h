// The library instance: makes and destroys every object the library hands out.
#pragma once

#include "external/LumoInstance.h"
#include "libs/lumo/CModuleRegistry.h"
#include "platform/ThreadAnnotations.h"

#include <unordered_set>

namespace lumo {

class CLumoInstanceImpl final : public CLumoInstance {
public:
    CLumoInstanceImpl() = default;
    // Objects still alive are destroyed with the instance: none can outlive the library's code.
    ~CLumoInstanceImpl() override;
    CLumoInstanceImpl(const CLumoInstanceImpl&) = delete;
    CLumoInstanceImpl& operator=(const CLumoInstanceImpl&) = delete;

    [[nodiscard]] uint32_t Init(const char* folder, const char* pattern, uint32_t flags) override;
    const char* GetModuleName(uint32_t objectId, uint32_t reserved) override;
    [[nodiscard]] CLumoModule* CreateModule(uint32_t objectId) override;
    void DeleteModule(CLumoModule* module) override;
    [[nodiscard]] CLumoObject* CreateImage(uint32_t kind, uint32_t reserved) override;
    void DeleteImage(uint32_t kind, CLumoObject* object) override;

private:
    static void Destroy(CLumoObject* object);

    platform::Mutex m_mutex;
    bool m_bInitialised KAVRIN_GUARDED_BY(m_mutex) = false;
    CModuleRegistry m_registry KAVRIN_GUARDED_BY(m_mutex);
    std::unordered_set<CLumoModule*> m_modules KAVRIN_GUARDED_BY(m_mutex);
    std::unordered_set<CLumoObject*> m_objects KAVRIN_GUARDED_BY(m_mutex);
};

} // namespace lumo
