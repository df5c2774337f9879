#include "libs/lumo/ReplacingFile.h"

#include "external/LumoResult.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

namespace lumo {

namespace {

constexpr int NAME_ATTEMPTS = 100;
// The target's name is cut to this many bytes inside the temporary's name, so that the
// temporary's name stays within the file system's limit (255) where the target's does.
constexpr size_t NAME_KEPT = 200;

// Six characters of [A-Za-z0-9] that differ from call to call.
std::string RandomSuffix() {
    static constexpr char CHARS[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::atomic<uint64_t> s_counter{0};
    uint64_t bits = 0;
    if (::getrandom(&bits, sizeof bits, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bits)) {
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        bits = static_cast<uint64_t>(now.tv_nsec) * 0x9E3779B97F4A7C15ull ^
               static_cast<uint64_t>(::getpid()) << 32;
    }
    bits += s_counter.fetch_add(1) * 0xBF58476D1CE4E5B9ull;
    std::string suffix(6, 'X');
    for (char& c : suffix) {
        c = CHARS[bits % (sizeof CHARS - 1)];
        bits /= sizeof CHARS - 1;
    }
    return suffix;
}

// The folder holding `path`: what comes before its last '/', "/" or ".".
std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

} // namespace

uint32_t ReplacingFile::Create(const std::string& target) {
    Discard();
    m_target = target;
    m_error.clear();
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const std::string name = target.substr(folder.size()).substr(0, NAME_KEPT);
    if (name.empty())
        return Fail(EISDIR);
    for (int attempt = 0; attempt < NAME_ATTEMPTS; ++attempt) {
        const std::string temporary = folder + "." + name + "." + RandomSuffix();
        // 0666 as a plain open would use: the umask and the folder's default ACL apply.
        m_fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd >= 0) {
            m_temporary = temporary;
            return LUMO_OK;
        }
        if (errno != EEXIST)
            break;
    }
    return Fail(errno);
}

FILE* ReplacingFile::Stream() {
    if (m_stream || m_fd < 0)
        return m_stream.get();
    const int copy = ::fcntl(m_fd, F_DUPFD_CLOEXEC, 0);
    if (copy >= 0) {
        m_stream.reset(::fdopen(copy, "wb"));
        if (!m_stream) {
            const int error = errno;
            ::close(copy);
            errno = error;
        }
    }
    if (!m_stream)
        (void)Fail(errno); // the null stream reports it
    return m_stream.get();
}

uint32_t ReplacingFile::Fail(int error) {
    m_error = "cannot write " + m_target + ": " + std::strerror(error != 0 ? error : EIO);
    if (m_errorSink)
        *m_errorSink = m_error;
    return LUMO_E_FILEWRITE;
}

bool ReplacingFile::CloseHandles() {
    int error = 0;
    if (m_stream && std::fclose(m_stream.release()) != 0)
        error = errno;
    if (m_fd >= 0 && ::close(m_fd) != 0 && error == 0)
        error = errno;
    m_fd = -1;
    errno = error;
    return error == 0;
}

uint32_t ReplacingFile::Commit() {
    if (m_fd < 0)
        return LUMO_OK;
    const bool flushed = (!m_stream || std::fflush(m_stream.get()) == 0) && ::fsync(m_fd) == 0;
    if (!flushed || !CloseHandles() || ::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        const uint32_t rc = Fail(errno);
        Discard();
        return rc;
    }
    m_temporary.clear();
    // The rename lasts only once the folder is on the disk as well. File systems that cannot
    // flush a folder say EINVAL: there is nothing to wait for then.
    const int folder = ::open(FolderOf(m_target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return Fail(errno);
    const bool synced = ::fsync(folder) == 0 || errno == EINVAL;
    const int error = errno;
    ::close(folder);
    return synced ? LUMO_OK : Fail(error);
}

void ReplacingFile::Discard() {
    // Nothing is kept of the temporary, so how its closing went does not matter.
    (void)CloseHandles();
    if (!m_temporary.empty())
        ::unlink(m_temporary.c_str());
    m_temporary.clear();
}

} // namespace lumo
