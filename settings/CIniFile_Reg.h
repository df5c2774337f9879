// CIniFile_Reg: the settings interface over the registry-style store (type 2).
//
// The store name is a registry path such as "HKEY_CURRENT_USER\Software\Hadrell Optics".
// Below the key it names, a section is a subkey, a plain key is a value of that subkey, a list
// value is a subkey of the section and its items are that subkey's values. Numbers and byte
// blocks are kept as typed values (REG_DWORD, REG_QWORD, REG_BINARY), texts as REG_SZ. Nothing
// is cached: every call goes to the store at once.
#pragma once

#include "platform/Registry.h"
#include "settings/CIniFile.h"

#include <cstdint>
#include <string>

enum class IniResult : uint32_t;

class CIniFile_Reg : public CIniFile {
public:
    CIniFile_Reg();

    uint32_t GetType() override;
    uint32_t SetFileName(const char* path) override;
    const char* GetFileName() override;
    uint32_t Load() override;
    uint32_t Save() override;
    uint32_t GetSectionCount() override;
    uint32_t GetSectionName(uint64_t index, char* dst, uint64_t len) override;
    uint32_t SectionExists(const char* section) override;
    uint32_t GetKeyCount(const char* section) override;
    uint32_t GetKeyName(const char* section, uint64_t index, char* dst, uint64_t len) override;
    uint32_t KeyExists(const char* section, const char* key) override;
    uint32_t Clear() override;
    uint32_t DeleteSection(const char* section) override;
    uint32_t DeleteKey(const char* section, const char* key) override;

    uint32_t GetUInt32(const char* section, const char* key, uint32_t def, int* found) override;
    int32_t GetInt32(const char* section, const char* key, int32_t def, int* found) override;
    uint64_t GetUInt64(const char* section, const char* key, uint64_t def, int* found) override;
    int64_t GetInt64(const char* section, const char* key, int64_t def, int* found) override;
    uint64_t GetBinary(const char* section, const char* key, const void* def, uint64_t defLen,
                       void* dst, uint64_t dstLen, int* found) override;

    uint32_t SetUInt32(const char* section, const char* key, uint32_t value) override;
    uint32_t SetInt32(const char* section, const char* key, int32_t value) override;
    uint32_t SetHex32(const char* section, const char* key, uint32_t value) override;
    uint32_t SetUInt64(const char* section, const char* key, uint64_t value) override;
    uint32_t SetInt64(const char* section, const char* key, int64_t value) override;
    uint32_t SetHex64(const char* section, const char* key, uint64_t value) override;
    uint32_t SetBinary(const char* section, const char* key, const void* data,
                       uint64_t len) override;

    uint32_t GetListUInt32(const char* section, const char* key, const char* item, uint32_t def,
                           int* found) override;
    int32_t GetListInt32(const char* section, const char* key, const char* item, int32_t def,
                         int* found) override;
    uint64_t GetListUInt64(const char* section, const char* key, const char* item, uint64_t def,
                           int* found) override;
    int64_t GetListInt64(const char* section, const char* key, const char* item, int64_t def,
                         int* found) override;
    uint64_t GetListBinary(const char* section, const char* key, const char* item, const void* def,
                           uint64_t defLen, void* dst, uint64_t dstLen, int* found) override;

    uint32_t SetListUInt32(const char* section, const char* key, const char* item,
                           uint32_t value) override;
    uint32_t SetListInt32(const char* section, const char* key, const char* item,
                          int32_t value) override;
    uint32_t SetListHex32(const char* section, const char* key, const char* item,
                          uint32_t value) override;
    uint32_t SetListUInt64(const char* section, const char* key, const char* item,
                           uint64_t value) override;
    uint32_t SetListInt64(const char* section, const char* key, const char* item,
                          int64_t value) override;
    uint32_t SetListHex64(const char* section, const char* key, const char* item,
                          uint64_t value) override;
    uint32_t SetListBinary(const char* section, const char* key, const char* item, const void* data,
                           uint64_t len) override;

    uint32_t GetListCount(const char* section, const char* key) override;
    uint32_t GetListItemName(const char* section, const char* key, uint64_t index, char* dst,
                             uint64_t len) override;
    uint32_t ListItemExists(const char* section, const char* key, const char* item) override;
    uint32_t DeleteListItem(const char* section, const char* key, const char* item) override;

    void ReadValue(const char* section, const char* key, const std::string& def, std::string& out,
                   int* found) override;
    uint32_t WriteValue(const char* section, const char* key, const char* value) override;
    void ReadListValue(const char* section, const char* key, const char* item,
                       const std::string& def, std::string& out, int* found) override;
    uint32_t WriteListValue(const char* section, const char* key, const char* item,
                            const char* value) override;

    ~CIniFile_Reg() override;

    // Removes every subkey and value below `key`, keeping the key itself. Stops at the first
    // query, enumeration or deletion that fails; returns the status of the last store call
    // (0 normally).
    virtual uint32_t DeleteTree(const platform::RegistryKey& key);

private:
    // Opens `section` below the open key and, when `listKey` is given, `listKey` below that.
    bool OpenValueHolder(const char* section, const char* listKey,
                         platform::RegistryKey& out) const;
    bool CreateValueHolder(const char* section, const char* listKey,
                           platform::RegistryKey& out) const;
    bool ValueHolder(const char* section, const char* listKey, bool create,
                     platform::RegistryKey& out) const;
    void ReadText(const char* section, const char* listKey, const char* name,
                  const std::string& def, std::string& out, int* found) const;
    bool ReadNumber(const char* section, const char* listKey, const char* name, uint64_t& value,
                    uint32_t& type) const;
    uint32_t ReadUInt32(const char* section, const char* listKey, const char* name, uint32_t def,
                        int* found) const;
    uint64_t ReadUInt64(const char* section, const char* listKey, const char* name, uint64_t def,
                        int* found) const;
    uint64_t ReadBinary(const char* section, const char* listKey, const char* name, const void* def,
                        uint64_t defLen, void* dst, uint64_t dstLen, int* found) const;
    IniResult WriteTyped(const char* section, const char* listKey, const char* name, uint32_t type,
                         const void* data, uint64_t len);
    // A number of `bytes` bytes (4: REG_DWORD, 8: REG_QWORD), little-endian as the registry
    // keeps it; the outcome as a settings code.
    uint32_t WriteNumber(const char* section, const char* listKey, const char* name, uint64_t value,
                         size_t bytes);
    platform::RegStatus DeleteTreeAt(const platform::RegistryKey& key, uint32_t depth);

    platform::RegistryKey m_hKey;
    platform::RegRoot m_root = platform::RegRoot::CurrentUser;
};
