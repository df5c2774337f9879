#include "settings/CIniFile_Fast.h"

#include "platform/AtomicFile.h"

#include <cstdio>
#include <memory>
#include <sys/stat.h>

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

} // namespace

uint32_t CIniFile_Fast::Load() {
    FilePtr file(std::fopen(m_strFileName.c_str(), "rb"));
    if (!file)
        return INI_E_OPEN;
    struct stat st {};
    if (fstat(fileno(file.get()), &st) != 0 || S_ISDIR(st.st_mode))
        return INI_E_OPEN;
    IniFileLineSource source(file.get());
    const uint32_t result = ParseFrom(source);
    // A read error is not the end of the file: the document would silently miss settings.
    if (source.Failed())
        return INI_E_OPEN;
    return result;
}

uint32_t CIniFile_Fast::Save() {
    std::string text;
    WriteTo([&text](std::string_view line) {
        text.append(line).append("\r\n");
        return true;
    });
    switch (platform::ReplaceFileAtomically(m_strFileName, text)) {
    case platform::AtomicWriteResult::Ok:
        return 0;
    case platform::AtomicWriteResult::CannotCreate:
        return INI_E_OPEN;
    case platform::AtomicWriteResult::WriteFailed:
        break;
    }
    return INI_E_WRITE;
}
