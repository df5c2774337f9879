#include "libs/pemdebug/LogFolder.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace pemdebug {

namespace {

constexpr size_t MAX_NAME_BYTES = 200;

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

} // namespace

std::string LogFolder() {
    std::string base = EnvOrEmpty("XDG_STATE_HOME");
    if (base.empty() || base.front() != '/')
        base = WithoutTrailingSlash(HomeFolder()) + "/.local/state";
    base = WithoutTrailingSlash(base);
    return (base == "/" ? std::string() : base) + "/kavrindemo";
}

std::string LogFilePath(const std::string& folder, const std::string& sinkName) {
    std::string name = sinkName.empty() ? std::string(DEFAULT_SINK_NAME) : sinkName;
    if (name.size() > MAX_NAME_BYTES)
        name.resize(MAX_NAME_BYTES);
    for (char& c : name) {
        if (c == '/' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '_';
    }
    return folder + "/" + name + ".log";
}

} // namespace pemdebug
