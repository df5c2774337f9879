// Where the running program lives, and the project's library folder beside it.
#pragma once

#include <string>

namespace platform {

// The executable's own path (/proc/self/exe); empty if it cannot be read.
std::string ExecutablePath();

// The executable's folder without a trailing slash; empty if unknown.
std::string ExecutableFolder();

// Finds `fileName` beside the program: in the executable's folder, else in a "lib" folder next
// to it or next to one of its three nearest parent folders. That covers an installed tree
// (prefix/bin/program, prefix/lib/) and the build tree, where every shared library lands in
// build/<preset>/lib/ and programs sit up to two levels below build/<preset>/. Returns the full
// path of the first match, empty when there is none.
std::string FindBesideProgram(const std::string& fileName);

} // namespace platform
