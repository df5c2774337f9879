#include "platform/Registry.h"

#include "platform/AppDataFolder.h"
#include "platform/RegistryStore.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace platform {

namespace {

std::string EnvOrEmpty(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string WithoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string ConfigHome() {
    std::string folder = EnvOrEmpty("XDG_CONFIG_HOME");
    if (!folder.empty())
        return WithoutTrailingSlash(folder);
    std::string home = EnvOrEmpty("HOME");
    if (home.empty()) {
        const passwd* pw = getpwuid(getuid());
        home = (pw && pw->pw_dir) ? std::string(pw->pw_dir) : std::string("/");
    }
    return WithoutTrailingSlash(home) + "/.config";
}

} // namespace

const char* Registry::RootName(RegRoot root) {
    switch (root) {
    case RegRoot::ClassesRoot:
        return "HKEY_CLASSES_ROOT";
    case RegRoot::CurrentConfig:
        return "HKEY_CURRENT_CONFIG";
    case RegRoot::CurrentUser:
        return "HKEY_CURRENT_USER";
    case RegRoot::LocalMachine:
        return "HKEY_LOCAL_MACHINE";
    case RegRoot::Users:
        return "HKEY_USERS";
    }
    return "HKEY_CURRENT_USER";
}

std::string Registry::Folder() {
    const std::string folder = EnvOrEmpty("KAVRIN_REGISTRY_DIR");
    if (!folder.empty())
        return WithoutTrailingSlash(folder);
    return ConfigHome() + "/kavrindemo-registry";
}

std::string Registry::FilePath(RegRoot root) {
    return Folder() + "/" + RootName(root) + ".db";
}

RegStatus Registry::OpenRoot(RegRoot root, RegistryKey& out) {
    if (!MakeFolders(Folder()))
        return RegStatus::BadStore;
    RegStatus status = RegStatus::Ok;
    std::shared_ptr<RegistryStore> store = RegistryStore::Open(FilePath(root), status);
    if (!store)
        return status;
    out = RegistryKey(std::move(store), RegistryStore::kRootId);
    return RegStatus::Ok;
}

} // namespace platform
