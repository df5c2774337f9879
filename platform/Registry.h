// The hierarchical settings store that stands in for the Windows registry.
//
// Each predefined root is one SQLite database "<root name>.db" (for example
// "HKEY_CURRENT_USER.db") in Registry::Folder(). Keys and values live in two tables:
//   keys(id, parent, name, fold, depth)          one row per key; the root is id 1
//   vals(key, name, fold, type, data)            one row per value of key `key`
// `name` keeps the first spelling, `fold` is the name with ASCII letters in upper case and is
// what lookups and the enumeration order use. Every change is one transaction; the database
// runs in WAL mode with a busy timeout, so several processes may use a root at once.
#pragma once

#include "platform/RegistryKey.h"
#include "platform/RegistryTypes.h"

#include <string>

namespace platform {

class Registry {
public:
    // "HKEY_CLASSES_ROOT", "HKEY_CURRENT_CONFIG", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE",
    // "HKEY_USERS".
    static const char* RootName(RegRoot root);
    // KAVRIN_REGISTRY_DIR, else $XDG_CONFIG_HOME/kavrindemo-registry, else
    // ~/.config/kavrindemo-registry. Empty values count as unset.
    static std::string Folder();
    static std::string FilePath(RegRoot root);
    // Opens the root's database (creating the folder and the file on first use) and hands out
    // its top key. A file that is not a store of ours, or is damaged, is left untouched and
    // gives BadStore.
    [[nodiscard]] static RegStatus OpenRoot(RegRoot root, RegistryKey& out);
};

} // namespace platform
