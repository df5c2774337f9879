// The user's folders as the environment names them.
#pragma once

#include <string>

namespace platform {

// The variable's value, or the empty text when it is unset.
std::string EnvOrEmpty(const char* name);

// HOME from the environment, else the password database, else "/"; no trailing slash.
std::string HomeFolder();

// `path` without trailing slashes ("/" stays).
std::string WithoutTrailingSlash(std::string path);

// An XDG base folder: the variable's value when it is an absolute path, else `belowHome` under
// the home folder (XDG_STATE_HOME -> ~/.local/state). No trailing slash.
std::string XdgFolder(const char* variable, const char* belowHome);

} // namespace platform
