#include "app/ModuleList.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <memory>
#include <set>
#include <utility>

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

// A folder's entries other than "." and "..", in byte order of their names.
std::vector<std::string> SortedNames(const std::string& dir, size_t& budget) {
    std::vector<std::string> names;
    std::unique_ptr<DIR, DirCloser> handle(opendir(dir.c_str()));
    if (!handle)
        return names;
    while (budget > 0) {
        const dirent* entry = readdir(handle.get());
        if (!entry)
            break;
        --budget;
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

class Collector {
public:
    Collector(std::string base, std::string pattern, bool executablesOnly,
              const std::string& preferredFirst)
        : m_base(std::move(base)), m_pattern(std::move(pattern)),
          m_bExecutablesOnly(executablesOnly), m_preferredFirst(preferredFirst) {}

    void Walk(const std::string& dir, int depth, std::vector<std::string>& out) {
        struct stat st {};
        if (depth > ModuleList::MAX_DEPTH || stat(dir.c_str(), &st) != 0 ||
            !m_visited.insert({st.st_dev, st.st_ino}).second)
            return;
        std::vector<std::string> names = SortedNames(dir, m_budget);
        const auto preferred = std::find_if(names.begin(), names.end(), [&](const std::string& n) {
            return dir + n == m_preferredFirst;
        });
        if (preferred != names.end())
            std::rotate(names.begin(), preferred, preferred + 1);
        std::vector<std::string> folders;
        for (const std::string& name : names) {
            const std::string path = dir + name;
            struct stat link {};
            if (lstat(path.c_str(), &link) != 0)
                continue;
            struct stat target {};
            const bool isFolder = S_ISDIR(link.st_mode);
            // A link is taken for the file it names, never for a folder.
            if (!isFolder && stat(path.c_str(), &target) == 0 && S_ISREG(target.st_mode) &&
                Matches(name, target))
                out.push_back(Relative(path));
            else if (isFolder)
                folders.push_back(path + "/");
        }
        for (const std::string& folder : folders)
            Walk(folder, depth + 1, out);
    }

private:
    bool Matches(const std::string& name, const struct stat& st) const {
        if (fnmatch(m_pattern.c_str(), name.c_str(), 0) != 0)
            return false;
        return !m_bExecutablesOnly || (st.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) != 0;
    }

    // The base folder's text is taken off the front of the path only.
    std::string Relative(const std::string& path) const {
        return path.compare(0, m_base.size(), m_base) == 0 ? path.substr(m_base.size()) : path;
    }

    const std::string m_base;
    const std::string m_pattern;
    const bool m_bExecutablesOnly;
    const std::string& m_preferredFirst;
    std::set<std::pair<dev_t, ino_t>> m_visited;
    size_t m_budget = ModuleList::MAX_ENTRIES;
};

// The full path of `dir` with a trailing '/'; empty when it cannot be resolved.
std::string FullFolder(const std::string& dir) {
    std::unique_ptr<char, decltype(&std::free)> full(realpath(dir.c_str(), nullptr), &std::free);
    if (!full)
        return std::string();
    std::string text = full.get();
    if (text.empty() || text.back() != '/')
        text += '/';
    return text;
}

} // namespace

bool ModuleList::AddModules(const std::string& baseDir, const std::string& dir,
                            const std::string& pattern, bool executablesOnly, bool clearFirst) {
    const std::string base = FullFolder(baseDir);
    const std::string start = FullFolder(dir);
    if (base.empty() || start.empty())
        return false;
    std::vector<std::string> collected;
    Collector(base, pattern, executablesOnly, m_preferredFirst).Walk(start, 0, collected);
    if (clearFirst)
        m_entries.clear();
    // A file already listed (by an earlier, overlapping scan) is listed once.
    for (std::string& entry : collected)
        if (std::find(m_entries.begin(), m_entries.end(), entry) == m_entries.end())
            m_entries.push_back(std::move(entry));
    SortModules(m_entries);
    return true;
}

void ModuleList::SortModules(std::vector<std::string>& entries) {
    if (entries.size() < 3)
        return;
    std::sort(entries.begin() + 1, entries.end());
}

std::string ModuleList::VersionLine(const std::string& productVersion,
                                    const std::string& fallback) {
    const size_t dot = productVersion.rfind('.');
    if (dot == std::string::npos || dot == 0)
        return fallback;
    return "V " + productVersion.substr(0, dot) + " build " + productVersion.substr(dot + 1) +
           " for " + PlatformText();
}

const char* ModuleList::PlatformText() {
#if defined(__x86_64__)
    return "x86_64";
#elif defined(__i386__)
    return "x86";
#elif defined(__aarch64__)
    return "aarch64";
#else
    return "unknown platform";
#endif
}
