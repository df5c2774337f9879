// The settings library: one interface for every settings store of the program.
//
// A settings object is made by CreateIniFile(type) and released by DestroyIniFile (or held in
// an IniFilePtr). The stores:
//   0  text file kept in memory as a document (Load reads it, Save writes it back)
//   1  private-profile file: every call reads or writes the file at once
//   2  registry-style hierarchical store (sections are subkeys, typed values)
//   3  memory block described by an IniMemDescriptor (Load parses it, Save publishes text)
//
// Names of sections, keys and list items compare without regard to ASCII case. Getters never
// fail: a missing or unreadable value gives the default with *found = 0. Every operation that
// returns a length or count shares its return value with the INI_E_* codes (a code is at least
// 0x80000001).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

inline constexpr uint32_t INI_OK = 0;
inline constexpr uint32_t INI_E_OPEN = 0x80000001u;   // the store cannot be opened
inline constexpr uint32_t INI_E_SYNTAX = 0x80000002u; // the text cannot be parsed
inline constexpr uint32_t INI_E_WRITE = 0x80000003u;  // writing, deleting or growing failed
inline constexpr uint32_t INI_E_ARG = 0x80000004u;    // a required buffer or name is null / size 0
inline constexpr uint32_t INI_E_EMPTY = 0x80000005u;  // the document holds no entries
inline constexpr uint32_t INI_E_NOKEY = 0x80000006u;  // no registry key open, or deletion failed
inline constexpr uint32_t INI_E_LIST = 0x80000007u;   // a list value is malformed or lacks the item

// True when a value returned by a length- or count-returning operation is a result code.
constexpr bool IniIsError(uint64_t value) {
    return value >= INI_E_OPEN && value <= 0xFFFFFFFFu;
}

// The record handed to the memory store's SetFileName (as its address). The store reads the
// input fields during Load and writes the output fields during Save; the output text belongs
// to the store and stays valid until its next Save or its destruction.
struct IniMemDescriptor {
    const char* pInput = nullptr; // text to parse
    uint64_t nInputSize = 0;      // bytes of pInput
    char* pOutput = nullptr;      // text written by Save, ending with one zero byte
    uint64_t nOutputSize = 0;     // bytes of pOutput (text length + 1)
};

class CIniFile_0 {
public:
    CIniFile_0() = default;
    CIniFile_0(const CIniFile_0&) = delete;
    CIniFile_0& operator=(const CIniFile_0&) = delete;

    virtual uint32_t GetType() = 0;
    virtual uint32_t SetFileName(const char* path) = 0;
    virtual const char* GetFileName() = 0;
    virtual uint32_t Load() = 0;
    [[nodiscard]] virtual uint32_t Save() = 0;
    virtual uint32_t GetSectionCount() = 0;
    virtual uint32_t GetSectionName(uint64_t index, char* dst, uint64_t len) = 0;
    virtual uint32_t SectionExists(const char* section) = 0;
    virtual uint32_t GetKeyCount(const char* section) = 0;
    virtual uint32_t GetKeyName(const char* section, uint64_t index, char* dst, uint64_t len) = 0;
    virtual uint32_t KeyExists(const char* section, const char* key) = 0;
    [[nodiscard]] virtual uint32_t Clear() = 0;
    [[nodiscard]] virtual uint32_t DeleteSection(const char* section) = 0;
    virtual uint32_t DeleteKey(const char* section, const char* key) = 0;

    virtual uint32_t GetString(const char* section, const char* key, const char* def, char* dst,
                               uint64_t len, int* found = nullptr) = 0;
    virtual uint32_t GetUInt32(const char* section, const char* key, uint32_t def,
                               int* found = nullptr) = 0;
    virtual int32_t GetInt32(const char* section, const char* key, int32_t def,
                             int* found = nullptr) = 0;
    virtual uint64_t GetUInt64(const char* section, const char* key, uint64_t def,
                               int* found = nullptr) = 0;
    virtual int64_t GetInt64(const char* section, const char* key, int64_t def,
                             int* found = nullptr) = 0;
    virtual double GetDouble(const char* section, const char* key, double def,
                             int* found = nullptr) = 0;
    virtual uint64_t GetBinary(const char* section, const char* key, const void* def,
                               uint64_t defLen, void* dst, uint64_t dstLen,
                               int* found = nullptr) = 0;

