// The in-memory document of the text stores: top-level entries in file order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class IniKind : uint8_t {
    Entry = 0, // a section, or a key line inside a section
    Raw = 1,   // a line kept as read: comment, blank line, or a line that ended a section
};

// A line inside a section: a key line (text = key, value) or a raw line (text = whole line).
struct IniLine {
    IniKind kind = IniKind::Entry;
    std::string text;
    std::string value;
};

// A top-level entry: a section (text = name, with its lines) or a raw line (text = line).
struct IniEntry {
    IniKind kind = IniKind::Entry;
    std::string text;
    std::vector<IniLine> lines;
};

using IniDocument = std::vector<IniEntry>;
