#include "libs/lumo/CLumoInstanceImpl.h"

#include "libs/lumo/CImageObject.h"
#include "libs/lumo/CModuleBase.h"
#include "libs/lumo/CRegionObject.h"
#include "libs/lumo/FramePool.h"

#include <memory>

namespace lumo {

CLumoInstanceImpl::~CLumoInstanceImpl() {
    for (CLumoModule* module : m_modules)
        delete static_cast<CModuleBase*>(module);
    for (CLumoObject* object : m_objects)
        Destroy(object);
    FramePool::Get().Release(); // frame memory kept for reuse goes back to the system
}

uint32_t CLumoInstanceImpl::Init(const char* /*folder*/, const char* /*pattern*/,
                                 uint32_t /*flags*/) {
    // Plug-in modules are not loaded; the folder and pattern only name where they would be.
    platform::MutexLock lock(m_mutex);
    if (!m_bInitialised) {
        RegisterBuiltinModules(m_registry);
        m_bInitialised = true;
    }
    return 0;
}

const char* CLumoInstanceImpl::GetModuleName(uint32_t objectId, uint32_t /*reserved*/) {
    platform::MutexLock lock(m_mutex);
    return m_registry.NameOf(objectId);
}

CLumoModule* CLumoInstanceImpl::CreateModule(uint32_t objectId) {
    platform::MutexLock lock(m_mutex);
    std::unique_ptr<CModuleBase> module = m_registry.Create(objectId);
    if (!module)
        return nullptr;
    m_modules.insert(module.get());
    return module.release();
}

void CLumoInstanceImpl::DeleteModule(CLumoModule* module) {
    platform::MutexLock lock(m_mutex);
    if (module && m_modules.erase(module) == 1) // foreign or already deleted: ignored
        delete static_cast<CModuleBase*>(module);
}

CLumoObject* CLumoInstanceImpl::CreateImage(uint32_t kind, uint32_t /*reserved*/) {
    std::unique_ptr<CLumoObject, void (*)(CLumoObject*)> object(nullptr, &Destroy);
    if (kind == CLumoObject::KIND_IMAGE)
        object.reset(new CImageObject());
    else if (kind == CLumoObject::KIND_REGION)
        object.reset(new CRegionObject());
    else
        return nullptr;
    platform::MutexLock lock(m_mutex);
    m_objects.insert(object.get());
    return object.release();
}

void CLumoInstanceImpl::DeleteImage(uint32_t kind, CLumoObject* object) {
    platform::MutexLock lock(m_mutex);
    if (!object || object->GetKind() != kind) // a wrong kind is refused, the object stays
        return;
    if (m_objects.erase(object) == 1)
        Destroy(object);
}

void CLumoInstanceImpl::Destroy(CLumoObject* object) {
    if (!object)
        return;
    if (object->GetKind() == CLumoObject::KIND_IMAGE)
        delete static_cast<CImageObject*>(object);
    else
        delete static_cast<CRegionObject*>(object);
}

} // namespace lumo