    virtual uint32_t SetString(const char* section, const char* key, const char* value) = 0;
    virtual uint32_t SetUInt32(const char* section, const char* key, uint32_t value) = 0;
    virtual uint32_t SetInt32(const char* section, const char* key, int32_t value) = 0;
    virtual uint32_t SetHex32(const char* section, const char* key, uint32_t value) = 0;
    virtual uint32_t SetUInt64(const char* section, const char* key, uint64_t value) = 0;
    virtual uint32_t SetInt64(const char* section, const char* key, int64_t value) = 0;
    virtual uint32_t SetHex64(const char* section, const char* key, uint64_t value) = 0;
    virtual uint32_t SetDouble(const char* section, const char* key, double value) = 0;
    virtual uint32_t SetBinary(const char* section, const char* key, const void* data,
                               uint64_t len) = 0;

    virtual uint32_t GetListString(const char* section, const char* key, const char* item,
                                   const char* def, char* dst, uint64_t len,
                                   int* found = nullptr) = 0;
    virtual uint32_t GetListUInt32(const char* section, const char* key, const char* item,
                                   uint32_t def, int* found = nullptr) = 0;
    virtual int32_t GetListInt32(const char* section, const char* key, const char* item,
                                 int32_t def, int* found = nullptr) = 0;
    virtual uint64_t GetListUInt64(const char* section, const char* key, const char* item,
                                   uint64_t def, int* found = nullptr) = 0;
    virtual int64_t GetListInt64(const char* section, const char* key, const char* item,
                                 int64_t def, int* found = nullptr) = 0;
    virtual double GetListDouble(const char* section, const char* key, const char* item, double def,
                                 int* found = nullptr) = 0;
    virtual uint64_t GetListBinary(const char* section, const char* key, const char* item,
                                   const void* def, uint64_t defLen, void* dst, uint64_t dstLen,
                                   int* found = nullptr) = 0;

    virtual uint32_t SetListString(const char* section, const char* key, const char* item,
                                   const char* value) = 0;
    virtual uint32_t SetListUInt32(const char* section, const char* key, const char* item,
                                   uint32_t value) = 0;
    virtual uint32_t SetListInt32(const char* section, const char* key, const char* item,
                                  int32_t value) = 0;
    virtual uint32_t SetListHex32(const char* section, const char* key, const char* item,
                                  uint32_t value) = 0;
    virtual uint32_t SetListUInt64(const char* section, const char* key, const char* item,
                                   uint64_t value) = 0;
    virtual uint32_t SetListInt64(const char* section, const char* key, const char* item,
                                  int64_t value) = 0;
    virtual uint32_t SetListHex64(const char* section, const char* key, const char* item,
                                  uint64_t value) = 0;
    virtual uint32_t SetListDouble(const char* section, const char* key, const char* item,
                                   double value) = 0;
    virtual uint32_t SetListBinary(const char* section, const char* key, const char* item,
                                   const void* data, uint64_t len) = 0;

    virtual uint32_t GetListCount(const char* section, const char* key) = 0;
    virtual uint32_t GetListItemName(const char* section, const char* key, uint64_t index,
                                     char* dst, uint64_t len) = 0;
    virtual uint32_t ListItemExists(const char* section, const char* key, const char* item) = 0;
    [[nodiscard]] virtual uint32_t DeleteListItem(const char* section, const char* key,
                                                  const char* item) = 0;

    // The two primitives every store provides; typed access is built on them. WriteValue
    // returns 0, or a result code when the store could not take the value (nothing changed).
    virtual void ReadValue(const char* section, const char* key, const std::string& def,
                           std::string& out, int* found) = 0;
    [[nodiscard]] virtual uint32_t WriteValue(const char* section, const char* key,
                                              const char* value) = 0;
    virtual void ReadListValue(const char* section, const char* key, const char* item,
                               const std::string& def, std::string& out, int* found) = 0;
    [[nodiscard]] virtual uint32_t WriteListValue(const char* section, const char* key,
                                                  const char* item, const char* value) = 0;

    virtual ~CIniFile_0() = default;
};

// Makes a settings object of the given type (0..3), or null for any other number.
CIniFile_0* CreateIniFile(uint32_t type);
// Releases an object made by CreateIniFile; null is ignored.
void DestroyIniFile(CIniFile_0* p);

struct IniFileDeleter {
    void operator()(CIniFile_0* p) const { DestroyIniFile(p); }
};
using IniFilePtr = std::unique_ptr<CIniFile_0, IniFileDeleter>;

inline IniFilePtr MakeIniFile(uint32_t type) {
    return IniFilePtr(CreateIniFile(type));
}
