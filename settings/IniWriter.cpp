#include "settings/IniWriter.h"

#include <string>

bool IniWrite(const IniDocument& doc, const std::function<bool(std::string_view)>& writeLine) {
    std::string text;
    for (const IniEntry& entry : doc) {
        if (entry.kind == IniKind::Raw) {
            if (!writeLine(entry.text))
                return false;
            continue;
        }
        text.assign("[").append(entry.text).append("]");
        if (!writeLine(text))
            return false;
        for (const IniLine& line : entry.lines) {
            if (line.kind == IniKind::Raw) {
                if (!writeLine(line.text))
                    return false;
                continue;
            }
            text.assign(line.text).append("=").append(line.value);
            if (!writeLine(text))
                return false;
        }
    }
    return true;
}
