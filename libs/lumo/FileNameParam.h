// Hands a file module's file name out through GetParam(256, buffer, size).
#pragma once

#include <cstdint>
#include <string>

namespace lumo {

// Copies `name` and its terminating zero into the buffer `a` of `size` bytes. LUMO_E_INVALIDARG
// without a buffer or when it is too small: a name is never cut.
[[nodiscard]] uint32_t CopyFileNameOut(const std::string& name, uintptr_t a, uintptr_t size);

} // namespace lumo
