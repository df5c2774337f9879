#include "platform/ReadWholeFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Owns a file descriptor.
class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0)
            close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

ReadStatus ReadWholeFile(const std::string& path, std::string& out, size_t maxBytes) {
    out.clear();
    Fd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0)
        return errno == ENOENT ? ReadStatus::Missing : ReadStatus::Failed;
    struct stat st {};
    if (fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<unsigned long long>(st.st_size) > maxBytes)
        return ReadStatus::Failed;
    out.reserve(static_cast<size_t>(st.st_size));
    // Ends at the end of the file, or fails once more than maxBytes came in.
    char chunk[16384];
    while (true) {
        const ssize_t n = read(fd.Get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return ReadStatus::Failed;
        if (n == 0)
            break;
        if (out.size() + static_cast<size_t>(n) > maxBytes)
            return ReadStatus::Failed;
        out.append(chunk, static_cast<size_t>(n));
    }
    return ReadStatus::Ok;
}

} // namespace platform
