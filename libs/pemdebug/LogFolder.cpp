#include "libs/pemdebug/LogFolder.h"

#include "platform/UserFolders.h"

namespace pemdebug {

namespace {

constexpr size_t MAX_NAME_BYTES = 200;

} // namespace

std::string LogFolder() {
    const std::string base = platform::XdgFolder("XDG_STATE_HOME", ".local/state");
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
