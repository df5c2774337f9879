#include "platform/UserFolders.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace platform {

std::string EnvOrEmpty(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string HomeFolder() {
    std::string home = EnvOrEmpty("HOME");
    if (home.empty()) {
        const passwd* pw = getpwuid(getuid());
        home = (pw && pw->pw_dir) ? std::string(pw->pw_dir) : std::string("/");
    }
    return WithoutTrailingSlash(home);
}

std::string WithoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string XdgFolder(const char* variable, const char* belowHome) {
    const std::string value = EnvOrEmpty(variable);
    if (!value.empty() && value.front() == '/')
        return WithoutTrailingSlash(value);
    const std::string home = HomeFolder();
    return (home == "/" ? std::string() : home) + "/" + belowHome;
}

} // namespace platform
