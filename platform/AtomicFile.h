// Replaces a file's content so that a crash, a full disk or a failed write never leaves it
// half written: the text goes to a temporary file in the same folder, is flushed to the disk,
// and is renamed over the target only when all of it was written.
#pragma once

#include <string>
#include <string_view>

namespace platform {

enum class AtomicWriteResult {
    Ok,
    CannotCreate, // the temporary file could not be made (missing folder, no permission)
    WriteFailed,  // writing, flushing or renaming failed; the target is untouched
};

// A symbolic link as `path` is followed: its target file is replaced and the link stays. A new
// file gets the usual permissions (0666 less the umask); an existing one keeps its mode. The
// temporary file is named "<target>.<pid>.<n>.tmp".
[[nodiscard]] AtomicWriteResult ReplaceFileAtomically(const std::string& path,
                                                      std::string_view content);

} // namespace platform
