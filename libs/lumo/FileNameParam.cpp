#include "libs/lumo/FileNameParam.h"

#include "external/LumoResult.h"

#include <cstring>

namespace lumo {

uint32_t CopyFileNameOut(const std::string& name, uintptr_t a, uintptr_t size) {
    if (!a || size < name.size() + 1)
        return LUMO_E_INVALIDARG;
    std::memcpy(reinterpret_cast<char*>(a), name.c_str(), name.size() + 1);
    return LUMO_OK;
}

} // namespace lumo
