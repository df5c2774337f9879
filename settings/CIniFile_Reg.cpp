#include "settings/CIniFile_Reg.h"

#include "settings/IniResult.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <utility>
#include <vector>

using platform::RegistryKey;
using platform::RegStatus;

namespace {

// The name buffer used wherever every name of a key is fetched for a comparison.
constexpr uint64_t kNameBuffer = 1024;
// The largest text a read takes, terminating zero included.
constexpr size_t kTextBuffer = 1024;
constexpr uint64_t kMaxDword = 0xFFFFFFFFull;

struct RootEntry {
    const char* name;
    platform::RegRoot root;
};

// Tried in this order; the first whose name starts the path decides.
constexpr RootEntry kRoots[] = {
    {"HKEY_CLASSES_ROOT", platform::RegRoot::ClassesRoot},
    {"HKEY_CURRENT_CONFIG", platform::RegRoot::CurrentConfig},
    {"HKEY_CURRENT_USER", platform::RegRoot::CurrentUser},
    {"HKEY_LOCAL_MACHINE", platform::RegRoot::LocalMachine},
    {"HKEY_USERS", platform::RegRoot::Users},
};

char FoldAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualNoCase(const std::string& a, const char* b) {
    const size_t n = std::strlen(b);
    if (a.size() != n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i]))
            return false;
    return true;
}

bool StartsWithNoCase(const char* text, const char* prefix, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (FoldAscii(text[i]) != FoldAscii(prefix[i]))
            return false;
    return true;
}

// Puts `name` into the caller's buffer the way an enumeration call fills it: the whole name
// and its terminating zero, or (when they do not fit) an empty text. Returns the length.
uint32_t CopyName(RegStatus status, const std::string& name, char* dst, uint64_t len) {
    if (!dst || len == 0)
        return 0;
    if (status != RegStatus::Ok || name.size() >= len) {
        dst[0] = '\0';
        return 0;
    }
    std::memcpy(dst, name.data(), name.size());
    dst[name.size()] = '\0';
    return static_cast<uint32_t>(name.size());
}

void EmptyText(char* dst, uint64_t len) {
    if (dst && len > 0)
        dst[0] = '\0';
}

// Walks the names that `next(index, name)` hands out until it reports the end or a failure,
// and tells whether one of them, fetched into a buffer of kNameBuffer bytes, equals `wanted`.
bool NameListed(const std::function<RegStatus(uint32_t, std::string&)>& next, const char* wanted) {
    if (!wanted)
        return false;
    std::string name;
    for (uint32_t index = 0; index < kMaxDword; ++index) {
        if (next(index, name) != RegStatus::Ok)
            return false;
        if (name.size() < kNameBuffer && EqualNoCase(name, wanted))
            return true;
    }
    return false;
}

