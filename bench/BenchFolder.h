// The folder the file benchmarks write to: a new folder on the disk beside the program (not
// the temporary folder, which may be a memory file system), or in KAVRIN_BENCH_FOLDER. Made on
// the first call and removed with everything in it when the run ends.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace bench {

inline const std::string& Folder() {
    static const std::string folder = [] {
        const char* chosen = std::getenv("KAVRIN_BENCH_FOLDER");
        std::error_code ec;
        const std::filesystem::path beside =
            std::filesystem::read_symlink("/proc/self/exe", ec).parent_path();
        std::string pattern = ((chosen && *chosen) ? std::filesystem::path(chosen)
                               : ec                ? std::filesystem::temp_directory_path()
                                                   : beside) /
                              "kavrin-bench-XXXXXX";
        const char* made = mkdtemp(pattern.data());
        return std::string(made ? made : ".");
    }();
    // Registered once the folder's name exists, so that it runs before the name goes; "." (no
    // folder could be made) is not ours to remove.
    static const bool removedAtExit =
        folder != "." && std::atexit([] {
                             std::error_code ignored;
                             std::filesystem::remove_all(Folder(), ignored);
                         }) == 0;
    (void)removedAtExit;
    return folder;
}

} // namespace bench
