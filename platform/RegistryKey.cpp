#include "platform/RegistryKey.h"

#include "platform/RegistryStore.h"

#include <utility>

namespace platform {

RegistryKey::RegistryKey(std::shared_ptr<RegistryStore> store, int64_t id)
    : m_store(std::move(store)), m_id(id) {}

RegistryKey::RegistryKey(RegistryKey&& other) noexcept
    : m_store(std::move(other.m_store)), m_id(other.m_id) {
    other.m_id = 0;
}

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept {
    if (this != &other) {
        m_store = std::move(other.m_store);
        m_id = other.m_id;
        other.m_id = 0;
    }
    return *this;
}

RegistryKey::~RegistryKey() = default;

void RegistryKey::Close() {
    m_store.reset();
    m_id = 0;
}

RegStatus RegistryKey::CreateSubKey(const char* path, RegistryKey& out) const {
    return SubKey(path, true, out);
}

RegStatus RegistryKey::OpenSubKey(const char* path, RegistryKey& out) const {
    return SubKey(path, false, out);
}

RegStatus RegistryKey::SubKey(const char* path, bool create, RegistryKey& out) const {
    if (!m_store)
        return RegStatus::InvalidArg;
    int64_t id = 0;
    const RegStatus status = m_store->OpenPath(m_id, path, create, id);
    if (status == RegStatus::Ok)
        out = RegistryKey(m_store, id);
    return status;
}

RegStatus RegistryKey::QueryInfo(uint32_t& subKeys, uint32_t& values) const {
    return m_store ? m_store->QueryInfo(m_id, subKeys, values) : RegStatus::InvalidArg;
}

RegStatus RegistryKey::EnumSubKey(uint32_t index, std::string& name) const {
    return m_store ? m_store->EnumSubKey(m_id, index, name) : RegStatus::InvalidArg;
}

RegStatus RegistryKey::EnumValue(uint32_t index, std::string& name) const {
    return m_store ? m_store->EnumValue(m_id, index, name) : RegStatus::InvalidArg;
}

RegStatus RegistryKey::QueryValue(const char* name, uint32_t& type,
                                  std::vector<uint8_t>& data) const {
    return m_store ? m_store->QueryValue(m_id, name, type, data) : RegStatus::InvalidArg;
}

RegStatus RegistryKey::SetValue(const char* name, uint32_t type, const void* data,
                                size_t len) const {
    return m_store ? m_store->SetValue(m_id, name, type, data, len) : RegStatus::InvalidArg;
}

RegStatus RegistryKey::DeleteValue(const char* name) const {
    return m_store ? m_store->DeleteValue(m_id, name) : RegStatus::InvalidArg;
}

RegStatus RegistryKey::DeleteSubKey(const char* path) const {
    return m_store ? m_store->DeleteSubKey(m_id, path) : RegStatus::InvalidArg;
}

} // namespace platform
