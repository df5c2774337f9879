// The version-information reader on arbitrary bytes: any file either has no version or gives
// texts and numbers that agree with each other, and reading the bytes from a file gives the same
// as reading them from memory.
#include "platform/CFileVersionInfo.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <unistd.h>

namespace {

const std::string& FilePath() {
    static const std::string path = [] {
        const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        return std::string(base) + "/kavrin-fuzz-version-" + std::to_string(getpid()) + ".so";
    }();
    static const bool cleanup = std::atexit([] { unlink(FilePath().c_str()); }) == 0;
    (void)cleanup;
    return path;
}

void Check(bool ok) {
    if (!ok)
        std::abort();
}

bool WriteFile(const uint8_t* data, size_t size) {
    FILE* file = std::fopen(FilePath().c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

void CheckConsistent(const platform::CFileVersionInfo& info) {
    const std::array<uint16_t, 4> version = info.GetFileVersion();
    const std::string text = info.GetVersionText();
    Check(info.GetBuildNumber() == version[3]);
    Check(text.empty() || text == std::to_string(version[0]) + "." + std::to_string(version[1]) +
                                      "." + std::to_string(version[2]));
    Check(info.GetString("").empty()); // a line "=value" names no key
}

bool SameInfo(const platform::CFileVersionInfo& a, const platform::CFileVersionInfo& b) {
    for (const char* key : {"CompanyName", "FileDescription", "LegalCopyright", "FileVersion",
                            "ProductVersion", "Translation"})
        if (a.GetString(key) != b.GetString(key))
            return false;
    return a.IsEmpty() == b.IsEmpty();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    platform::CFileVersionInfo fromMemory;
    const bool inMemory =
        platform::CFileVersionInfo::ParseImage(std::span<const uint8_t>(data, size), fromMemory);
    Check(inMemory || fromMemory.IsEmpty());
    CheckConsistent(fromMemory);

    if (!WriteFile(data, size))
        return 0;
    platform::CFileVersionInfo fromFile;
    const bool inFile = platform::CFileVersionInfo::Read(FilePath(), fromFile);
    Check(inFile == inMemory && SameInfo(fromFile, fromMemory));
    return 0;
}
