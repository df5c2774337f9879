// The list of program files and libraries the About box shows: files collected from folders of
// the program's tree, as paths relative to the tree's base folder ("bin/kavrindemo",
// "lib/kavrindemo/libLumoInst.so"), and the version line built from the first one.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class ModuleList {
public:
    // Folders deeper than this below the start folder are not entered.
    static constexpr int MAX_DEPTH = 16;
    // Collecting stops after this many entries (files and folders) have been looked at.
    static constexpr size_t MAX_ENTRIES = 100000;

    // Collects the files below `dir` (recursively, each folder's files before its subfolders',
    // both in byte order of their names) whose names match the glob `pattern` and, with
    // `executablesOnly`, carry an execute permission. Each is recorded relative to `baseDir`.
    // Symbolic links to folders are not followed and no folder is entered twice, so a link
    // loop cannot make the walk endless. False when `dir` cannot be resolved to a full path:
    // the list is then unchanged. Otherwise, with `clearFirst`, the list is emptied first;
    // the collected files not listed yet are appended and the list is sorted (SortModules).
    [[nodiscard]] bool AddModules(const std::string& baseDir, const std::string& dir,
                                  const std::string& pattern, bool executablesOnly,
                                  bool clearFirst);

    // A file (full path) that its folder lists before all others: the running program.
    void SetPreferredFirst(const std::string& path) { m_preferredFirst = path; }

    const std::vector<std::string>& Entries() const { return m_entries; }

    // With three entries or more, every entry but the first is sorted in byte order; the first
    // stays first.
    static void SortModules(std::vector<std::string>& entries);

    // "V <a.b.c> build <d> for <platform>" from the product version text "a.b.c.d"; `fallback`
    // when the text has no dot after its first character.
    static std::string VersionLine(const std::string& productVersion, const std::string& fallback);

    // "x86_64" in the 64-bit x86 build (the machine's name elsewhere).
    static const char* PlatformText();

private:
    std::vector<std::string> m_entries;
    std::string m_preferredFirst;
};
