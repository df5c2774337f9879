#include "platform/AppDataFolder.h"

#include "platform/UserFolders.h"

#include <cerrno>
#include <sys/stat.h>

namespace platform {

namespace {

bool IsFolder(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

std::string AppDataFolder() {
    const std::string own = EnvOrEmpty("KAVRIN_DATA_HOME");
    if (!own.empty())
        return WithoutTrailingSlash(own);
    return XdgFolder("XDG_DATA_HOME", ".local/share");
}

bool MakeFolders(const std::string& path) {
    if (path.empty())
        return false;
    // Walk the path once, creating each missing level; the loop ends with the string.
    for (size_t pos = path.find('/', 1);; pos = path.find('/', pos + 1)) {
        const std::string level = path.substr(0, pos);
        if (!level.empty() && mkdir(level.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
        if (pos == std::string::npos)
            break;
    }
    return IsFolder(path);
}

} // namespace platform
