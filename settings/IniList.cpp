#include "settings/IniList.h"

#include "settings/IniText.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Walks one list text. Each step reads one item: name token, optional "=", value token.
class ListReader {
public:
    explicit ListReader(std::string_view text) : m_text(text) {}

    void ReadItem(std::string& name, std::string& value) {
        ReadToken(name);
        SkipBlanks();
        if (m_pos < m_text.size() && m_text[m_pos] == '=')
            ++m_pos;
        ReadToken(value);
    }
    // After an item: true at the end of the text.
    bool AtEnd() {
        SkipBlanks();
        return m_pos >= m_text.size();
    }
    // After an item: steps over the comma that must follow; false for anything else.
    bool StepOverComma() {
        SkipBlanks();
        if (m_pos >= m_text.size() || m_text[m_pos] != ',')
            return false;
        ++m_pos;
        return true;
    }

private:
    void SkipBlanks() {
        while (m_pos < m_text.size() && IsBlank(m_text[m_pos]))
            ++m_pos;
    }
    // A run of key characters, or a quoted run up to the next double quote. A double quote that
    // does not start the token is skipped; a line feed ends even a quoted token.
    void ReadToken(std::string& token) {
        token.clear();
        SkipBlanks();
        bool quoted = false;
        const size_t start = m_pos;
        while (m_pos < m_text.size()) {
            const auto c = static_cast<unsigned char>(m_text[m_pos]);
            if (IniIsListKeyChar(c)) {
                token.push_back(static_cast<char>(c));
                ++m_pos;
            } else if (c == '"') {
                ++m_pos;
                if (quoted)
                    return;
                if (m_pos - 1 == start)
                    quoted = true;
            } else if (quoted && c != '\n' && c != '\0') {
                token.push_back(static_cast<char>(c));
                ++m_pos;
            } else {
                return;
            }
        }
    }

    std::string_view m_text;
    size_t m_pos = 0;
};

bool NeedsQuotes(std::string_view token) {
    for (char c : token) {
        if (!IniIsListKeyChar(static_cast<unsigned char>(c)))
            return true;
    }
    return false;
}

void AppendToken(std::string& out, std::string_view token) {
    if (NeedsQuotes(token))
        out.append("\"").append(token).append("\"");
    else
        out.append(token);
}

void AppendItem(std::string& out, std::string_view name, std::string_view value) {
    if (!out.empty())
        out.append(", ");
    AppendToken(out, name);
    out.push_back('=');
    AppendToken(out, value);
}

} // namespace

bool IniIsListKeyChar(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '.' || c == 0xB0;
}

bool IniListCanHold(std::string_view token) {
    return token.find_first_of("\"\r\n") == std::string_view::npos;
}

bool IniListFind(std::string_view list, std::string_view item, std::string& value) {
    ListReader reader(list);
    std::string name;
    // Every round reads a non-empty name, so the walk ends within the text's length.
    for (;;) {
        reader.ReadItem(name, value);
        if (name.empty())
            return false;
        if (IniEqualNoCase(name, item))
            return true;
        if (!reader.StepOverComma())
            return false;
    }
}

bool IniListNames(std::string_view list, std::vector<std::string>& names) {
    names.clear();
    ListReader reader(list);
    std::string name, value;
    for (;;) {
        reader.ReadItem(name, value);
        if (name.empty())
            break;
        names.push_back(name);
        if (reader.AtEnd())
            return true;
        if (!reader.StepOverComma())
            break;
    }
    names.clear();
    return false;
}

bool IniListSet(std::string_view list, std::string_view item, std::string_view value,
                std::string& out) {
    out.clear();
    ListReader reader(list);
    std::string name, old;
    bool placed = false;
    for (;;) {
        reader.ReadItem(name, old);
        if (!name.empty() && !IniEqualNoCase(name, item)) {
            AppendItem(out, name, old);
        } else if (!placed) {
            AppendItem(out, item, value);
            placed = true;
        }
        if (name.empty() && old.empty())
            return true;
        if (reader.AtEnd()) {
            if (placed)
                return true;
            continue; // one more round reads an empty item and places the new one last
        }
        if (!reader.StepOverComma())
            return false;
    }
}

bool IniListDelete(std::string_view list, std::string_view item, std::string& out) {
    out.clear();
    ListReader reader(list);
    std::string name, value;
    for (;;) {
        reader.ReadItem(name, value);
        if (name.empty() && !value.empty())
            return false;
        if (!name.empty() && !IniEqualNoCase(name, item))
            AppendItem(out, name, value);
        if (reader.AtEnd())
            return true;
        if (!reader.StepOverComma())
            return false;
    }
}
