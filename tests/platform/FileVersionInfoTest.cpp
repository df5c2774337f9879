#include "platform/CFileVersionInfo.h"
#include "platform/ProgramFolder.h"
#include "tests/support/TempFolder.h"

#include <cstring>
#include <elf.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <vector>

using platform::CFileVersionInfo;

namespace {

using Bytes = std::vector<uint8_t>;

// A minimal ELF image of one class: the header, the contents of one section named
// `sectionName`, the section-name table and three section headers (null, that section, the
// name table).
template <typename Ehdr, typename Shdr>
Bytes MinimalElf(unsigned char elfClass, const std::string& sectionName, const std::string& text) {
    const std::string names = std::string(1, '\0') + sectionName + '\0' + ".shstrtab" + '\0';
    const size_t textAt = sizeof(Ehdr);
    const size_t namesAt = textAt + text.size();
    const size_t tableAt = (namesAt + names.size() + 7) / 8 * 8;
    Bytes image(tableAt + 3 * sizeof(Shdr));

    Ehdr header{};
    std::memcpy(header.e_ident, ELFMAG, SELFMAG);
    header.e_ident[EI_CLASS] = elfClass;
    header.e_ident[EI_DATA] = ELFDATA2LSB;
    header.e_ident[EI_VERSION] = EV_CURRENT;
    header.e_type = ET_DYN;
    header.e_version = EV_CURRENT;
    header.e_ehsize = sizeof(Ehdr);
    header.e_shoff = tableAt;
    header.e_shentsize = sizeof(Shdr);
    header.e_shnum = 3;
    header.e_shstrndx = 2;
    std::memcpy(image.data(), &header, sizeof header);
    std::memcpy(image.data() + textAt, text.data(), text.size());
    std::memcpy(image.data() + namesAt, names.data(), names.size());

    Shdr sections[3]{};
    sections[1].sh_name = 1;
    sections[1].sh_type = SHT_PROGBITS;
    sections[1].sh_offset = textAt;
    sections[1].sh_size = text.size();
    sections[2].sh_name = static_cast<uint32_t>(sectionName.size() + 2);
    sections[2].sh_type = SHT_STRTAB;
    sections[2].sh_offset = namesAt;
    sections[2].sh_size = names.size();
    std::memcpy(image.data() + tableAt, sections, sizeof sections);
    return image;
}

Bytes MinimalElf64(const std::string& text, const std::string& sectionName = ".kavrin_version") {
    return MinimalElf<Elf64_Ehdr, Elf64_Shdr>(ELFCLASS64, sectionName, text);
}

template <typename T>
void Poke(Bytes& image, size_t offset, T value) {
    std::memcpy(image.data() + offset, &value, sizeof value);
}

// Offset of field `member` of the version section's header (section 1) of a MinimalElf64 image.
size_t VersionSectionField(const Bytes& image, size_t member) {
    Elf64_Ehdr header;
    std::memcpy(&header, image.data(), sizeof header);
    return header.e_shoff + sizeof(Elf64_Shdr) + member;
}

void WriteFile(const std::string& path, const void* data, size_t size) {
    std::ofstream out(path, std::ios::binary);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

TEST(FileVersionInfo, ProgramsAndLibrariesCarryTheProjectsVersion) {
    CFileVersionInfo own;
    ASSERT_TRUE(CFileVersionInfo::ReadOwn(own));
    EXPECT_EQ(own.GetString("CompanyName"), "Hadrell Optics");
    EXPECT_EQ(own.GetString("LegalCopyright"), "Copyright (C) 2026 Hadrell Optics");
    EXPECT_EQ(own.GetString("FileDescription"), "test_platform");
    EXPECT_EQ(own.GetString("FileVersion"), KAVRIN_TEST_FILE_VERSION);
    EXPECT_EQ(own.GetString("ProductVersion"), KAVRIN_TEST_PRODUCT_VERSION);
    EXPECT_EQ(own.GetVersionText(), KAVRIN_TEST_PRODUCT_VERSION);
    EXPECT_EQ(own.GetBuildNumber(), KAVRIN_TEST_BUILD_NUMBER);
    EXPECT_EQ(own.GetTranslation(), 0x040904B0u);
    EXPECT_EQ(own.GetString("companyname"), "");

    // The image library exports two functions only and hides everything else; its version
    // section stays all the same.
    const std::string lumo = platform::FindBesideProgram("libLumoInst.so");
    ASSERT_FALSE(lumo.empty());
    CFileVersionInfo library;
    ASSERT_TRUE(CFileVersionInfo::Read(lumo, library));
    EXPECT_EQ(library.GetString("FileDescription"), "Lumo image processing library");
    EXPECT_EQ(library.GetFileVersion(), own.GetFileVersion());
    EXPECT_EQ(library.GetProductVersion(), own.GetProductVersion());
}

TEST(FileVersionInfo, FilesWithoutAVersionSectionHaveNoVersion) {
    TempFolder folder;
    const std::string text = "CompanyName=Hadrell Optics\nFileVersion=1.2.3.4\n";
    WriteFile(folder.File("notes.txt"), text.data(), text.size());
    WriteFile(folder.File("empty.so"), "", 0);
    const Bytes other = MinimalElf64(text, ".kavrin_version2");
    WriteFile(folder.File("other.so"), other.data(), other.size());

    CFileVersionInfo info;
    for (const std::string& path :
         {folder.File("missing.so"), folder.Path(), folder.File("notes.txt"),
          folder.File("empty.so"), folder.File("other.so")}) {
        ASSERT_TRUE(CFileVersionInfo::ReadOwn(info));
        EXPECT_FALSE(CFileVersionInfo::Read(path, info)) << path;
        EXPECT_TRUE(info.IsEmpty()) << path;
    }
}

TEST(FileVersionInfo, DamagedElfFilesAreRefusedWithoutACrash) {
    const std::string text = "FileVersion=1.2.3.4\n";
    const Bytes good = MinimalElf64(text);
    CFileVersionInfo info;
    ASSERT_TRUE(CFileVersionInfo::ParseImage(good, info));
    ASSERT_EQ(info.GetString("FileVersion"), "1.2.3.4");

    const size_t shoff = offsetof(Elf64_Ehdr, e_shoff);
    const size_t sectionOffset = VersionSectionField(good, offsetof(Elf64_Shdr, sh_offset));
    const size_t sectionSize = VersionSectionField(good, offsetof(Elf64_Shdr, sh_size));
    const std::vector<std::pair<const char*, std::function<void(Bytes&)>>> damages = {
        {"truncated header", [](Bytes& b) { b.resize(40); }},
        {"section table cut off", [](Bytes& b) { b.resize(b.size() - 8); }},
        {"section table past the end", [&](Bytes& b) { Poke<uint64_t>(b, shoff, b.size()); }},
        {"section table offset wraps", [&](Bytes& b) { Poke<uint64_t>(b, shoff, ~uint64_t{7}); }},
        {"no section table", [&](Bytes& b) { Poke<uint64_t>(b, shoff, 0); }},
        {"name table index out of range",
         [](Bytes& b) { Poke<uint16_t>(b, offsetof(Elf64_Ehdr, e_shstrndx), 3); }},
        {"short section headers",
         [](Bytes& b) { Poke<uint16_t>(b, offsetof(Elf64_Ehdr, e_shentsize), 32); }},
        {"section name index out of range",
         [](Bytes& b) {
             // on the null section, ahead of the intact version section
             Poke<uint32_t>(
                 b, VersionSectionField(b, offsetof(Elf64_Shdr, sh_name)) - sizeof(Elf64_Shdr),
                 4096);
         }},
        {"section past the end", [&](Bytes& b) { Poke<uint64_t>(b, sectionOffset, b.size() - 4); }},
        {"section size wraps", [&](Bytes& b) { Poke<uint64_t>(b, sectionSize, ~uint64_t{0}); }},
        {"section without contents",
         [](Bytes& b) {
             Poke<uint32_t>(b, VersionSectionField(b, offsetof(Elf64_Shdr, sh_type)), SHT_NOBITS);
         }},
        {"big endian", [](Bytes& b) { b[EI_DATA] = ELFDATA2MSB; }},
        {"unknown class", [](Bytes& b) { b[EI_CLASS] = ELFCLASSNONE; }},
        {"not ELF", [](Bytes& b) { b[1] = 'e'; }},
    };
    for (const auto& [what, damage] : damages) {
        Bytes bad = good;
        damage(bad);
        ASSERT_TRUE(CFileVersionInfo::ParseImage(good, info));
        EXPECT_FALSE(CFileVersionInfo::ParseImage(bad, info)) << what;
        EXPECT_TRUE(info.IsEmpty()) << what;
    }

    // Up to 64 KiB of text are read, a longer section is refused.
    std::string longest(CFileVersionInfo::MAX_SECTION_BYTES, '\n');
    longest.replace(0, text.size(), text);
    EXPECT_TRUE(CFileVersionInfo::ParseImage(MinimalElf64(longest), info));
    EXPECT_EQ(info.GetBuildNumber(), 4);
    EXPECT_FALSE(CFileVersionInfo::ParseImage(MinimalElf64(longest + "\n"), info));

    // A real program's file cut short of its section table, read from disk.
    TempFolder folder;
    const Bytes program = ReadFile(platform::ExecutablePath());
    Elf64_Ehdr header;
    ASSERT_GE(program.size(), sizeof header);
    std::memcpy(&header, program.data(), sizeof header);
    ASSERT_TRUE(header.e_shoff > 0 && header.e_shoff < program.size());
    WriteFile(folder.File("cut"), program.data(), header.e_shoff + sizeof(Elf64_Shdr));
    EXPECT_FALSE(CFileVersionInfo::Read(folder.File("cut"), info));
    WriteFile(folder.File("whole"), program.data(), program.size());
    EXPECT_TRUE(CFileVersionInfo::Read(folder.File("whole"), info));
    EXPECT_EQ(info.GetString("FileDescription"), "test_platform");
}

TEST(FileVersionInfo, OddTextReadsLineByLine) {
    // A zero byte ends a line too.
    const std::string text = std::string("\r\n\nCompanyName=First\r\nno equals sign here\n"
                                         "=orphan value\ncompanyname=lower\n"
                                         "CompanyName=Second\nFileVersion=7.8\r\n"
                                         "Translation=040704E4\n\n") +
                             '\0' + "ProductVersion=2.1.0.15";
    // ELF32 through a file, ELF64 in memory: both read the same.
    TempFolder folder;
    const Bytes elf32 = MinimalElf<Elf32_Ehdr, Elf32_Shdr>(ELFCLASS32, ".kavrin_version", text);
    WriteFile(folder.File("odd32.so"), elf32.data(), elf32.size());
    CFileVersionInfo fromFile;
    ASSERT_TRUE(CFileVersionInfo::Read(folder.File("odd32.so"), fromFile));
    CFileVersionInfo fromImage;
    ASSERT_TRUE(CFileVersionInfo::ParseImage(MinimalElf64(text), fromImage));
    for (const CFileVersionInfo* info : {&fromFile, &fromImage}) {
        EXPECT_EQ(info->GetString("CompanyName"), "First");
        EXPECT_EQ(info->GetString("companyname"), "lower");
        EXPECT_EQ(info->GetString(""), "");
        EXPECT_EQ(info->GetString("no equals sign here"), "");
        EXPECT_EQ(info->GetString("FileVersion"), "7.8");
        EXPECT_EQ(info->GetFileVersion(), (std::array<uint16_t, 4>{7, 8, 0, 0}));
        EXPECT_EQ(info->GetVersionText(), "7.8.0");
        EXPECT_EQ(info->GetBuildNumber(), 0);
        EXPECT_EQ(info->GetTranslation(), 0x040704E4u);
        EXPECT_EQ(info->GetProductVersion(), (std::array<uint16_t, 4>{2, 1, 0, 15}));
    }
}

TEST(FileVersionInfo, VersionNumbersStopAtTheFirstBadPart) {
    const std::vector<std::pair<std::string, std::array<uint16_t, 4>>> cases = {
        {"1.2.3.4.5", {1, 2, 3, 4}},
        {"65535.0.65535.9", {65535, 0, 65535, 9}},
        {"1.65536.3.4", {1, 0, 0, 0}},
        {"1.x.3.4", {1, 0, 0, 0}},
        {"1..3", {1, 0, 0, 0}},
        {"1.2a.3", {1, 0, 0, 0}},
        {"-1.2", {0, 0, 0, 0}},
        {" 1.2", {0, 0, 0, 0}},
        {"", {0, 0, 0, 0}},
    };
    CFileVersionInfo info;
    for (const auto& [text, parts] : cases) {
        ASSERT_TRUE(CFileVersionInfo::ParseImage(MinimalElf64("FileVersion=" + text), info));
        EXPECT_EQ(info.GetFileVersion(), parts) << text;
        EXPECT_EQ(info.GetBuildNumber(), parts[3]) << text;
    }
    EXPECT_EQ(info.GetVersionText(), "0.0.0"); // a FileVersion that is not a number
    for (const char* translation : {"40904B0", "040904B0 ", "0x0904B0", "04090-B0"}) {
        ASSERT_TRUE(CFileVersionInfo::ParseImage(
            MinimalElf64(std::string("Translation=") + translation), info));
        EXPECT_EQ(info.GetTranslation(), 0u) << translation;
    }
}
