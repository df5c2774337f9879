// List values: one value text holding items "name=value" separated by commas, for example
// ObjectID=12, DlgID=3, Label="a b". Names compare without regard to ASCII case.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// True for the 66 characters written without quotes: letters, digits, "_-." and 0xB0.
bool IniIsListKeyChar(unsigned char c);

// True when `token` (an item name or value) written in canonical form reads back as itself: it
// holds no double quote (there is no escape for one inside quotes) and no line break (which
// ends a quoted token or the line).
bool IniListCanHold(std::string_view token);

// Finds `item`: true with its value (quotes removed), false when the item is missing or the
// list is malformed.
[[nodiscard]] bool IniListFind(std::string_view list, std::string_view item, std::string& value);

// The item names in order; false (and no names) when the list is malformed or empty.
[[nodiscard]] bool IniListNames(std::string_view list, std::vector<std::string>& names);

// Builds the list with `item` set to `value` in canonical form ("a=1, b=2"); the item keeps its
// place (taking the first place of duplicates and nameless items, which disappear) or goes to
// the end. False when the list is malformed.
[[nodiscard]] bool IniListSet(std::string_view list, std::string_view item, std::string_view value,
                              std::string& out);

// Builds the list without any item named `item`. False when the list is malformed.
[[nodiscard]] bool IniListDelete(std::string_view list, std::string_view item, std::string& out);
