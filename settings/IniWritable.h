// What the text stores can write so that it reads back as written. The parser ends a key at
// the first space, "[", "]", "=" or "#", takes a line starting with "#", ";" or "//" as a
// comment, ends a section name at "[", "]", "=" or "#" and drops the spaces around it, and
// ends every line at a carriage return or line feed. A name or value breaking these rules
// would be written as a line the parser rejects or reads differently, losing what follows on
// the next load, so the stores refuse it instead.
#pragma once

#include <string_view>

// Not empty; no "[", "]", "=", "#", line break; no space at either end.
bool IniIsWritableSection(std::string_view section);
// Not empty; no space, "[", "]", "=", "#", line break; not starting with ";" or "//".
bool IniIsWritableKey(std::string_view key);
// No line break; anything else stays part of the value.
bool IniIsWritableValue(std::string_view value);
