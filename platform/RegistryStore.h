// One open database of the settings store: the SQLite connection behind RegistryKey handles.
// Calls are serialised by a mutex, so handles that share a connection may be used from several
// threads. Every name and value reaches SQLite through bound parameters.
#pragma once

#include "platform/RegistryTypes.h"
#include "platform/ThreadAnnotations.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace platform {

class RegistryStore {
    // Only Open makes stores; the token keeps the constructor to it while make_shared can call it.
    struct Token {
        explicit Token() = default;
    };

public:
    static constexpr int64_t kRootId = 1;

    RegistryStore(Token, sqlite3* db);
    // Opens or creates the database file. Nothing is written to a file that fails the checks.
    [[nodiscard]] static std::shared_ptr<RegistryStore> Open(const std::string& file,
                                                             RegStatus& status);
    ~RegistryStore();
    RegistryStore(const RegistryStore&) = delete;
    RegistryStore& operator=(const RegistryStore&) = delete;

    [[nodiscard]] RegStatus OpenPath(int64_t from, const char* path, bool create, int64_t& id)
        KAVRIN_EXCLUDES(m_mutex);
    [[nodiscard]] RegStatus QueryInfo(int64_t id, uint32_t& subKeys, uint32_t& values)
        KAVRIN_EXCLUDES(m_mutex);
    [[nodiscard]] RegStatus EnumSubKey(int64_t id, uint32_t index, std::string& name)
        KAVRIN_EXCLUDES(m_mutex);
    [[nodiscard]] RegStatus EnumValue(int64_t id, uint32_t index, std::string& name)
        KAVRIN_EXCLUDES(m_mutex);
    [[nodiscard]] RegStatus QueryValue(int64_t id, const char* name, uint32_t& type,
                                       std::vector<uint8_t>& data) KAVRIN_EXCLUDES(m_mutex);
    [[nodiscard]] RegStatus SetValue(int64_t id, const char* name, uint32_t type, const void* data,
                                     size_t len) KAVRIN_EXCLUDES(m_mutex);
    [[nodiscard]] RegStatus DeleteValue(int64_t id, const char* name) KAVRIN_EXCLUDES(m_mutex);
    [[nodiscard]] RegStatus DeleteSubKey(int64_t id, const char* path) KAVRIN_EXCLUDES(m_mutex);

private:
    class Query;
    class Transaction;

    // The helpers below use the connection and the statement cache: the caller holds m_mutex.
    sqlite3_stmt* Prepare(const char* sql) KAVRIN_REQUIRES(m_mutex);
    [[nodiscard]] RegStatus Validate(bool& isNew) KAVRIN_REQUIRES(m_mutex);
    [[nodiscard]] RegStatus Initialise(bool isNew) KAVRIN_REQUIRES(m_mutex);
    [[nodiscard]] RegStatus KeyExists(int64_t id) KAVRIN_REQUIRES(m_mutex);
    [[nodiscard]] RegStatus FindChild(int64_t parent, std::string_view name, int64_t& child)
        KAVRIN_REQUIRES(m_mutex);
    [[nodiscard]] RegStatus Walk(int64_t from, const char* path, bool create, int64_t& id)
        KAVRIN_REQUIRES(m_mutex);
    [[nodiscard]] RegStatus EnumName(const char* sql, int64_t id, uint32_t index, std::string& name)
        KAVRIN_EXCLUDES(m_mutex);

    sqlite3* const m_db;
    Mutex m_mutex;
    std::unordered_map<const char*, sqlite3_stmt*> m_statements KAVRIN_GUARDED_BY(m_mutex);
};

} // namespace platform
