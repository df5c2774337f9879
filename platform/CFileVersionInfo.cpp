#include "platform/CFileVersionInfo.h"
#include "platform/ProgramFolder.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>
#include <elf.h>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>
#include <vector>

namespace platform {

namespace {

// The ELF structures are copied from the file as they are; the project builds for
// little-endian machines only, and big-endian files are refused.
static_assert(std::endian::native == std::endian::little);

// The section's name with its terminating zero, as it stands in the section-name table.
constexpr char SECTION_NAME[] = ".kavrin_version";

// True when [offset, offset + length) lies inside `size` bytes.
bool Inside(uint64_t offset, uint64_t length, uint64_t size) {
    return offset <= size && length <= size - offset;
}

// Random access to the bytes of a file or of an image in memory. Every read is checked against
// the size: the bytes are foreign data.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t Size() const = 0;
    // Reads exactly `n` bytes at `offset`; false when they are not all there.
    virtual bool ReadAt(uint64_t offset, void* out, size_t n) = 0;
};

class ImageSource final : public ByteSource {
public:
    explicit ImageSource(std::span<const uint8_t> image) : m_image(image) {}
    uint64_t Size() const override { return m_image.size(); }
    bool ReadAt(uint64_t offset, void* out, size_t n) override {
        if (!Inside(offset, n, m_image.size()))
            return false;
        if (n != 0)
            std::memcpy(out, m_image.data() + offset, n);
        return true;
    }

private:
    std::span<const uint8_t> m_image;
};

// A regular file, read piece by piece (nothing is mapped, however large the file).
class FileSource final : public ByteSource {
public:
    explicit FileSource(const std::string& path) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(path, ec))
            return; // a folder, device or pipe has no version
        m_file.open(path, std::ios::binary);
        m_file.seekg(0, std::ios::end);
        const std::streamoff end = m_file.tellg();
        m_size = (m_file && end > 0) ? static_cast<uint64_t>(end) : 0;
    }
    uint64_t Size() const override { return m_size; }
    bool ReadAt(uint64_t offset, void* out, size_t n) override {
        if (!Inside(offset, n, m_size))
            return false;
        m_file.clear();
        m_file.seekg(static_cast<std::streamoff>(offset));
        m_file.read(static_cast<char*>(out), static_cast<std::streamsize>(n));
        return m_file && static_cast<size_t>(m_file.gcount()) == n;
    }

private:
    std::ifstream m_file;
    uint64_t m_size = 0;
};

template <typename Ehdr, typename Shdr>
bool ReadSectionHeader(ByteSource& source, const Ehdr& header, uint64_t index, Shdr& out) {
    return source.ReadAt(header.e_shoff + index * header.e_shentsize, &out, sizeof out);
}

enum class SectionName { Other, Version, OutOfRange };

// What the name at `nameIndex` of the section-name table `names` is.
template <typename Shdr>
SectionName NameOf(ByteSource& source, const Shdr& names, uint64_t nameIndex) {
    if (nameIndex >= names.sh_size)
        return SectionName::OutOfRange;
    char name[sizeof SECTION_NAME];
    if (names.sh_size - nameIndex < sizeof name ||
        !source.ReadAt(names.sh_offset + nameIndex, name, sizeof name))
        return SectionName::Other;
    return std::memcmp(name, SECTION_NAME, sizeof name) == 0 ? SectionName::Version
                                                             : SectionName::Other;
}

// The contents of the version section of an ELF file of one class.
template <typename Ehdr, typename Shdr>
bool ReadVersionSection(ByteSource& source, std::vector<uint8_t>& out) {
    Ehdr header{};
    if (!source.ReadAt(0, &header, sizeof header))
        return false;
    // A file with SHN_LORESERVE or more sections keeps its counts in section 0; none of ours
    // comes near that, so such a file is refused with the damaged ones.
    if (header.e_shoff == 0 || header.e_shnum == 0 || header.e_shnum >= SHN_LORESERVE ||
        header.e_shentsize < sizeof(Shdr) || header.e_shstrndx >= header.e_shnum ||
        !Inside(header.e_shoff, uint64_t{header.e_shnum} * header.e_shentsize, source.Size()))
        return false;
    Shdr names{};
    if (!ReadSectionHeader(source, header, header.e_shstrndx, names) ||
        names.sh_type != SHT_STRTAB || !Inside(names.sh_offset, names.sh_size, source.Size()))
        return false;
    for (uint64_t i = 0; i < header.e_shnum; ++i) {
        Shdr section{};
        if (!ReadSectionHeader(source, header, i, section))
            return false;
        const SectionName name = NameOf(source, names, section.sh_name);
        if (name == SectionName::OutOfRange)
            return false;
        if (name == SectionName::Other)
            continue;
        if (section.sh_type == SHT_NOBITS ||
            section.sh_size > CFileVersionInfo::MAX_SECTION_BYTES ||
            !Inside(section.sh_offset, section.sh_size, source.Size()))
            return false;
        out.resize(section.sh_size);
        return source.ReadAt(section.sh_offset, out.data(), out.size());
    }
    return false;
}

