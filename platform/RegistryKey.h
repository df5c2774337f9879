// An open key of the settings store: an owned handle, closed by its destructor.
#pragma once

#include "platform/RegistryTypes.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

class RegistryStore;

class RegistryKey {
public:
    RegistryKey() = default;
    RegistryKey(std::shared_ptr<RegistryStore> store, int64_t id);
    RegistryKey(RegistryKey&& other) noexcept;
    RegistryKey& operator=(RegistryKey&& other) noexcept;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey();

    bool IsOpen() const { return m_store != nullptr; }
    void Close();

    // `path` names a key below this one, levels separated by backslashes; "" is this key.
    // CreateSubKey creates the missing levels (one transaction); OpenSubKey only opens.
    [[nodiscard]] RegStatus CreateSubKey(const char* path, RegistryKey& out) const;
    [[nodiscard]] RegStatus OpenSubKey(const char* path, RegistryKey& out) const;
    // CreateSubKey when `create` is set, else OpenSubKey.
    [[nodiscard]] RegStatus SubKey(const char* path, bool create, RegistryKey& out) const;

    [[nodiscard]] RegStatus QueryInfo(uint32_t& subKeys, uint32_t& values) const;
    // The names in case-insensitive order (ASCII letters folded to upper case, then bytes), as
    // the Windows registry lists subkeys; the order is stable while nothing changes.
    [[nodiscard]] RegStatus EnumSubKey(uint32_t index, std::string& name) const;
    [[nodiscard]] RegStatus EnumValue(uint32_t index, std::string& name) const;

    [[nodiscard]] RegStatus QueryValue(const char* name, uint32_t& type,
                                       std::vector<uint8_t>& data) const;
    [[nodiscard]] RegStatus SetValue(const char* name, uint32_t type, const void* data,
                                     size_t len) const;
    [[nodiscard]] RegStatus DeleteValue(const char* name) const;
    // Deletes the key `path` below this one with its values; fails with HasSubKeys when it has
    // subkeys of its own.
    [[nodiscard]] RegStatus DeleteSubKey(const char* path) const;

private:
    std::shared_ptr<RegistryStore> m_store;
    int64_t m_id = 0;
};

} // namespace platform
