// Writes a document as settings text, line by line.
#pragma once

#include "settings/IniDocument.h"

#include <functional>
#include <string_view>

// Calls `writeLine` for every line of the document in order, without the line break: raw lines
// as their text, sections as "[name]", key lines as "key=value". Stops and returns false as soon
// as `writeLine` returns false.
[[nodiscard]] bool IniWrite(const IniDocument& doc,
                            const std::function<bool(std::string_view)>& writeLine);
