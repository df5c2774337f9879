// The common application-data folder: where the program keeps its settings folder.
#pragma once

#include <string>

namespace platform {

// KAVRIN_DATA_HOME, else $XDG_DATA_HOME (when absolute), else ~/.local/share. Empty values
// count as unset. No trailing slash; the folder may not
// exist yet.
std::string AppDataFolder();

// Creates the folder and its missing parents (mode 0755). True when it exists afterwards.
bool MakeFolders(const std::string& path);

} // namespace platform
