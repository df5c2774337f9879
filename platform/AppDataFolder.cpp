#include "platform/AppDataFolder.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

std::string EnvOrEmpty(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string HomeFolder() {
    std::string home = EnvOrEmpty("HOME");
    if (!home.empty())
        return home;
    const passwd* pw = getpwuid(getuid());
    return (pw && pw->pw_dir) ? std::string(pw->pw_dir) : std::string("/");
}

std::string WithoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

std::string AppDataFolder() {
    std::string folder = EnvOrEmpty("KAVRIN_DATA_HOME");
    if (folder.empty())
        folder = EnvOrEmpty("XDG_DATA_HOME");
    if (folder.empty())
        folder = WithoutTrailingSlash(HomeFolder()) + "/.local/share";
    return WithoutTrailingSlash(folder);
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
