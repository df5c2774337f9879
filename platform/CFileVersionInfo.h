// The version information a program or library file carries: the key=value lines of its ELF
// section ".kavrin_version" (CompanyName, FileDescription, LegalCopyright, FileVersion,
// ProductVersion, Translation). The build gives every binary of the project one
// (cmake/KavrinVersion.cmake); a file without it has no version.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string>

namespace platform {

class CFileVersionInfo {
public:
    // The largest section that is read; a larger one is refused.
    static constexpr size_t MAX_SECTION_BYTES = 64 * 1024;

    // An object without version information; Read fills it.
    CFileVersionInfo() = default;

    // Reads the version information of the file at `path` into `out`. False when the file is
    // missing or unreadable, is not a little-endian ELF32 or ELF64 file, has no
    // ".kavrin_version" section or a damaged header or section table; `out` is then empty.
    [[nodiscard]] static bool Read(const std::string& path, CFileVersionInfo& out);

    // Read() on the running executable.
    [[nodiscard]] static bool ReadOwn(CFileVersionInfo& out);

    // Read() on a file image already in memory.
    [[nodiscard]] static bool ParseImage(std::span<const uint8_t> image, CFileVersionInfo& out);

    // True when no key was read.
    bool IsEmpty() const { return m_strings.empty(); }

    // The text of `key` (case-sensitive); empty when absent.
    std::string GetString(const std::string& key) const;

    // FileVersion "a.b.c.d" as four numbers; missing or unreadable parts are 0.
    std::array<uint16_t, 4> GetFileVersion() const;

    // ProductVersion the same way.
    std::array<uint16_t, 4> GetProductVersion() const;

    // "a.b.c": the first three numbers of the file version (major, minor, build), as the
    // program's identity uses it; empty when there is no FileVersion.
    std::string GetVersionText() const;

    // "a.b.c.d": the four numbers of the product version; empty when there is no
    // ProductVersion.
    std::string GetProductVersionText() const;

    // d, the last number of the file version.
    uint16_t GetBuildNumber() const { return GetFileVersion()[3]; }

    // Translation: the language in the high 16 bits, the code page in the low 16 bits
    // ("040904B0" gives 0x040904B0); 0 when absent or not eight hexadecimal digits.
    uint32_t GetTranslation() const;

private:
    // Takes the section's text; the first occurrence of a key wins.
    void ParseText(std::span<const uint8_t> text);

    std::map<std::string, std::string> m_strings;
};

} // namespace platform
