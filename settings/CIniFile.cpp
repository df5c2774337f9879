#include "settings/CIniFile.h"

#include "settings/IniList.h"
#include "settings/IniText.h"
#include "settings/IniValueText.h"

#include <algorithm>
#include <cstring>

namespace {

// The parsed value when the key is present and its text reads as a number, else the default.
template <typename T, typename Parse>
T ParsedOrDefault(bool present, const std::string& text, T def, int* found, Parse parse) {
    T value{};
    if (present && parse(text, value)) {
        IniSetFound(found, 1);
        return value;
    }
    IniSetFound(found, 0);
    return def;
}

// Default bytes for a binary getter: the smaller of the two sizes is copied.
uint64_t CopyDefaultBytes(const void* def, uint64_t defLen, void* dst, uint64_t dstLen,
                          int* found) {
    const uint64_t n = std::min(defLen, dstLen);
    if (n && def)
        std::memcpy(dst, def, static_cast<size_t>(n));
    IniSetFound(found, 0);
    return def ? n : 0;
}

uint64_t DecodeBinary(bool present, const std::string& text, const void* def, uint64_t defLen,
                      void* dst, uint64_t dstLen, int* found) {
    if (dstLen == 0 || !dst)
        return 0;
    if (!present)
        return CopyDefaultBytes(def, defLen, dst, dstLen, found);
    IniSetFound(found, 1);
    uint64_t stored = 0;
    if (!IniParseBinary(text, static_cast<uint8_t*>(dst), dstLen, stored))
        return CopyDefaultBytes(def, defLen, dst, dstLen, found);
    return stored;
}

uint32_t CopyText(const std::string& text, char* dst, uint64_t len) {
    if (!dst || len == 0)
        return INI_E_ARG;
    return IniCopyOut(text, dst, len);
}

} // namespace

uint32_t CIniFile::SetFileName(const char* path) {
    m_strFileName.assign(IniArg(path));
    return 0;
}

const char* CIniFile::GetFileName() {
    return m_strFileName.c_str();
}

// Plain getters ------------------------------------------------------------------------------

uint32_t CIniFile::GetString(const char* section, const char* key, const char* def, char* dst,
                             uint64_t len, int* found) {
    if (!dst || len == 0)
        return INI_E_ARG;
    std::string text;
    ReadValue(section, key, std::string(IniArg(def)), text, found);
    return IniCopyOut(text, dst, len);
}

#define KAVRIN_INI_PLAIN_GETTER(Name, Type, Parse)                                                 \
    Type CIniFile::Name(const char* section, const char* key, Type def, int* found) {              \
        std::string text;                                                                          \
        const bool present = ReadPresent(section, key, text);                                      \
        return ParsedOrDefault<Type>(present, text, def, found, Parse);                            \
    }

KAVRIN_INI_PLAIN_GETTER(GetUInt32, uint32_t, IniParseUInt32)
KAVRIN_INI_PLAIN_GETTER(GetInt32, int32_t, IniParseInt32)
KAVRIN_INI_PLAIN_GETTER(GetUInt64, uint64_t, IniParseUInt64)
KAVRIN_INI_PLAIN_GETTER(GetInt64, int64_t, IniParseInt64)
KAVRIN_INI_PLAIN_GETTER(GetDouble, double, IniParseDouble)

uint64_t CIniFile::GetBinary(const char* section, const char* key, const void* def, uint64_t defLen,
                             void* dst, uint64_t dstLen, int* found) {
    if (dstLen == 0)
        return 0;
    std::string text;
    const bool present = ReadPresent(section, key, text);
    return DecodeBinary(present, text, def, defLen, dst, dstLen, found);
}

// Plain setters: the outcome of WriteValue --------------------------------------------------

uint32_t CIniFile::SetString(const char* section, const char* key, const char* value) {
    return WriteValue(section, key, value);
}

#define KAVRIN_INI_PLAIN_SETTER(Name, Type, Format)                                                \
    uint32_t CIniFile::Name(const char* section, const char* key, Type value) {                    \
        return WriteValue(section, key, Format(value).c_str());                                    \
    }

KAVRIN_INI_PLAIN_SETTER(SetUInt32, uint32_t, IniFormatUInt32)
KAVRIN_INI_PLAIN_SETTER(SetInt32, int32_t, IniFormatInt32)
KAVRIN_INI_PLAIN_SETTER(SetHex32, uint32_t, IniFormatHex32)
KAVRIN_INI_PLAIN_SETTER(SetUInt64, uint64_t, IniFormatUInt64)
KAVRIN_INI_PLAIN_SETTER(SetInt64, int64_t, IniFormatInt64)
KAVRIN_INI_PLAIN_SETTER(SetHex64, uint64_t, IniFormatHex64)
KAVRIN_INI_PLAIN_SETTER(SetDouble, double, IniFormatDouble)

uint32_t CIniFile::SetBinary(const char* section, const char* key, const void* data, uint64_t len) {
    return WriteValue(section, key, IniFormatBinary(data, len).c_str());
}

// List getters -------------------------------------------------------------------------------

uint32_t CIniFile::GetListString(const char* section, const char* key, const char* item,
                                 const char* def, char* dst, uint64_t len, int* found) {
    if (!dst || len == 0)
        return INI_E_ARG;
    std::string text;
    ReadListValue(section, key, item, std::string(IniArg(def)), text, found);
    return IniCopyOut(text, dst, len);
}

