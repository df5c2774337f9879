#include "platform/ProgramFolder.h"

#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

constexpr int PARENT_LEVELS = 3;

// The library folders looked for next to the program's folder and its parents, installed first.
constexpr const char* LIBRARY_FOLDERS[] = {"/lib/kavrindemo/", "/lib/"};

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string ParentOf(const std::string& folder) {
    const size_t slash = folder.find_last_of('/');
    if (slash == std::string::npos || slash == 0)
        return std::string();
    return folder.substr(0, slash);
}

} // namespace

std::string ExecutablePath() {
    std::vector<char> buffer(4096);
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n <= 0 || static_cast<size_t>(n) >= buffer.size())
        return std::string();
    return std::string(buffer.data(), static_cast<size_t>(n));
}

std::string ExecutableFolder() {
    return ParentOf(ExecutablePath());
}

std::string FindBesideProgram(const std::string& fileName) {
    return FindBesideFolder(ExecutableFolder(), fileName);
}

std::string FindBesideFolder(const std::string& programFolder, const std::string& fileName) {
    if (fileName.empty() || fileName.find('/') != std::string::npos)
        return std::string();
    std::string folder = programFolder;
    if (folder.empty())
        return std::string();
    if (IsRegularFile(folder + "/" + fileName))
        return folder + "/" + fileName;
    for (int level = 0; level <= PARENT_LEVELS && !folder.empty(); ++level) {
        for (const char* libraryFolder : LIBRARY_FOLDERS) {
            const std::string candidate = folder + libraryFolder + fileName;
            if (IsRegularFile(candidate))
                return candidate;
        }
        folder = ParentOf(folder);
    }
    return std::string();
}

} // namespace platform