bool ReadVersionSection(ByteSource& source, std::vector<uint8_t>& out) {
    unsigned char ident[EI_NIDENT];
    if (!source.ReadAt(0, ident, sizeof ident) || std::memcmp(ident, ELFMAG, SELFMAG) != 0 ||
        ident[EI_DATA] != ELFDATA2LSB || ident[EI_VERSION] != EV_CURRENT)
        return false;
    if (ident[EI_CLASS] == ELFCLASS64)
        return ReadVersionSection<Elf64_Ehdr, Elf64_Shdr>(source, out);
    if (ident[EI_CLASS] == ELFCLASS32)
        return ReadVersionSection<Elf32_Ehdr, Elf32_Shdr>(source, out);
    return false;
}

// "a.b.c.d" as four numbers; parsing stops at the first part that is not a number from 0 to
// 65535, and that part and the ones after it are 0.
std::array<uint16_t, 4> ParseVersion(const std::string& text) {
    std::array<uint16_t, 4> parts{};
    size_t start = 0;
    for (uint16_t& part : parts) {
        if (start > text.size())
            break;
        const size_t end = std::min(text.find('.', start), text.size());
        const char* last = text.data() + end;
        const auto [stop, ec] = std::from_chars(text.data() + start, last, part);
        if (ec != std::errc() || stop != last) {
            part = 0;
            break;
        }
        start = end + 1;
    }
    return parts;
}

} // namespace

bool CFileVersionInfo::Read(const std::string& path, CFileVersionInfo& out) {
    out = CFileVersionInfo();
    FileSource source(path);
    std::vector<uint8_t> text;
    if (!ReadVersionSection(source, text))
        return false;
    out.ParseText(text);
    return true;
}

bool CFileVersionInfo::ReadOwn(CFileVersionInfo& out) {
    const std::string path = ExecutablePath();
    if (path.empty()) {
        out = CFileVersionInfo();
        return false;
    }
    return Read(path, out);
}

bool CFileVersionInfo::ParseImage(std::span<const uint8_t> image, CFileVersionInfo& out) {
    out = CFileVersionInfo();
    ImageSource source(image);
    std::vector<uint8_t> text;
    if (!ReadVersionSection(source, text))
        return false;
    out.ParseText(text);
    return true;
}

void CFileVersionInfo::ParseText(std::span<const uint8_t> text) {
    const std::string_view all(reinterpret_cast<const char*>(text.data()), text.size());
    // Lines end at "\n" or at a zero byte; each pass takes at least one byte.
    size_t start = 0;
    while (start < all.size()) {
        const size_t end =
            std::min(all.find_first_of(std::string_view("\n\0", 2), start), all.size());
        std::string_view line = all.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const size_t equals = line.find('=');
        if (equals != std::string_view::npos && equals > 0)
            m_strings.emplace(line.substr(0, equals), line.substr(equals + 1));
        start = end + 1;
    }
}

std::string CFileVersionInfo::GetString(const std::string& key) const {
    const auto it = m_strings.find(key);
    return it == m_strings.end() ? std::string() : it->second;
}

std::array<uint16_t, 4> CFileVersionInfo::GetFileVersion() const {
    return ParseVersion(GetString("FileVersion"));
}

std::array<uint16_t, 4> CFileVersionInfo::GetProductVersion() const {
    return ParseVersion(GetString("ProductVersion"));
}

std::string CFileVersionInfo::GetVersionText() const {
    if (m_strings.find("FileVersion") == m_strings.end())
        return std::string();
    const std::array<uint16_t, 4> version = GetFileVersion();
    return std::to_string(version[0]) + "." + std::to_string(version[1]) + "." +
           std::to_string(version[2]);
}

std::string CFileVersionInfo::GetProductVersionText() const {
    if (m_strings.find("ProductVersion") == m_strings.end())
        return std::string();
    const std::array<uint16_t, 4> version = GetProductVersion();
    return std::to_string(version[0]) + "." + std::to_string(version[1]) + "." +
           std::to_string(version[2]) + "." + std::to_string(version[3]);
}

uint32_t CFileVersionInfo::GetTranslation() const {
    const std::string text = GetString("Translation");
    uint32_t translation = 0;
    const char* last = text.data() + text.size();
    const auto [stop, ec] = std::from_chars(text.data(), last, translation, 16);
    return (text.size() == 8 && ec == std::errc() && stop == last) ? translation : 0;
}

} // namespace platform
