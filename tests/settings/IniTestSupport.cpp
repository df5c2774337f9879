#include "tests/settings/IniTestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

IniFilePtr LoadMem(const std::string& text, uint32_t* result) {
    IniFilePtr ini = MakeIniFile(3);
    // The descriptor only has to live through Load; the store forgets the input afterwards.
    static thread_local IniMemDescriptor desc;
    desc = IniMemDescriptor{text.data(), text.size(), nullptr, 0};
    ini->SetFileName(reinterpret_cast<const char*>(&desc));
    const uint32_t r = ini->Load();
    if (result)
        *result = r;
    return ini;
}

std::string SaveMem(CIniFile_0& ini) {
    static thread_local IniMemDescriptor desc;
    desc = IniMemDescriptor{};
    ini.SetFileName(reinterpret_cast<const char*>(&desc));
    EXPECT_EQ(ini.Save(), 0u);
    if (!desc.pOutput || desc.nOutputSize == 0)
        return std::string("<no output>");
    EXPECT_EQ(desc.pOutput[desc.nOutputSize - 1], '\0');
    return std::string(desc.pOutput, desc.nOutputSize - 1);
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}
