// CIniFile: the store name and the typed and list access built on ReadValue / WriteValue.
// Stores derive from it and provide the document operations and the two primitives.
#pragma once

#include "settings/IniFile.h"

#include <string>
#include <vector>

class CIniFile : public CIniFile_0 {
public:
    uint32_t SetFileName(const char* path) override;
    const char* GetFileName() override;

    uint32_t GetString(const char* section, const char* key, const char* def, char* dst,
                       uint64_t len, int* found) override;
    uint32_t GetUInt32(const char* section, const char* key, uint32_t def, int* found) override;
    int32_t GetInt32(const char* section, const char* key, int32_t def, int* found) override;
    uint64_t GetUInt64(const char* section, const char* key, uint64_t def, int* found) override;
    int64_t GetInt64(const char* section, const char* key, int64_t def, int* found) override;
    double GetDouble(const char* section, const char* key, double def, int* found) override;
    uint64_t GetBinary(const char* section, const char* key, const void* def, uint64_t defLen,
                       void* dst, uint64_t dstLen, int* found) override;

    uint32_t SetString(const char* section, const char* key, const char* value) override;
    uint32_t SetUInt32(const char* section, const char* key, uint32_t value) override;
    uint32_t SetInt32(const char* section, const char* key, int32_t value) override;
    uint32_t SetHex32(const char* section, const char* key, uint32_t value) override;
    uint32_t SetUInt64(const char* section, const char* key, uint64_t value) override;
    uint32_t SetInt64(const char* section, const char* key, int64_t value) override;
    uint32_t SetHex64(const char* section, const char* key, uint64_t value) override;
    uint32_t SetDouble(const char* section, const char* key, double value) override;
    uint32_t SetBinary(const char* section, const char* key, const void* data,
                       uint64_t len) override;

    uint32_t GetListString(const char* section, const char* key, const char* item, const char* def,
                           char* dst, uint64_t len, int* found) override;
    uint32_t GetListUInt32(const char* section, const char* key, const char* item, uint32_t def,
                           int* found) override;
    int32_t GetListInt32(const char* section, const char* key, const char* item, int32_t def,
                         int* found) override;
    uint64_t GetListUInt64(const char* section, const char* key, const char* item, uint64_t def,
                           int* found) override;
    int64_t GetListInt64(const char* section, const char* key, const char* item, int64_t def,
                         int* found) override;
    double GetListDouble(const char* section, const char* key, const char* item, double def,
                         int* found) override;
    uint64_t GetListBinary(const char* section, const char* key, const char* item, const void* def,
                           uint64_t defLen, void* dst, uint64_t dstLen, int* found) override;

    uint32_t SetListString(const char* section, const char* key, const char* item,
                           const char* value) override;
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
    uint32_t SetListDouble(const char* section, const char* key, const char* item,
                           double value) override;
    uint32_t SetListBinary(const char* section, const char* key, const char* item, const void* data,
                           uint64_t len) override;

    uint32_t GetListCount(const char* section, const char* key) override;
    uint32_t GetListItemName(const char* section, const char* key, uint64_t index, char* dst,
                             uint64_t len) override;
    uint32_t ListItemExists(const char* section, const char* key, const char* item) override;
    uint32_t DeleteListItem(const char* section, const char* key, const char* item) override;

    void ReadListValue(const char* section, const char* key, const char* item,
                       const std::string& def, std::string& out, int* found) override;
    uint32_t WriteListValue(const char* section, const char* key, const char* item,
                            const char* value) override;

protected:
    std::string m_strFileName;

private:
    // The text stored under a key (or a list item) into `text`; whether it is there.
    bool ReadPresent(const char* section, const char* key, std::string& text);
    bool ReadListPresent(const char* section, const char* key, const char* item, std::string& text);
    // The item names of the list stored under a key; false when there is none or it is damaged.
    bool ReadListNames(const char* section, const char* key, std::vector<std::string>& names);
};