#define KAVRIN_INI_LIST_GETTER(Name, Type, Parse)                                                  \
    Type CIniFile::Name(const char* section, const char* key, const char* item, Type def,          \
                        int* found) {                                                              \
        std::string text;                                                                          \
        const bool present = ReadListPresent(section, key, item, text);                            \
        return ParsedOrDefault<Type>(present, text, def, found, Parse);                            \
    }

KAVRIN_INI_LIST_GETTER(GetListUInt32, uint32_t, IniParseUInt32)
KAVRIN_INI_LIST_GETTER(GetListInt32, int32_t, IniParseInt32)
KAVRIN_INI_LIST_GETTER(GetListUInt64, uint64_t, IniParseUInt64)
KAVRIN_INI_LIST_GETTER(GetListInt64, int64_t, IniParseInt64)
KAVRIN_INI_LIST_GETTER(GetListDouble, double, IniParseDouble)

uint64_t CIniFile::GetListBinary(const char* section, const char* key, const char* item,
                                 const void* def, uint64_t defLen, void* dst, uint64_t dstLen,
                                 int* found) {
    if (dstLen == 0)
        return 0;
    std::string text;
    const bool present = ReadListPresent(section, key, item, text);
    return DecodeBinary(present, text, def, defLen, dst, dstLen, found);
}

// List setters -------------------------------------------------------------------------------

uint32_t CIniFile::SetListString(const char* section, const char* key, const char* item,
                                 const char* value) {
    return WriteListValue(section, key, item, value);
}

#define KAVRIN_INI_LIST_SETTER(Name, Type, Format)                                                 \
    uint32_t CIniFile::Name(const char* section, const char* key, const char* item, Type value) {  \
        return WriteListValue(section, key, item, Format(value).c_str());                          \
    }

KAVRIN_INI_LIST_SETTER(SetListUInt32, uint32_t, IniFormatUInt32)
KAVRIN_INI_LIST_SETTER(SetListInt32, int32_t, IniFormatInt32)
KAVRIN_INI_LIST_SETTER(SetListHex32, uint32_t, IniFormatHex32)
KAVRIN_INI_LIST_SETTER(SetListUInt64, uint64_t, IniFormatUInt64)
KAVRIN_INI_LIST_SETTER(SetListInt64, int64_t, IniFormatInt64)
KAVRIN_INI_LIST_SETTER(SetListHex64, uint64_t, IniFormatHex64)
KAVRIN_INI_LIST_SETTER(SetListDouble, double, IniFormatDouble)

uint32_t CIniFile::SetListBinary(const char* section, const char* key, const char* item,
                                 const void* data, uint64_t len) {
    return WriteListValue(section, key, item, IniFormatBinary(data, len).c_str());
}

// List structure -----------------------------------------------------------------------------

uint32_t CIniFile::GetListCount(const char* section, const char* key) {
    std::vector<std::string> names;
    if (!ReadListNames(section, key, names))
        return 0;
    return static_cast<uint32_t>(names.size());
}

uint32_t CIniFile::GetListItemName(const char* section, const char* key, uint64_t index, char* dst,
                                   uint64_t len) {
    std::vector<std::string> names;
    if (!ReadListNames(section, key, names) || index >= names.size())
        return 0;
    return CopyText(names[static_cast<size_t>(index)], dst, len);
}

uint32_t CIniFile::ListItemExists(const char* section, const char* key, const char* item) {
    std::string value;
    return ReadListPresent(section, key, item, value) ? 1 : 0;
}

uint32_t CIniFile::DeleteListItem(const char* section, const char* key, const char* item) {
    std::string text;
    ReadValue(section, key, std::string(), text, nullptr);
    std::string out;
    if (!IniListDelete(text, IniArg(item), out))
        return INI_E_LIST;
    return WriteValue(section, key, out.c_str());
}

void CIniFile::ReadListValue(const char* section, const char* key, const char* item,
                             const std::string& def, std::string& out, int* found) {
    std::string text;
    if (ReadPresent(section, key, text) && item && IniListFind(text, item, out)) {
        IniSetFound(found, 1);
        return;
    }
    out = def;
    IniSetFound(found, 0);
}

uint32_t CIniFile::WriteListValue(const char* section, const char* key, const char* item,
                                  const char* value) {
    // An item that would not read back by its name, or a value that would not read back as
    // written, is refused before the stored list is touched.
    if (IniArg(item).empty() || !IniListCanHold(IniArg(item)) || !IniListCanHold(IniArg(value)))
        return INI_E_ARG;
    std::string text;
    ReadValue(section, key, std::string(), text, nullptr);
    std::string out;
    if (!IniListSet(text, IniArg(item), IniArg(value), out))
        return INI_E_LIST;
    return WriteValue(section, key, out.c_str());
}

bool CIniFile::ReadPresent(const char* section, const char* key, std::string& text) {
    int present = 0;
    ReadValue(section, key, std::string(), text, &present);
    return present != 0;
}

bool CIniFile::ReadListPresent(const char* section, const char* key, const char* item,
                               std::string& text) {
    int present = 0;
    ReadListValue(section, key, item, std::string(), text, &present);
    return present != 0;
}

bool CIniFile::ReadListNames(const char* section, const char* key,
                             std::vector<std::string>& names) {
    std::string text;
    return ReadPresent(section, key, text) && IniListNames(text, names);
}
