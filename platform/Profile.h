// The private-profile calls over one INI text file: read and write a key, list the sections
// and the entries of a section, delete a key, a section or the file.
//
// Every call reads the file afresh; nothing is cached. Calls are serialised between processes
// and threads with flock on a lock file beside the INI file (its name plus ".lock"; it is
// never deleted, so that every process always locks the same file): readers share the lock,
// writers hold it alone for the whole read-change-replace. A write replaces the file
// atomically (temporary file in the same folder, fsync, rename); when any step fails the
// original file stays as it was and the call returns false. A write that changes nothing does
// not touch the file. An empty path names no file: reads give defaults, writes fail. The
// reading and editing rules are those of ProfileText.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

class Profile {
public:
    // Files larger than this are not read: lookups give their defaults and writes fail. It is
    // a guard against a hostile or runaway file, not a limit of the format. A call holds the
    // file's bytes and its lines at once (each line a string plus about 60 bytes of
    // bookkeeping), some three to four times the file for settings lines of a few dozen
    // characters, so 256 MiB still fits a desktop's memory while leaving every real settings
    // or chain file far below the bound.
    static constexpr size_t kMaxFileBytes = size_t{256} << 20;

    explicit Profile(std::string path);

    const std::string& Path() const { return m_strPath; }

    // The value of `key` in `section`, or `def` (null: the empty text) when the file, the
    // section or the key is missing; copied zero-terminated into `dst` of `size` bytes, cut to
    // `size`-1 bytes. Returns the bytes copied without the zero. A null `section` gives the
    // list of section names and a null `key` the list of key names of `section` instead, as
    // lists of zero-terminated strings ended by an empty string, cut as in CopyMultiSz.
    uint32_t GetString(const char* section, const char* key, const char* def, char* dst,
                       uint32_t size) const;
    // Sets `key` in `section` to `value`, creating the file, the section and the key as
    // needed. A null `value` deletes the key; a null `key` deletes the section. False for a
    // null or invalid section, key or value (see ProfileText) and when writing fails.
    [[nodiscard]] bool WriteString(const char* section, const char* key, const char* value);

    // The section names as a list of zero-terminated strings ended by an empty string.
    uint32_t GetSectionNames(char* dst, uint32_t size) const;
    // The entries ("name=value") of `section` as such a list; an empty list when missing.
    uint32_t GetSection(const char* section, char* dst, uint32_t size) const;
    // Replaces the lines of `section` with `entries`, a list of zero-terminated strings ended
    // by an empty string; a null `entries` deletes the section.
    [[nodiscard]] bool WriteSection(const char* section, const char* entries);

    // Deletes the INI file; false when there is none or it cannot be deleted.
    [[nodiscard]] bool DeleteFile();

private:
    std::string LockPath() const { return m_strPath + ".lock"; }

    std::string m_strPath;
};

} // namespace platform
