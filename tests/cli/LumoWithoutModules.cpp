// An image library whose instance makes no module and no image object: what kavrin says when
// the library it loaded cannot give it a file reader.
#include "external/LumoInstance.h"

namespace {

class EmptyInstance final : public CLumoInstance {
public:
    uint32_t Init(const char*, const char*, uint32_t) override { return 0; }
    const char* GetModuleName(uint32_t, uint32_t) override { return nullptr; }
    CLumoModule* CreateModule(uint32_t) override { return nullptr; }
    void DeleteModule(CLumoModule*) override {}
    CLumoObject* CreateImage(uint32_t, uint32_t) override { return nullptr; }
    void DeleteImage(uint32_t, CLumoObject*) override {}
};

} // namespace

extern "C" __attribute__((visibility("default"))) CLumoInstance* CreateLumoInstance() {
    static EmptyInstance instance;
    return &instance;
}

extern "C" __attribute__((visibility("default"))) void DeleteLumoInstance(CLumoInstance*) {}
