// The two exports of libLumoInst.so.
#include "libs/lumo/CLumoInstanceImpl.h"

#define LUMO_EXPORT extern "C" __attribute__((visibility("default")))

LUMO_EXPORT CLumoInstance* CreateLumoInstance() {
    return new lumo::CLumoInstanceImpl();
}

LUMO_EXPORT void DeleteLumoInstance(CLumoInstance* instance) {
    delete static_cast<lumo::CLumoInstanceImpl*>(instance);
}
