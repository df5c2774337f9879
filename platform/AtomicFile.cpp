#include "platform/AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// The file a write to `path` must replace: the end of a chain of symbolic links.
std::string ResolveTarget(const std::string& path) {
    std::string target = path;
    for (int hops = 0; hops < 40; ++hops) { // the kernel's own link limit
        char buf[PATH_MAX];
        const ssize_t n = readlink(target.c_str(), buf, sizeof buf - 1);
        if (n < 0)
            return target;
        std::string link(buf, static_cast<size_t>(n));
        if (link.empty() || link[0] != '/') {
            const size_t slash = target.rfind('/');
            link =
                (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + link;
        }
        target = link;
    }
    return target;
}

// Creates a new temporary file beside `target` with mode 0666, so that the kernel applies the
// process's umask (reading the umask would change it for every thread for a moment).
int CreateTemporary(const std::string& target, std::string& temp) {
    static std::atomic<uint32_t> s_counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[48];
        std::snprintf(suffix, sizeof suffix, ".%ld.%u.tmp", static_cast<long>(getpid()),
                      s_counter.fetch_add(1) ^ static_cast<uint32_t>(std::random_device{}()));
        temp = target + suffix;
        const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

bool WriteAll(int fd, std::string_view content) {
    while (!content.empty()) {
        const ssize_t n = write(fd, content.data(), content.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        content.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// Flushes the folder entry so the rename itself survives a power loss.
void SyncFolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

} // namespace

AtomicWriteResult ReplaceFileAtomically(const std::string& path, std::string_view content) {
    if (path.empty())
        return AtomicWriteResult::CannotCreate;
    const std::string target = ResolveTarget(path);
    std::string temp;
    const int fd = CreateTemporary(target, temp);
    if (fd < 0)
        return AtomicWriteResult::CannotCreate;

    // An existing file keeps its mode.
    struct stat st {};
    bool ok =
        stat(target.c_str(), &st) != 0 || fchmod(fd, st.st_mode & 07777) == 0 || errno == EPERM;
    ok = ok && WriteAll(fd, content) && fsync(fd) == 0;
    ok = (close(fd) == 0) && ok;
    ok = ok && rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        unlink(temp.c_str());
        return AtomicWriteResult::WriteFailed;
    }
    SyncFolderOf(target);
    return AtomicWriteResult::Ok;
}

} // namespace platform
