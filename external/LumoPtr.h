// Owning pointers for the objects the image library's instance hands out. The deleter holds
// the instance that made the object and the kind it was made with, so the object goes back to
// its own instance through DeleteImage or DeleteModule exactly once.
//
//   LumoImagePtr frames = MakeLumoImage(instance);   // null without an instance
//   LumoModulePtr file = MakeLumoModule(instance, LUMO_ID_FILE_WRITER);
#pragma once

#include "external/LumoInstance.h"

#include <cstdint>
#include <memory>

// Gives an image or region object back to the instance with its kind.
struct LumoObjectDeleter {
    CLumoInstance* instance = nullptr;
    uint32_t kind = CLumoObject::KIND_IMAGE;
    void operator()(CLumoObject* object) const {
        if (instance && object)
            instance->DeleteImage(kind, object);
    }
};

// Gives a module back to the instance.
struct LumoModuleDeleter {
    CLumoInstance* instance = nullptr;
    void operator()(CLumoModule* module) const {
        if (instance && module)
            instance->DeleteModule(module);
    }
};

using LumoImagePtr = std::unique_ptr<CLumoImage, LumoObjectDeleter>;
using LumoRegionPtr = std::unique_ptr<CLumoRegion, LumoObjectDeleter>;
using LumoModulePtr = std::unique_ptr<CLumoModule, LumoModuleDeleter>;

// A new empty image object of `instance`; null without an instance or when it refuses.
[[nodiscard]] inline LumoImagePtr MakeLumoImage(CLumoInstance* instance) {
    return LumoImagePtr(instance ? instance->CreateImageObject() : nullptr,
                        LumoObjectDeleter{instance, CLumoObject::KIND_IMAGE});
}

// A new empty region object of `instance`; null without an instance or when it refuses.
[[nodiscard]] inline LumoRegionPtr MakeLumoRegion(CLumoInstance* instance) {
    return LumoRegionPtr(instance ? instance->CreateRegionObject() : nullptr,
                         LumoObjectDeleter{instance, CLumoObject::KIND_REGION});
}

// A new module of object ID `objectId`; null without an instance or such a module.
[[nodiscard]] inline LumoModulePtr MakeLumoModule(CLumoInstance* instance, uint32_t objectId) {
    return LumoModulePtr(instance ? instance->CreateModule(objectId) : nullptr,
                         LumoModuleDeleter{instance});
}
