// The text of one private-profile (INI) file: its lines, what each line is, and the edits the
// private-profile calls make to it.
//
// Reading rules: a line whose first non-blank character is "[" is a section header (the name
// runs to the first "]", or to the end of the line without one); a line whose first non-blank
// character is ";" is a comment; a line with "=" is a key line (name before the first "=",
// value after it); any other non-blank line is a bare entry. Names and values lose their
// leading and trailing spaces and tabs. Section and key names compare without regard to ASCII
// case, and the first match wins: lookups use the first section of a name and the first key
// of a name in it. Lines before the first header belong to no section. A zero byte ends what a
// line says; the bytes after it are kept but never read.
//
// Edits change only the lines they concern: every other line (comments, blank lines, the exact
// spelling of untouched lines) is written back byte for byte. Lines end with LF, CR LF or CR
// when read and with CR LF when written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

class ProfileText {
public:
    ProfileText() = default;
    explicit ProfileText(std::string_view bytes);

    // The names of all sections in file order, duplicates included, nameless ones left out.
    std::vector<std::string> SectionNames() const;
    // The entries of the first section of that name: "name=value" for key lines, the text for
    // bare entries; comments and blank lines are left out. Empty for a missing section.
    std::vector<std::string> SectionEntries(std::string_view section) const;
    // The names of the key lines of the first section of that name (bare entries and
    // nameless keys left out).
    std::vector<std::string> KeyNames(std::string_view section) const;
    // The value of the first key of that name in the first section of that name.
    bool FindValue(std::string_view section, std::string_view key, std::string& value) const;

    // The edits return true when the text changed.
    // Sets the key (creating the section and the key when missing). A new key goes after the
    // last non-blank line of its section; a new section goes at the end, after a blank line.
    bool SetValue(std::string_view section, std::string_view key, std::string_view value);
    bool DeleteKey(std::string_view section, std::string_view key);
    // Removes the first section of that name: its header and every line up to the next header.
    bool DeleteSection(std::string_view section);
    // Replaces the lines of the first section of that name with `entries` (one line each),
    // keeping the blank lines that end it; creates the section when missing.
    bool ReplaceSection(std::string_view section, const std::vector<std::string>& entries);

    // Whether the edits above accept these texts: names must not be empty (after trimming) nor
    // hold a line break; a section name must not hold "]"; a key must not hold "=" nor start
    // with "[" or ";"; a value must not hold a line break; an entry line must not hold a line
    // break nor start with "[". Anything else would not read back as written.
    static bool IsValidSectionName(std::string_view section);
    static bool IsValidKeyName(std::string_view key);
    static bool IsValidValue(std::string_view value);
    static bool IsValidEntry(std::string_view entry);

    // The whole text with every line ended by CR LF.
    std::string Serialize() const;

    size_t LineCount() const { return m_lines.size(); }

private:
    enum class Kind { Blank, Comment, Header, Key, Bare };
    // Name and value are kept as places in the text: a file of many short lines costs little
    // more than its own size.
    struct Line {
        std::string text; // the line as stored, without its line break
        Kind kind = Kind::Blank;
        uint32_t nameAt = 0, nameLen = 0;   // section name, key name or trimmed bare text
        uint32_t valueAt = 0, valueLen = 0; // the trimmed value of a key line

        std::string_view Name() const { return std::string_view(text).substr(nameAt, nameLen); }
        std::string_view Value() const { return std::string_view(text).substr(valueAt, valueLen); }
    };

    static Line Classify(std::string text);
    // Index of the first header of that name, or npos.
    size_t FindSection(std::string_view section) const;
    // One past the last line of the section whose header is at `header`.
    size_t SectionEnd(size_t header) const;
    // The lines below the header of that section, [first, end); empty when there is none.
    std::pair<size_t, size_t> SectionBody(std::string_view section) const;
    size_t FindKey(size_t header, std::string_view key) const;
    void AppendSection(std::string_view section, const std::vector<std::string>& lines);

    std::vector<Line> m_lines;
};

// ASCII case-insensitive equality.
bool EqualNoCase(std::string_view a, std::string_view b);
// The text without leading and trailing spaces and tabs.
std::string_view TrimBlanks(std::string_view text);

} // namespace platform
