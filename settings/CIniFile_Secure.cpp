#include "settings/CIniFile_Secure.h"

#include "platform/MultiSz.h"
#include "platform/Profile.h"
#include "platform/ProfileText.h"

#include <cstring>
#include <string_view>
#include <vector>

namespace {

std::vector<std::string> SectionNames(const std::string& file) {
    std::vector<char> buf(CIniFile_Secure::kNamesBuffer);
    platform::Profile(file).GetSectionNames(buf.data(), CIniFile_Secure::kNamesBuffer);
    return platform::SplitMultiSz(buf.data(), CIniFile_Secure::kNamesBuffer);
}

std::vector<std::string> SectionEntries(const std::string& file, const char* section,
                                        uint32_t size) {
    std::vector<char> buf(size);
    platform::Profile(file).GetSection(section, buf.data(), size);
    return platform::SplitMultiSz(buf.data(), size);
}

// The name part of a section entry: the characters before its first "=".
std::string_view EntryName(const std::string& entry) {
    return std::string_view(entry).substr(0, entry.find('='));
}

// At most len - 1 characters and a zero; the number of characters copied.
uint32_t CopyOut(std::string_view text, char* dst, uint64_t len) {
    const size_t n = text.size() < len - 1 ? text.size() : static_cast<size_t>(len - 1);
    std::memcpy(dst, text.data(), n);
    dst[n] = '\0';
    return static_cast<uint32_t>(n);
}

} // namespace

uint32_t CIniFile_Secure::GetType() {
    return 1;
}

uint32_t CIniFile_Secure::Load() {
    return INI_OK;
}

uint32_t CIniFile_Secure::Save() {
    return INI_OK;
}

uint32_t CIniFile_Secure::GetSectionCount() {
    return static_cast<uint32_t>(SectionNames(m_strFileName).size());
}

uint32_t CIniFile_Secure::GetSectionName(uint64_t index, char* dst, uint64_t len) {
    if (!dst || len == 0)
        return INI_E_ARG;
    const std::vector<std::string> names = SectionNames(m_strFileName);
    if (index >= names.size())
        return 0;
    return CopyOut(names[index], dst, len);
}

uint32_t CIniFile_Secure::SectionExists(const char* section) {
    if (!section)
        return 0;
    for (const std::string& name : SectionNames(m_strFileName)) {
        if (platform::EqualNoCase(name, section))
            return 1;
    }
    return 0;
}

uint32_t CIniFile_Secure::GetKeyCount(const char* section) {
    if (!section)
        return INI_E_ARG;
    return static_cast<uint32_t>(SectionEntries(m_strFileName, section, kEntriesBuffer).size());
}

uint32_t CIniFile_Secure::GetKeyName(const char* section, uint64_t index, char* dst, uint64_t len) {
    if (!section || !dst || len == 0)
        return INI_E_ARG;
    const std::vector<std::string> entries = SectionEntries(m_strFileName, section, kNamesBuffer);
    if (index >= entries.size())
        return 0;
    return CopyOut(EntryName(entries[index]), dst, len);
}

uint32_t CIniFile_Secure::KeyExists(const char* section, const char* key) {
    if (!section || !key)
        return 0;
    for (const std::string& entry : SectionEntries(m_strFileName, section, kEntriesBuffer)) {
        if (platform::EqualNoCase(EntryName(entry), key))
            return 1;
    }
    return 0;
}

uint32_t CIniFile_Secure::Clear() {
    return platform::Profile(m_strFileName).DeleteFile() ? INI_OK : INI_E_WRITE;
}

uint32_t CIniFile_Secure::DeleteSection(const char* section) {
    if (!section)
        return INI_E_ARG;
    return platform::Profile(m_strFileName).WriteSection(section, nullptr) ? INI_OK : INI_E_WRITE;
}

uint32_t CIniFile_Secure::DeleteKey(const char* section, const char* key) {
    // A null key would make the profile call delete the whole section.
    if (!section || !key)
        return INI_E_ARG;
    return platform::Profile(m_strFileName).WriteString(section, key, nullptr) ? INI_OK
                                                                               : INI_E_WRITE;
}

void CIniFile_Secure::ReadValue(const char* section, const char* key, const std::string& def,
                                std::string& out, int* found) {
    // Null names would make the profile call return name lists instead of a value.
    if (!section || !key) {
        out = def;
        if (found)
            *found = 0;
        return;
    }
    std::vector<char> buf(kValueBuffer);
    const uint32_t n = platform::Profile(m_strFileName)
                           .GetString(section, key, def.c_str(), buf.data(), kValueBuffer);
    out.assign(buf.data(), n);
    if (found)
        *found = out != def ? 1 : 0;
}

uint32_t CIniFile_Secure::WriteValue(const char* section, const char* key, const char* value) {
    // A null key would delete the section; a null value deletes the key, as the profile call
    // does.
    if (!section || !key)
        return INI_E_ARG;
    // The profile call refuses names and values that would not read back as written; any
    // other refusal is a file that cannot be read or replaced.
    if (!platform::ProfileText::IsValidSectionName(section) ||
        !platform::ProfileText::IsValidKeyName(key) ||
        (value && !platform::ProfileText::IsValidValue(value)))
        return INI_E_ARG;
    return platform::Profile(m_strFileName).WriteString(section, key, value) ? INI_OK : INI_E_WRITE;
}
