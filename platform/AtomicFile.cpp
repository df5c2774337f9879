#include "platform/AtomicFile.h"

#include <atomic>
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
    // Closes now and reports whether the close succeeded (a late write error shows here).
    bool Close() {
        const int fd = m_fd;
        m_fd = -1;
        return fd < 0 || close(fd) == 0;
    }

private:
    int m_fd;
};

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

bool WriteAll(int fd, std::string_view bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Creates a new file beside `path` with a name no other writer uses (this process id and a
// counter); gives up after a few names that are taken.
int CreateTemporary(const std::string& path, std::string& tempPath) {
    static std::atomic<unsigned> s_counter{0};
    for (int attempt = 0; attempt < 64; ++attempt) {
        tempPath = path + ".tmp" + std::to_string(getpid()) + "." + std::to_string(s_counter++);
        const int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

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

bool ReplaceFileAtomically(const std::string& path, std::string_view bytes) {
    std::string tempPath;
    Fd fd(CreateTemporary(path, tempPath));
    if (fd.Get() < 0)
        return false;

    // A replaced file keeps its permission bits; a new one gets 0666 less the umask from open.
    struct stat old {};
    const bool keepMode = stat(path.c_str(), &old) == 0;
    const bool written = WriteAll(fd.Get(), bytes) &&
                         (!keepMode || fchmod(fd.Get(), old.st_mode & 07777) == 0) &&
                         fsync(fd.Get()) == 0 && fd.Close();
    if (!written || rename(tempPath.c_str(), path.c_str()) != 0) {
        unlink(tempPath.c_str());
        return false;
    }
    // Make the rename itself durable; the new content is in place whatever this reports.
    Fd folder(open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Get() >= 0)
        fsync(folder.Get());
    return true;
}

} // namespace platform
