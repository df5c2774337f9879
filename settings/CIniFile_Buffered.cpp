#include "settings/CIniFile_Buffered.h"

#include "settings/IniParser.h"
#include "settings/IniText.h"
#include "settings/IniWritable.h"
#include "settings/IniWriter.h"

#include <algorithm>

namespace {

bool IsKeyLine(const IniLine& line) {
    return line.kind == IniKind::Entry;
}

IniLine* FindKey(IniEntry& section, std::string_view key) {
    for (IniLine& line : section.lines) {
        if (IsKeyLine(line) && IniEqualNoCase(line.text, key))
            return &line;
    }
    return nullptr;
}

} // namespace

IniEntry* CIniFile_Buffered::FindSection(std::string_view name) {
    for (IniEntry& entry : m_doc) {
        if (entry.kind == IniKind::Entry && IniEqualNoCase(entry.text, name))
            return &entry;
    }
    return nullptr;
}

uint32_t CIniFile_Buffered::ParseFrom(IniLineSource& source) {
    m_doc.clear();
    return IniParse(source, m_doc);
}

bool CIniFile_Buffered::WriteTo(const std::function<bool(std::string_view)>& writeLine) const {
    return IniWrite(m_doc, writeLine);
}

uint32_t CIniFile_Buffered::GetSectionCount() {
    return static_cast<uint32_t>(std::count_if(
        m_doc.begin(), m_doc.end(), [](const IniEntry& e) { return e.kind == IniKind::Entry; }));
}

uint32_t CIniFile_Buffered::GetSectionName(uint64_t index, char* dst, uint64_t len) {
    if (m_doc.empty())
        return INI_E_EMPTY;
    if (!dst || len == 0)
        return INI_E_ARG;
    uint64_t n = 0;
    for (const IniEntry& entry : m_doc) {
        if (entry.kind != IniKind::Entry)
            continue;
        if (n++ == index)
            return IniCopyOut(entry.text, dst, len);
    }
    return 0;
}

uint32_t CIniFile_Buffered::SectionExists(const char* section) {
    return (section && FindSection(section)) ? 1 : 0;
}

uint32_t CIniFile_Buffered::GetKeyCount(const char* section) {
    const IniEntry* found = section ? FindSection(section) : nullptr;
    if (!found)
        return 0;
    return static_cast<uint32_t>(
        std::count_if(found->lines.begin(), found->lines.end(), IsKeyLine));
}

uint32_t CIniFile_Buffered::GetKeyName(const char* section, uint64_t index, char* dst,
                                       uint64_t len) {
    if (!dst || len == 0)
        return INI_E_ARG;
    const IniEntry* found = section ? FindSection(section) : nullptr;
    if (!found)
        return 0;
    uint64_t n = 0;
    for (const IniLine& line : found->lines) {
        if (!IsKeyLine(line))
            continue;
        if (n++ == index)
            return IniCopyOut(line.text, dst, len);
    }
    return 0;
}

uint32_t CIniFile_Buffered::KeyExists(const char* section, const char* key) {
    if (!section || !key)
        return 0;
    IniEntry* found = FindSection(section);
    return (found && FindKey(*found, key)) ? 1 : 0;
}

uint32_t CIniFile_Buffered::Clear() {
    m_doc.clear();
    return 0;
}

uint32_t CIniFile_Buffered::DeleteSection(const char* section) {
    if (!section)
        return 0;
    auto it = std::find_if(m_doc.begin(), m_doc.end(), [section](const IniEntry& e) {
        return e.kind == IniKind::Entry && IniEqualNoCase(e.text, section);
    });
    if (it == m_doc.end())
        return 0;
    // The section goes with the raw lines that stood right before it...
    auto first = it;
    while (first != m_doc.begin() && std::prev(first)->kind == IniKind::Raw)
        --first;
    it = m_doc.erase(first, std::next(it));
    // ...and with the raw lines ending the previous section, back to its last key line.
    if (it != m_doc.begin()) {
        std::vector<IniLine>& lines = std::prev(it)->lines;
        while (!lines.empty() && lines.back().kind == IniKind::Raw)
            lines.pop_back();
    }
    return 0;
}

uint32_t CIniFile_Buffered::DeleteKey(const char* section, const char* key) {
    if (!section || !key)
        return 0;
    IniEntry* found = FindSection(section);
    if (!found)
        return 0;
    auto& lines = found->lines;
    auto it = std::find_if(lines.begin(), lines.end(), [key](const IniLine& l) {
        return IsKeyLine(l) && IniEqualNoCase(l.text, key);
    });
    if (it != lines.end())
        lines.erase(it);
    return 0;
}

void CIniFile_Buffered::ReadValue(const char* section, const char* key, const std::string& def,
                                  std::string& out, int* found) {
    IniEntry* sec = (section && key) ? FindSection(section) : nullptr;
    const IniLine* line = sec ? FindKey(*sec, key) : nullptr;
    if (line) {
        out = line->value;
        IniSetFound(found, 1);
    } else {
        out = def;
        IniSetFound(found, 0);
    }
}

uint32_t CIniFile_Buffered::WriteValue(const char* section, const char* key, const char* value) {
    // What would not read back as written is refused, and the document stays as it was.
    const std::string_view text = IniArg(value);
    if (!section || !key || !IniIsWritableSection(section) || !IniIsWritableKey(key) ||
        !IniIsWritableValue(text))
        return INI_E_ARG;
    IniEntry* sec = FindSection(section);
    if (!sec) {
        if (!m_doc.empty())
            m_doc.push_back(IniEntry{IniKind::Raw, std::string(), {}}); // blank separator
        m_doc.push_back(IniEntry{IniKind::Entry, section, {}});
        m_doc.back().lines.push_back(IniLine{IniKind::Entry, key, std::string(text)});
        return INI_OK;
    }
    if (IniLine* line = FindKey(*sec, key)) {
        line->value.assign(text);
        return INI_OK;
    }
    // The new key goes after the last key line or non-empty raw line; blank lines that end the
    // section stay after it.
    auto& lines = sec->lines;
    size_t blanks = 0;
    while (!lines.empty() && lines.back().kind == IniKind::Raw && lines.back().text.empty()) {
        lines.pop_back();
        ++blanks;
    }
    lines.push_back(IniLine{IniKind::Entry, key, std::string(text)});
    lines.insert(lines.end(), blanks, IniLine{IniKind::Raw, std::string(), {}});
    return INI_OK;
}
