// An advisory lock between processes (and between threads of one process) on a lock file,
// held for the lifetime of the object.
#pragma once

#include <string>

namespace platform {

class FileLock {
public:
    enum class Mode { Shared, Exclusive };

    // Opens (creating it when missing, mode 0666 less the umask) the lock file and waits for
    // the lock. When the file cannot be created, an existing one is opened for reading.
    FileLock(const std::string& lockPath, Mode mode);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool IsLocked() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

} // namespace platform
