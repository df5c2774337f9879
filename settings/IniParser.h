// Parses settings text into a document.
#pragma once

#include "settings/IniDocument.h"
#include "settings/IniLineSource.h"

#include <cstdint>

// Appends what it reads to `doc` (the caller empties it first). Returns 0, or INI_E_SYNTAX at
// the first line that is neither a comment, a section header nor a key line; the entries parsed
// before that line stay in the document.
[[nodiscard]] uint32_t IniParse(IniLineSource& source, IniDocument& doc);
