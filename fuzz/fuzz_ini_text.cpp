// Settings text through the memory store: any bytes load without a crash; what a store saves
// loads again without error and saves to the same text; a value the store accepted under
// names taken from the input reads back as written after a save and a load.
#include "settings/IniFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string SaveText(CIniFile_0& ini, IniMemDescriptor& desc) {
    ini.SetFileName(reinterpret_cast<const char*>(&desc));
    if (ini.Save() != 0 || !desc.pOutput || desc.nOutputSize == 0)
        std::abort();
    if (desc.pOutput[desc.nOutputSize - 1] != '\0')
        std::abort();
    return std::string(desc.pOutput, desc.nOutputSize - 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    IniFilePtr ini = MakeIniFile(3);
    IniMemDescriptor in{reinterpret_cast<const char*>(data), size, nullptr, 0};
    ini->SetFileName(reinterpret_cast<const char*>(&in));
    const uint32_t result = ini->Load();
    if (result != 0 && result != INI_E_SYNTAX)
        std::abort();

    IniMemDescriptor out1{};
    const std::string first = SaveText(*ini, out1);

    IniFilePtr again = MakeIniFile(3);
    IniMemDescriptor in2{first.data(), first.size(), nullptr, 0};
    again->SetFileName(reinterpret_cast<const char*>(&in2));
    if (again->Load() != 0)
        std::abort();
    IniMemDescriptor out2{};
    if (SaveText(*again, out2) != first)
        std::abort();

    // Names and a value from the input's first bytes (each cut at a zero byte).
    const char* bytes = reinterpret_cast<const char*>(data);
    auto piece = [&](size_t at, size_t len) {
        if (at >= size)
            return std::string();
        return std::string(bytes + at, strnlen(bytes + at, len < size - at ? len : size - at));
    };
    const std::string section = piece(0, 8), key = piece(8, 8), value = piece(16, 24);
    const uint32_t set = again->SetString(section.c_str(), key.c_str(), value.c_str());
    if (set != 0 && set != INI_E_ARG)
        std::abort();
    if (set == 0) {
        IniMemDescriptor out3{};
        const std::string written = SaveText(*again, out3);
        IniFilePtr third = MakeIniFile(3);
        IniMemDescriptor in3{written.data(), written.size(), nullptr, 0};
        third->SetFileName(reinterpret_cast<const char*>(&in3));
        if (third->Load() != 0)
            std::abort();
        std::string back;
        int found = 0;
        third->ReadValue(section.c_str(), key.c_str(), "", back, &found);
        if (!found || back != value)
            std::abort();
    }

    // Walk what was read the way the program does.
    char name[64];
    const uint32_t sections = again->GetSectionCount();
    for (uint32_t i = 0; i < sections && i < 64; ++i) {
        if (again->GetSectionName(i, name, sizeof name) >= INI_E_OPEN)
            std::abort();
        again->GetKeyCount(name);
        again->GetUInt32(name, "CameraType", 0);
        again->GetDouble(name, "Gain", 1.0);
    }
    return 0;
}
