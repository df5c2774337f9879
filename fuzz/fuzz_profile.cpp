// Private-profile files: any bytes as a file's content parse, list and edit without a crash;
// the written text reads back as the same lines, and a key written reads back as written.
#include "platform/MultiSz.h"
#include "platform/Profile.h"
#include "platform/ProfileText.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

// The file of this process that the profile calls work on; removed with its lock file when
// the process ends.
const std::string& FilePath() {
    static const std::string path = [] {
        const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        return std::string(base) + "/kavrin-fuzz-profile-" + std::to_string(getpid()) + ".ini";
    }();
    static const bool cleanup = std::atexit([] {
                                    unlink(FilePath().c_str());
                                    unlink((FilePath() + ".lock").c_str());
                                }) == 0;
    (void)cleanup;
    return path;
}

void PutFile(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    Check(f != nullptr);
    Check(std::fwrite(data, 1, size, f) == size || size == 0);
    Check(std::fclose(f) == 0);
}

// A buffer size taken from the input, so that lists are cut at every length.
uint32_t SizeFrom(const uint8_t* data, size_t size) {
    return size == 0 ? 1u : static_cast<uint32_t>(data[size - 1]) % 97u;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // The text model: writing normalises line breaks once; after that it is stable.
    platform::ProfileText text(bytes);
    const std::string once = text.Serialize();
    Check(platform::ProfileText(once).Serialize() == once);

    const std::vector<std::string> names = text.SectionNames();
    std::string section = names.empty() ? "Fuzz" : names.front();
    if (!platform::ProfileText::IsValidSectionName(section))
        section = "Fuzz";
    std::vector<std::string> keys = text.KeyNames(section);
    std::string key = keys.empty() ? "Key" : keys.back();
    if (!platform::ProfileText::IsValidKeyName(key))
        key = "Key";
    std::string value(bytes.substr(0, 40));
    if (!platform::ProfileText::IsValidValue(value))
        value = "value";

    std::string read;
    platform::ProfileText edited(bytes);
    edited.SetValue(section, key, value);
    Check(edited.FindValue(section, key, read) && read == platform::TrimBlanks(value));
    platform::ProfileText reread(edited.Serialize());
    Check(reread.FindValue(section, key, read) && read == platform::TrimBlanks(value));
    Check(reread.SectionNames().size() >= names.size());
    reread.DeleteKey(section, key);
    reread.DeleteSection(section);

    // The lists cut into small buffers stay inside them and end with two zeros.
    const uint32_t cut = SizeFrom(data, size);
    std::vector<char> buf(cut + 8, '#');
    const uint32_t n = platform::CopyMultiSz(text.SectionEntries(section), buf.data(), cut);
    Check(cut == 0 || n < cut);
    Check(buf[cut] == '#');
    // A whole list ends with the last string's zero and the final one; a cut list with the
    // cut string's zero and the final one.
    if (cut >= 2)
        Check(buf[n] == '\0' && (n == 0 || buf[n - 1] == '\0' || buf[n + 1] == '\0'));

    // The same through the profile calls over a file with these bytes.
    const std::string& path = FilePath();
    PutFile(path, data, size);
    platform::Profile profile(path);
    std::vector<char> list(cut + 1);
    profile.GetSectionNames(list.data(), cut);
    profile.GetSection(section.c_str(), list.data(), cut);
    profile.GetString(section.c_str(), key.c_str(), "def", list.data(), cut);
    profile.GetString(nullptr, nullptr, nullptr, list.data(), cut);
    Check(profile.WriteString(section.c_str(), key.c_str(), value.c_str()));
    char back[64];
    const uint32_t got = profile.GetString(section.c_str(), key.c_str(), "", back, sizeof back);
    Check(std::string_view(back, got) == platform::TrimBlanks(value));
    return 0;
}
