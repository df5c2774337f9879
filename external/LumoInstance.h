// The image library's instance: the one object libLumoInst.so's export CreateLumoInstance
// hands out. Every image object, region object and process module comes from it and goes back
// to it. Its operations may be called from any thread.
#pragma once

#include "external/LumoImage.h"
#include "external/LumoModule.h"

#include <cstdint>

class CLumoInstance {
public:
    // Registers the library's built-in modules. The program calls Init(".", "Pem*.dll", 1);
    // folder and pattern name where plug-in modules would be found (none are loaded).
    [[nodiscard]] virtual uint32_t Init(const char* folder, const char* pattern,
                                        uint32_t flags) = 0;
    // Display name of the module with object ID `objectId` (library-owned text), null when no
    // such module is registered. `reserved` is 0.
    virtual const char* GetModuleName(uint32_t objectId, uint32_t reserved) = 0;
    // A new module of object ID `objectId`, or null when none is registered.
    [[nodiscard]] virtual CLumoModule* CreateModule(uint32_t objectId) = 0;
    virtual void DeleteModule(CLumoModule* module) = 0;
    // kind CLumoObject::KIND_IMAGE (0): an empty image object; KIND_REGION (1): an empty region.
    // `reserved` is 0. Null for any other kind.
    [[nodiscard]] virtual CLumoObject* CreateImage(uint32_t kind, uint32_t reserved) = 0;
    // Destroys an object this instance made, with the kind it was made with. Null, a wrong kind
    // and objects of another instance are ignored.
    virtual void DeleteImage(uint32_t kind, CLumoObject* object) = 0;

    [[nodiscard]] CLumoImage* CreateImageObject() {
        return AsLumoImage(CreateImage(CLumoObject::KIND_IMAGE, 0));
    }
    [[nodiscard]] CLumoRegion* CreateRegionObject() {
        return AsLumoRegion(CreateImage(CLumoObject::KIND_REGION, 0));
    }

protected:
    virtual ~CLumoInstance() = default;
};

// The two exports of libLumoInst.so (C linkage), looked up by name at run time.
using PFN_CreateLumoInstance = CLumoInstance* (*)();
using PFN_DeleteLumoInstance = void (*)(CLumoInstance*);