void PutLittleEndian(uint8_t* out, uint64_t value, size_t bytes) {
    for (size_t i = 0; i < bytes; ++i)
        out[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint64_t GetLittleEndian(const std::vector<uint8_t>& data) {
    uint64_t value = 0;
    for (size_t i = data.size(); i-- > 0;)
        value = (value << 8) | data[i];
    return value;
}

// Section and list-key names name subkeys; an empty one would name the key itself, so that a
// deletion of it would empty the whole parent.
bool IsSubKeyName(const char* name) {
    return name && *name;
}

// The one conversion from a store status to the settings result: success, or the code the
// calling operation reports for any failure of the store.
IniResult FromRegStatus(RegStatus status, IniResult onFailure) {
    return status == RegStatus::Ok ? IniResult::Ok : onFailure;
}

void SetFound(int* found, int value) {
    if (found)
        *found = value;
}

} // namespace

CIniFile_Reg::CIniFile_Reg() = default;

CIniFile_Reg::~CIniFile_Reg() = default;

uint32_t CIniFile_Reg::GetType() {
    return 2;
}

uint32_t CIniFile_Reg::SetFileName(const char* path) {
    if (!path)
        return INI_E_OPEN;
    const size_t pathLen = std::strlen(path);
    const RootEntry* entry = nullptr;
    for (const RootEntry& candidate : kRoots) {
        const size_t n = std::strlen(candidate.name);
        if (pathLen >= n + 2 && StartsWithNoCase(path, candidate.name, n)) {
            entry = &candidate;
            break;
        }
    }
    if (!entry)
        return INI_E_OPEN;
    const size_t rootLen = std::strlen(entry->name);
    if (path[rootLen] != '\\')
        return INI_E_OPEN;

    RegistryKey root;
    RegistryKey key;
    if (platform::Registry::OpenRoot(entry->root, root) != RegStatus::Ok ||
        root.CreateSubKey(path + rootLen + 1, key) != RegStatus::Ok)
        return INI_E_OPEN; // the key open so far stays in use
    m_hKey = std::move(key);
    m_root = entry->root;
    return INI_OK;
}

const char* CIniFile_Reg::GetFileName() {
    return "";
}

uint32_t CIniFile_Reg::Load() {
    return INI_OK;
}

uint32_t CIniFile_Reg::Save() {
    return INI_OK;
}

uint32_t CIniFile_Reg::GetSectionCount() {
    uint32_t subKeys = 0;
    uint32_t values = 0;
    if (!m_hKey.IsOpen() || m_hKey.QueryInfo(subKeys, values) != RegStatus::Ok)
        return 0;
    return subKeys;
}

uint32_t CIniFile_Reg::GetSectionName(uint64_t index, char* dst, uint64_t len) {
    if (!m_hKey.IsOpen() || index > kMaxDword) {
        EmptyText(dst, len);
        return 0;
    }
    std::string name;
    const RegStatus status = m_hKey.EnumSubKey(static_cast<uint32_t>(index), name);
    return CopyName(status, name, dst, len);
}

uint32_t CIniFile_Reg::SectionExists(const char* section) {
    if (!m_hKey.IsOpen())
        return 0;
    return NameListed([this](uint32_t i, std::string& name) { return m_hKey.EnumSubKey(i, name); },
                      section)
               ? 1
               : 0;
}

uint32_t CIniFile_Reg::GetKeyCount(const char* section) {
    RegistryKey holder;
    uint32_t subKeys = 0;
    uint32_t values = 0;
    if (!OpenValueHolder(section, nullptr, holder) ||
        holder.QueryInfo(subKeys, values) != RegStatus::Ok)
        return 0;
    return values;
}

uint32_t CIniFile_Reg::GetKeyName(const char* section, uint64_t index, char* dst, uint64_t len) {
    RegistryKey holder;
    if (index > kMaxDword || !OpenValueHolder(section, nullptr, holder))
        return 0;
    std::string name;
    const RegStatus status = holder.EnumValue(static_cast<uint32_t>(index), name);
    return CopyName(status, name, dst, len);
}

uint32_t CIniFile_Reg::KeyExists(const char* section, const char* key) {
    RegistryKey holder;
    if (!OpenValueHolder(section, nullptr, holder))
        return 0;
    return NameListed(
               [&holder](uint32_t i, std::string& name) { return holder.EnumValue(i, name); }, key)
               ? 1
               : 0;
}

uint32_t CIniFile_Reg::Clear() {
    if (!m_hKey.IsOpen())
        return INI_E_NOKEY;
    DeleteTree(m_hKey);
    return INI_OK;
}

uint32_t CIniFile_Reg::DeleteSection(const char* section) {
    if (!m_hKey.IsOpen() || !IsSubKeyName(section))
        return INI_E_NOKEY;
    {
        RegistryKey sub;
        if (m_hKey.OpenSubKey(section, sub) == RegStatus::Ok)
            DeleteTree(sub);
    }
    return IniCode(FromRegStatus(m_hKey.DeleteSubKey(section), IniResult::NoKey));
}

uint32_t CIniFile_Reg::DeleteKey(const char* section, const char* key) {
    if (!m_hKey.IsOpen())
        return INI_E_NOKEY;
    RegistryKey holder;
    if (!OpenValueHolder(section, nullptr, holder))
        return INI_OK;
    if (!IsSubKeyName(key))
        return INI_E_NOKEY;
    {
        RegistryKey list;
        if (holder.OpenSubKey(key, list) == RegStatus::Ok)
            DeleteTree(list);
    }
    return IniCode(FromRegStatus(holder.DeleteSubKey(key), IniResult::NoKey));
}

// --- typed values ---------------------------------------------------------------------------

uint32_t CIniFile_Reg::GetUInt32(const char* section, const char* key, uint32_t def, int* found) {
    return ReadUInt32(section, nullptr, key, def, found);
}

int32_t CIniFile_Reg::GetInt32(const char* section, const char* key, int32_t def, int* found) {
    return static_cast<int32_t>(
        ReadUInt32(section, nullptr, key, static_cast<uint32_t>(def), found));
}

uint64_t CIniFile_Reg::GetUInt64(const char* section, const char* key, uint64_t def, int* found) {
    return ReadUInt64(section, nullptr, key, def, found);
}

int64_t CIniFile_Reg::GetInt64(const char* section, const char* key, int64_t def, int* found) {
    return static_cast<int64_t>(
        ReadUInt64(section, nullptr, key, static_cast<uint64_t>(def), found));
}

uint64_t CIniFile_Reg::GetBinary(const char* section, const char* key, const void* def,
                                 uint64_t defLen, void* dst, uint64_t dstLen, int* found) {
    return ReadBinary(section, nullptr, key, def, defLen, dst, dstLen, found);
}

uint32_t CIniFile_Reg::SetUInt32(const char* section, const char* key, uint32_t value) {
    return WriteNumber(section, nullptr, key, value, 4);
}

uint32_t CIniFile_Reg::SetInt32(const char* section, const char* key, int32_t value) {
    return SetUInt32(section, key, static_cast<uint32_t>(value));
}

uint32_t CIniFile_Reg::SetHex32(const char* section, const char* key, uint32_t value) {
    return SetUInt32(section, key, value);
}

uint32_t CIniFile_Reg::SetUInt64(const char* section, const char* key, uint64_t value) {
    return WriteNumber(section, nullptr, key, value, 8);
}

uint32_t CIniFile_Reg::SetInt64(const char* section, const char* key, int64_t value) {
    return SetUInt64(section, key, static_cast<uint64_t>(value));
}

uint32_t CIniFile_Reg::SetHex64(const char* section, const char* key, uint64_t value) {
    return SetUInt64(section, key, value);
}

uint32_t CIniFile_Reg::SetBinary(const char* section, const char* key, const void* data,
                                 uint64_t len) {
    return IniCode(WriteTyped(section, nullptr, key, platform::REG_BINARY, data, len));
}

// --- list values ----------------------------------------------------------------------------

uint32_t CIniFile_Reg::GetListUInt32(const char* section, const char* key, const char* item,
                                     uint32_t def, int* found) {
    if (!key) {
        SetFound(found, 0);
        return def;
    }
    return ReadUInt32(section, key, item, def, found);
}

int32_t CIniFile_Reg::GetListInt32(const char* section, const char* key, const char* item,
                                   int32_t def, int* found) {
    return static_cast<int32_t>(
        GetListUInt32(section, key, item, static_cast<uint32_t>(def), found));
}

uint64_t CIniFile_Reg::GetListUInt64(const char* section, const char* key, const char* item,
                                     uint64_t def, int* found) {
    if (!key) {
        SetFound(found, 0);
        return def;
    }
    return ReadUInt64(section, key, item, def, found);
}

int64_t CIniFile_Reg::GetListInt64(const char* section, const char* key, const char* item,
                                   int64_t def, int* found) {
    return static_cast<int64_t>(
        GetListUInt64(section, key, item, static_cast<uint64_t>(def), found));
}

uint64_t CIniFile_Reg::GetListBinary(const char* section, const char* key, const char* item,
                                     const void* def, uint64_t defLen, void* dst, uint64_t dstLen,
                                     int* found) {
    if (!key)
        return ReadBinary(nullptr, nullptr, nullptr, def, defLen, dst, dstLen, found);
    return ReadBinary(section, key, item, def, defLen, dst, dstLen, found);
}

uint32_t CIniFile_Reg::SetListUInt32(const char* section, const char* key, const char* item,
                                     uint32_t value) {
    if (!key)
        return INI_E_WRITE;
    return WriteNumber(section, key, item, value, 4);
}

uint32_t CIniFile_Reg::SetListInt32(const char* section, const char* key, const char* item,
                                    int32_t value) {
    return SetListUInt32(section, key, item, static_cast<uint32_t>(value));
}

uint32_t CIniFile_Reg::SetListHex32(const char* section, const char* key, const char* item,
                                    uint32_t value) {
    return SetListUInt32(section, key, item, value);
}

uint32_t CIniFile_Reg::SetListUInt64(const char* section, const char* key, const char* item,
                                     uint64_t value) {
    if (!key)
        return INI_E_WRITE;
    return WriteNumber(section, key, item, value, 8);
}

uint32_t CIniFile_Reg::SetListInt64(const char* section, const char* key, const char* item,
                                    int64_t value) {
    return SetListUInt64(section, key, item, static_cast<uint64_t>(value));
}

uint32_t CIniFile_Reg::SetListHex64(const char* section, const char* key, const char* item,
                                    uint64_t value) {
    return SetListUInt64(section, key, item, value);
}

uint32_t CIniFile_Reg::SetListBinary(const char* section, const char* key, const char* item,
                                     const void* data, uint64_t len) {
    if (!key)
        return INI_E_WRITE;
    return IniCode(WriteTyped(section, key, item, platform::REG_BINARY, data, len));
}

uint32_t CIniFile_Reg::GetListCount(const char* section, const char* key) {
    RegistryKey holder;
    uint32_t subKeys = 0;
    uint32_t values = 0;
    if (!key || !OpenValueHolder(section, key, holder) ||
        holder.QueryInfo(subKeys, values) != RegStatus::Ok)
        return 0;
    return values;
}

uint32_t CIniFile_Reg::GetListItemName(const char* section, const char* key, uint64_t index,
                                       char* dst, uint64_t len) {
    RegistryKey holder;
    if (index > kMaxDword || len > kMaxDword || !key || !OpenValueHolder(section, key, holder))
        return 0;
    std::string name;
    const RegStatus status = holder.EnumValue(static_cast<uint32_t>(index), name);
    return CopyName(status, name, dst, len);
}

uint32_t CIniFile_Reg::ListItemExists(const char* section, const char* key, const char* item) {
    RegistryKey holder;
    if (!key || !OpenValueHolder(section, key, holder))
        return 0;
    return NameListed(
               [&holder](uint32_t i, std::string& name) { return holder.EnumValue(i, name); }, item)
               ? 1
               : 0;
}

uint32_t CIniFile_Reg::DeleteListItem(const char* section, const char* key, const char* item) {
    if (!m_hKey.IsOpen())
        return INI_E_NOKEY;
    RegistryKey sectionKey;
    if (!OpenValueHolder(section, nullptr, sectionKey))
        return INI_OK;
    RegistryKey list;
    if (!IsSubKeyName(key) || sectionKey.OpenSubKey(key, list) != RegStatus::Ok)
        return INI_OK;
    return IniCode(FromRegStatus(list.DeleteValue(item), IniResult::NoKey));
}

// --- the text primitives --------------------------------------------------------------------

void CIniFile_Reg::ReadValue(const char* section, const char* key, const std::string& def,
                             std::string& out, int* found) {
    ReadText(section, nullptr, key, def, out, found);
}

uint32_t CIniFile_Reg::WriteValue(const char* section, const char* key, const char* value) {
    // Text writes of this store report nothing, so SetString and SetDouble return 0 as they
    // always have here; the typed setters and WriteListValue report their failures.
    if (value)
        (void)WriteTyped(section, nullptr, key, platform::REG_SZ, value, std::strlen(value) + 1);
    return INI_OK;
}

void CIniFile_Reg::ReadListValue(const char* section, const char* key, const char* item,
                                 const std::string& def, std::string& out, int* found) {
    if (!key) {
        out = def;
        SetFound(found, 0);
        return;
    }
    ReadText(section, key, item, def, out, found);
}

uint32_t CIniFile_Reg::WriteListValue(const char* section, const char* key, const char* item,
                                      const char* value) {
    if (!key || !value)
        return INI_E_WRITE;
    return IniCode(WriteTyped(section, key, item, platform::REG_SZ, value, std::strlen(value) + 1));
}

uint32_t CIniFile_Reg::WriteNumber(const char* section, const char* listKey, const char* name,
                                   uint64_t value, size_t bytes) {
    uint8_t data[8];
    PutLittleEndian(data, value, bytes);
    const uint32_t type = bytes == 4 ? platform::REG_DWORD : platform::REG_QWORD;
    return IniCode(WriteTyped(section, listKey, name, type, data, bytes));
}

// --- removal --------------------------------------------------------------------------------

uint32_t CIniFile_Reg::DeleteTree(const RegistryKey& key) {
    return platform::RegStatusCode(DeleteTreeAt(key, 0));
}

RegStatus CIniFile_Reg::DeleteTreeAt(const RegistryKey& key, uint32_t depth) {
    // Each pass removes one entry or ends the walk, so the store's own counts bound the loops.
    std::string name;
    for (;;) {
        uint32_t subKeys = 0;
        uint32_t values = 0;
        RegStatus status = key.QueryInfo(subKeys, values);
        if (status != RegStatus::Ok)
            return status;
        if (subKeys == 0)
            break;
        if ((status = key.EnumSubKey(0, name)) != RegStatus::Ok)
            return status;
        if (depth >= platform::kRegMaxDepth)
            return RegStatus::InvalidArg;
        {
            RegistryKey child;
            if (key.OpenSubKey(name.c_str(), child) == RegStatus::Ok)
                DeleteTreeAt(child, depth + 1);
        }
        if ((status = key.DeleteSubKey(name.c_str())) != RegStatus::Ok)
            return status;
    }
    for (;;) {
        uint32_t subKeys = 0;
        uint32_t values = 0;
        RegStatus status = key.QueryInfo(subKeys, values);
        if (status != RegStatus::Ok)
            return status;
        if (values == 0)
            return RegStatus::Ok;
        if ((status = key.EnumValue(0, name)) != RegStatus::Ok)
            return status;
        if ((status = key.DeleteValue(name.c_str())) != RegStatus::Ok)
            return status;
    }
}

// --- helpers --------------------------------------------------------------------------------

bool CIniFile_Reg::OpenValueHolder(const char* section, const char* listKey,
                                   RegistryKey& out) const {
    return ValueHolder(section, listKey, false, out);
}

bool CIniFile_Reg::CreateValueHolder(const char* section, const char* listKey,
                                     RegistryKey& out) const {
    return ValueHolder(section, listKey, true, out);
}

bool CIniFile_Reg::ValueHolder(const char* section, const char* listKey, bool create,
                               RegistryKey& out) const {
    if (!m_hKey.IsOpen() || !IsSubKeyName(section) ||
        m_hKey.SubKey(section, create, out) != RegStatus::Ok)
        return false;
    if (!listKey)
        return true;
    if (!IsSubKeyName(listKey))
        return false;
    RegistryKey list;
    if (out.SubKey(listKey, create, list) != RegStatus::Ok)
        return false;
    out = std::move(list);
    return true;
}

void CIniFile_Reg::ReadText(const char* section, const char* listKey, const char* name,
                            const std::string& def, std::string& out, int* found) const {
    RegistryKey holder;
    uint32_t type = 0;
    std::vector<uint8_t> data;
    if (!OpenValueHolder(section, listKey, holder) ||
        holder.QueryValue(name, type, data) != RegStatus::Ok || type != platform::REG_SZ ||
        data.size() > kTextBuffer) {
        out = def;
        SetFound(found, 0);
        return;
    }
    // The text ends at its terminating zero (or with the data, if a writer left it off).
    size_t n = 0;
    while (n < data.size() && data[n] != 0)
        ++n;
    out.assign(reinterpret_cast<const char*>(data.data()), n);
    SetFound(found, 1);
}

bool CIniFile_Reg::ReadNumber(const char* section, const char* listKey, const char* name,
                              uint64_t& value, uint32_t& type) const {
    RegistryKey holder;
    std::vector<uint8_t> data;
    if (!OpenValueHolder(section, listKey, holder) ||
        holder.QueryValue(name, type, data) != RegStatus::Ok)
        return false;
    if (!(type == platform::REG_DWORD && data.size() == 4) &&
        !(type == platform::REG_QWORD && data.size() == 8))
        return false;
    value = GetLittleEndian(data);
    return true;
}

uint32_t CIniFile_Reg::ReadUInt32(const char* section, const char* listKey, const char* name,
                                  uint32_t def, int* found) const {
    uint64_t value = 0;
    uint32_t type = 0;
    if (!ReadNumber(section, listKey, name, value, type) || value > kMaxDword) {
        SetFound(found, 0);
        return def;
    }
    SetFound(found, 1);
    return static_cast<uint32_t>(value);
}

uint64_t CIniFile_Reg::ReadUInt64(const char* section, const char* listKey, const char* name,
                                  uint64_t def, int* found) const {
    uint64_t value = 0;
    uint32_t type = 0;
    if (!ReadNumber(section, listKey, name, value, type)) {
        SetFound(found, 0);
        return def;
    }
    SetFound(found, 1);
    return value;
}

uint64_t CIniFile_Reg::ReadBinary(const char* section, const char* listKey, const char* name,
                                  const void* def, uint64_t defLen, void* dst, uint64_t dstLen,
                                  int* found) const {
    if (!dst)
        dstLen = 0; // nothing can be written to a missing buffer
    RegistryKey holder;
    uint32_t type = 0;
    std::vector<uint8_t> data;
    if (dstLen <= kMaxDword && section && OpenValueHolder(section, listKey, holder) &&
        holder.QueryValue(name, type, data) == RegStatus::Ok && type == platform::REG_BINARY &&
        data.size() <= dstLen) {
        if (!data.empty())
            std::memcpy(dst, data.data(), data.size());
        SetFound(found, 1);
        return data.size();
    }
    const uint64_t n = def ? std::min(defLen, dstLen) : 0;
    if (n > 0)
        std::memcpy(dst, def, static_cast<size_t>(n));
    SetFound(found, 0);
    return n;
}

IniResult CIniFile_Reg::WriteTyped(const char* section, const char* listKey, const char* name,
                                   uint32_t type, const void* data, uint64_t len) {
    if (len > kMaxDword)
        return IniResult::Write;
    if (!data)
        len = 0; // a missing block is stored as an empty one
    RegistryKey holder;
    if (!name || !CreateValueHolder(section, listKey, holder))
        return IniResult::Write;
    return FromRegStatus(holder.SetValue(name, type, data, static_cast<size_t>(len)),
                         IniResult::Write);
}
