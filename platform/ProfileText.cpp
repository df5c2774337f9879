#include "platform/ProfileText.h"

namespace platform {

namespace {

constexpr size_t npos = std::string::npos;

char FoldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

} // namespace

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i]))
            return false;
    }
    return true;
}

std::string_view TrimBlanks(std::string_view text) {
    size_t begin = 0;
    while (begin < text.size() && IsBlank(text[begin]))
        ++begin;
    size_t end = text.size();
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

ProfileText::ProfileText(std::string_view bytes) {
    // Each pass of the loop takes one line and moves past its break, so it ends with the text.
    size_t pos = 0;
    while (pos < bytes.size()) {
        const size_t brk = bytes.find_first_of("\r\n", pos);
        if (brk == std::string_view::npos) {
            m_lines.push_back(Classify(std::string(bytes.substr(pos))));
            break;
        }
        m_lines.push_back(Classify(std::string(bytes.substr(pos, brk - pos))));
        pos = brk + 1;
        if (bytes[brk] == '\r' && pos < bytes.size() && bytes[pos] == '\n')
            ++pos;
    }
}

ProfileText::Line ProfileText::Classify(std::string text) {
    Line line;
    line.text = std::move(text);
    const std::string_view all(line.text);
    auto place = [&all](std::string_view part, uint32_t& at, uint32_t& len) {
        at = static_cast<uint32_t>(part.data() - all.data());
        len = static_cast<uint32_t>(part.size());
    };
    // A zero byte ends what the line says.
    const std::string_view trimmed = TrimBlanks(all.substr(0, all.find('\0')));
    if (trimmed.empty())
        return line;
    if (trimmed.front() == '[') {
        std::string_view name = trimmed.substr(1);
        name = name.substr(0, name.find(']'));
        line.kind = Kind::Header;
        place(TrimBlanks(name), line.nameAt, line.nameLen);
    } else if (trimmed.front() == ';') {
        line.kind = Kind::Comment;
    } else if (const size_t eq = trimmed.find('='); eq != std::string_view::npos) {
        line.kind = Kind::Key;
        place(TrimBlanks(trimmed.substr(0, eq)), line.nameAt, line.nameLen);
        place(TrimBlanks(trimmed.substr(eq + 1)), line.valueAt, line.valueLen);
    } else {
        line.kind = Kind::Bare;
        place(trimmed, line.nameAt, line.nameLen);
    }
    return line;
}

size_t ProfileText::FindSection(std::string_view section) const {
    const std::string_view wanted = TrimBlanks(section);
    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].kind == Kind::Header && EqualNoCase(m_lines[i].Name(), wanted))
            return i;
    }
    return npos;
}

size_t ProfileText::SectionEnd(size_t header) const {
    size_t end = header + 1;
    while (end < m_lines.size() && m_lines[end].kind != Kind::Header)
        ++end;
    return end;
}

std::pair<size_t, size_t> ProfileText::SectionBody(std::string_view section) const {
    const size_t header = FindSection(section);
    if (header == npos)
        return {0, 0};
    return {header + 1, SectionEnd(header)};
}

size_t ProfileText::FindKey(size_t header, std::string_view key) const {
    const std::string_view wanted = TrimBlanks(key);
    const size_t end = SectionEnd(header);
    for (size_t i = header + 1; i < end; ++i) {
        if (m_lines[i].kind == Kind::Key && EqualNoCase(m_lines[i].Name(), wanted))
            return i;
    }
    return npos;
}

std::vector<std::string> ProfileText::SectionNames() const {
    std::vector<std::string> names;
    for (const Line& line : m_lines) {
        if (line.kind == Kind::Header && line.nameLen != 0)
            names.emplace_back(line.Name());
    }
    return names;
}

std::vector<std::string> ProfileText::SectionEntries(std::string_view section) const {
    std::vector<std::string> entries;
    const auto [first, end] = SectionBody(section);
    for (size_t i = first; i < end; ++i) {
        const Line& line = m_lines[i];
        if (line.kind == Kind::Key)
            entries.push_back(std::string(line.Name()) + "=" + std::string(line.Value()));
        else if (line.kind == Kind::Bare)
            entries.emplace_back(line.Name());
    }
    return entries;
}

