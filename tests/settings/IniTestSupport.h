// Helpers for the settings tests: memory-store loads and saves, temporary folders and files.
#pragma once

#include "settings/IniFile.h"

#include <string>

// A memory store loaded from `text`; `result` receives Load's code.
IniFilePtr LoadMem(const std::string& text, uint32_t* result = nullptr);
// The text Save publishes for a memory store (without its final zero byte).
std::string SaveMem(CIniFile_0& ini);

// A fresh folder below the temporary folder, removed with everything in it at destruction.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
