// Where the running program lives, and the project's library folder beside it.
#pragma once

#include <string>

namespace platform {

// The executable's own path (/proc/self/exe); empty if it cannot be read.
std::string ExecutablePath();

// The executable's folder without a trailing slash; empty if unknown.
std::string ExecutableFolder();

// Finds `fileName` beside the program: in the executable's folder, else in the library folder
// next to it or next to one of its three nearest parent folders, where a library folder is
// "lib/kavrindemo" (an installed tree: prefix/bin/program, prefix/lib/kavrindemo/) or "lib" (the
// build tree, where every shared library lands in build/<preset>/lib/ and programs sit up to two
// levels below build/<preset>/). Returns the full path of the first match, empty when there is
// none.
std::string FindBesideProgram(const std::string& fileName);

// The same search from `programFolder` (absolute, without a trailing slash) instead of the
// executable's folder.
std::string FindBesideFolder(const std::string& programFolder, const std::string& fileName);

} // namespace platform
