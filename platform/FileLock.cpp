#include "platform/FileLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

FileLock::FileLock(const std::string& lockPath, Mode mode) {
    int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        fd = open(lockPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    const int operation = mode == Mode::Exclusive ? LOCK_EX : LOCK_SH;
    int rc = flock(fd, operation);
    // Only a signal interrupts the wait; a handful of retries is plenty.
    for (int attempt = 0; rc != 0 && errno == EINTR && attempt < 1000; ++attempt)
        rc = flock(fd, operation);
    if (rc != 0) {
        close(fd);
        return;
    }
    m_fd = fd;
}

FileLock::~FileLock() {
    if (m_fd >= 0)
        close(m_fd); // closing the last descriptor releases the lock
}

} // namespace platform
