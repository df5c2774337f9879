// The registry-style store with hostile input. The first byte picks the case:
//   even: the rest is written as a root's database file, which is then opened and walked; a
//         file the store refuses must stay byte for byte as it was;
//   odd:  the rest, split at zero bytes, gives a path, a section, a key and a text, which go
//         through SetFileName and the setters and getters; a text that was stored reads back.
#include "platform/Registry.h"
#include "settings/IniFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Check(bool ok) {
    if (!ok)
        std::abort();
}

void WalkDatabase(const std::string& bytes) {
    const std::string file = platform::Registry::FilePath(platform::RegRoot::Users);
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        std::remove((file + suffix).c_str());
    {
        std::ofstream out(file, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    IniFilePtr ini = MakeIniFile(2);
    if (ini->SetFileName("HKEY_USERS\\Fuzz") != 0) {
        Check(ReadAll(file) == bytes);
        return;
    }
    char name[256];
    char text[256];
    uint8_t block[64];
    const uint32_t sections = ini->GetSectionCount();
    for (uint32_t s = 0; s < sections && s < 32; ++s) {
        if (ini->GetSectionName(s, name, sizeof name) == 0)
            continue;
        const std::string section = name;
        const uint32_t keys = ini->GetKeyCount(section.c_str());
        for (uint32_t k = 0; k < keys && k < 32; ++k) {
            if (ini->GetKeyName(section.c_str(), k, name, sizeof name) == 0)
                continue;
            ini->GetString(section.c_str(), name, "", text, sizeof text);
            ini->GetUInt64(section.c_str(), name, 0);
            ini->GetBinary(section.c_str(), name, nullptr, 0, block, sizeof block);
            ini->GetListCount(section.c_str(), name);
        }
    }
    (void)ini->Clear(); // the walk only has to end without a crash
}

void UseNames(const std::string& bytes) {
    std::vector<std::string> parts(4);
    size_t part = 0;
    for (char c : bytes) {
        if (c == '\0') {
            if (++part == parts.size())
                break;
        } else {
            parts[part] += c;
        }
    }
    const std::string& tail = parts[0];
    const char* section = parts[1].c_str();
    const char* key = parts[2].c_str();
    const std::string& value = parts[3];

    IniFilePtr ini = MakeIniFile(2);
    const std::string path =
        (tail.size() > 1 && tail[0] == 'H') ? tail : "HKEY_CURRENT_USER\\" + tail;
    if (ini->SetFileName(path.c_str()) != 0)
        return;
    ini->SetString(section, key, value.c_str());
    std::string out;
    int found = 0;
    ini->ReadValue(section, key, "", out, &found);
    Check(!found || out == value);
    if (found)
        Check(value.size() < 1024 &&
              ini->KeyExists(section, key) == (std::string(key).size() < 1024 ? 1u : 0u));
    ini->SetListUInt64(section, key, value.c_str(), 7);
    Check(ini->GetListUInt64(section, key, value.c_str(), 7, &found) == 7);
    // Hostile names may be refused; the deletions only have to end without a crash.
    (void)ini->DeleteListItem(section, key, value.c_str());
    (void)ini->DeleteKey(section, key);
    (void)ini->DeleteSection(section);
    (void)ini->Clear();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static char folder[] = "/tmp/kavrin-fuzz-registry-XXXXXX";
    if (!mkdtemp(folder))
        std::abort();
    setenv("KAVRIN_REGISTRY_DIR", folder, 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] % 2 == 0)
        WalkDatabase(rest);
    else
        UseNames(rest);
    return 0;
}
