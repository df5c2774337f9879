// Where the log sinks keep their files.
#pragma once

#include <string>

namespace pemdebug {

// Name of the file of a sink that was never named.
constexpr const char* DEFAULT_SINK_NAME = "PemDebug";

// $XDG_STATE_HOME/kavrindemo, else ~/.local/state/kavrindemo (HOME from the environment, else
// the password database). Empty or relative values of XDG_STATE_HOME count as unset. The folder
// may not exist yet.
std::string LogFolder();

// The log file of the sink `sinkName` in `folder`: "<name>.log". An empty name gives the default
// name; '/' and control characters become '_' and the name is cut to 200 bytes, so the file
// always lies directly in `folder`.
std::string LogFilePath(const std::string& folder, const std::string& sinkName);

} // namespace pemdebug
