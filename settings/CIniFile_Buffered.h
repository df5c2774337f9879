// CIniFile_Buffered: a settings document held in memory, read by Load and written by Save of
// the concrete store (a text file or a memory block).
#pragma once

#include "settings/CIniFile.h"
#include "settings/IniDocument.h"
#include "settings/IniLineSource.h"

#include <functional>
#include <string_view>

class CIniFile_Buffered : public CIniFile {
public:
    uint32_t GetSectionCount() override;
    uint32_t GetSectionName(uint64_t index, char* dst, uint64_t len) override;
    uint32_t SectionExists(const char* section) override;
    uint32_t GetKeyCount(const char* section) override;
    uint32_t GetKeyName(const char* section, uint64_t index, char* dst, uint64_t len) override;
    uint32_t KeyExists(const char* section, const char* key) override;
    uint32_t Clear() override;
    uint32_t DeleteSection(const char* section) override;
    uint32_t DeleteKey(const char* section, const char* key) override;

    void ReadValue(const char* section, const char* key, const std::string& def, std::string& out,
                   int* found) override;
    uint32_t WriteValue(const char* section, const char* key, const char* value) override;

protected:
    // Empties the document and parses `source` into it; 0 or INI_E_SYNTAX.
    uint32_t ParseFrom(IniLineSource& source);
    // Hands every line of the document to `writeLine` (without line breaks).
    bool WriteTo(const std::function<bool(std::string_view)>& writeLine) const;

private:
    IniEntry* FindSection(std::string_view name);
    IniDocument m_doc;
};
