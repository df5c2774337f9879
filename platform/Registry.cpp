#include "platform/Registry.h"

#include "platform/AppDataFolder.h"
#include "platform/RegistryStore.h"
#include "platform/UserFolders.h"

#include <memory>
#include <utility>

namespace platform {

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
    return XdgFolder("XDG_CONFIG_HOME", ".config") + "/kavrindemo-registry";
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