std::vector<std::string> ProfileText::KeyNames(std::string_view section) const {
    std::vector<std::string> names;
    const auto [first, end] = SectionBody(section);
    for (size_t i = first; i < end; ++i) {
        if (m_lines[i].kind == Kind::Key && m_lines[i].nameLen != 0)
            names.emplace_back(m_lines[i].Name());
    }
    return names;
}

bool ProfileText::FindValue(std::string_view section, std::string_view key,
                            std::string& value) const {
    const size_t header = FindSection(section);
    if (header == npos)
        return false;
    const size_t line = FindKey(header, key);
    if (line == npos)
        return false;
    value = m_lines[line].Value();
    return true;
}

bool ProfileText::IsValidSectionName(std::string_view section) {
    return !TrimBlanks(section).empty() && !HasLineBreak(section) &&
           section.find(']') == std::string_view::npos &&
           section.find('\0') == std::string_view::npos;
}

bool ProfileText::IsValidKeyName(std::string_view key) {
    const std::string_view trimmed = TrimBlanks(key);
    return !trimmed.empty() && trimmed.front() != '[' && trimmed.front() != ';' &&
           !HasLineBreak(key) && key.find('=') == std::string_view::npos &&
           key.find('\0') == std::string_view::npos;
}

bool ProfileText::IsValidValue(std::string_view value) {
    return !HasLineBreak(value) && value.find('\0') == std::string_view::npos;
}

bool ProfileText::IsValidEntry(std::string_view entry) {
    const std::string_view trimmed = TrimBlanks(entry);
    return IsValidValue(entry) && (trimmed.empty() || trimmed.front() != '[');
}

void ProfileText::AppendSection(std::string_view section, const std::vector<std::string>& lines) {
    if (!m_lines.empty() && m_lines.back().kind != Kind::Blank)
        m_lines.push_back(Classify(std::string()));
    m_lines.push_back(Classify("[" + std::string(TrimBlanks(section)) + "]"));
    for (const std::string& text : lines)
        m_lines.push_back(Classify(text));
}

bool ProfileText::SetValue(std::string_view section, std::string_view key, std::string_view value) {
    const std::string_view name = TrimBlanks(key);
    const size_t header = FindSection(section);
    if (header == npos) {
        AppendSection(section, {std::string(name) + "=" + std::string(value)});
        return true;
    }
    const size_t found = FindKey(header, key);
    if (found != npos) {
        if (m_lines[found].Value() == TrimBlanks(value))
            return false;
        // The key keeps its stored spelling.
        m_lines[found] = Classify(std::string(m_lines[found].Name()) + "=" + std::string(value));
        return true;
    }
    // After the last line of the section that is not blank, so blank lines stay at its end.
    size_t at = SectionEnd(header);
    while (at > header + 1 && m_lines[at - 1].kind == Kind::Blank)
        --at;
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(at),
                   Classify(std::string(name) + "=" + std::string(value)));
    return true;
}

bool ProfileText::DeleteKey(std::string_view section, std::string_view key) {
    const size_t header = FindSection(section);
    if (header == npos)
        return false;
    const size_t found = FindKey(header, key);
    if (found == npos)
        return false;
    m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(found));
    return true;
}

bool ProfileText::DeleteSection(std::string_view section) {
    const size_t header = FindSection(section);
    if (header == npos)
        return false;
    m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(header),
                  m_lines.begin() + static_cast<std::ptrdiff_t>(SectionEnd(header)));
    return true;
}

bool ProfileText::ReplaceSection(std::string_view section,
                                 const std::vector<std::string>& entries) {
    const size_t header = FindSection(section);
    if (header == npos) {
        AppendSection(section, entries);
        return true;
    }
    size_t end = SectionEnd(header);
    while (end > header + 1 && m_lines[end - 1].kind == Kind::Blank)
        --end;
    std::vector<Line> lines;
    lines.reserve(entries.size());
    for (const std::string& text : entries)
        lines.push_back(Classify(text));
    m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(header + 1),
                  m_lines.begin() + static_cast<std::ptrdiff_t>(end));
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(header + 1),
                   std::make_move_iterator(lines.begin()), std::make_move_iterator(lines.end()));
    return true;
}

std::string ProfileText::Serialize() const {
    size_t size = 0;
    for (const Line& line : m_lines)
        size += line.text.size() + 2;
    std::string out;
    out.reserve(size);
    for (const Line& line : m_lines) {
        out += line.text;
        out += "\r\n";
    }
    return out;
}

} // namespace platform
