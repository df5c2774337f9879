#include "settings/IniParser.h"

#include "settings/IniFile.h"

#include <cstring>
#include <string_view>

namespace {

constexpr std::string_view kOrdinaryDelims = "[]=# ";
constexpr std::string_view kHeaderDelims = "[]=#"; // section names may hold spaces

// Splits one line into tokens: spaces (32 only) are skipped before a token; a delimiter on its
// own is a token; otherwise a token runs up to the next delimiter.
class IniTokenizer {
public:
    void Reset(const std::string& line) {
        // A zero byte inside a line hides the rest of it.
        m_line = std::string_view(line.c_str(), std::strlen(line.c_str()));
        m_pos = 0;
    }
    std::string_view Next(std::string_view delims) {
        while (m_pos < m_line.size() && m_line[m_pos] == ' ')
            ++m_pos;
        const size_t start = m_pos;
        while (m_pos < m_line.size()) {
            if (delims.find(m_line[m_pos]) != std::string_view::npos) {
                if (m_pos == start)
                    ++m_pos;
                break;
            }
            ++m_pos;
        }
        return m_line.substr(start, m_pos - start);
    }
    std::string_view Rest() const { return m_line.substr(m_pos); }
    std::string_view Line() const { return m_line; }

private:
    std::string_view m_line;
    size_t m_pos = 0;
};

bool IsCommentMarker(std::string_view token) {
    return token.empty() || token.front() == '#' || token.front() == ';' ||
           token.substr(0, 2) == "//";
}

std::string_view TrimTrailingSpaces(std::string_view name) {
    while (!name.empty() && name.back() == ' ')
        name.remove_suffix(1);
    return name;
}

} // namespace

uint32_t IniParse(IniLineSource& source, IniDocument& doc) {
    std::string line;
    IniTokenizer tok;
    if (!source.ReadLine(line))
        return 0;
    tok.Reset(line);
    std::string_view token = tok.Next(kOrdinaryDelims);

    // Top-level mode: `token` is the first token of the current line.
    for (;;) {
        if (IsCommentMarker(token)) {
            doc.push_back(IniEntry{IniKind::Raw, std::string(tok.Line()), {}});
            if (!source.ReadLine(line))
                return 0;
            tok.Reset(line);
            token = tok.Next(kOrdinaryDelims);
            continue;
        }
        if (token != "[")
            return INI_E_SYNTAX;

        // Section header; anything after its "]" is ignored.
        const std::string_view name = TrimTrailingSpaces(tok.Next(kHeaderDelims));
        if (name.empty())
            return INI_E_SYNTAX;
        if (tok.Next(kOrdinaryDelims) != "]")
            return INI_E_SYNTAX;
        doc.push_back(IniEntry{IniKind::Entry, std::string(name), {}});
        std::vector<IniLine>& lines = doc.back().lines;

        // Section mode, until a line ends the section.
        for (;;) {
            if (!source.ReadLine(line))
                return 0;
            tok.Reset(line);
            token = tok.Next(kOrdinaryDelims);
            if (token == "[")
                break; // a new header on this line
            if (IsCommentMarker(token)) {
                lines.push_back(IniLine{IniKind::Raw, std::string(tok.Line()), {}});
                continue;
            }
            const std::string_view key = token;
            token = tok.Next(kOrdinaryDelims);
            if (token != "=")
                break; // not a key line: the section ends; the line is read at top level
            lines.push_back(IniLine{IniKind::Entry, std::string(key), std::string(tok.Rest())});
        }
    }
}
