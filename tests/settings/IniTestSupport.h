// Helpers for the settings tests: memory-store loads and saves, temporary folders and files.
#pragma once

#include "settings/IniFile.h"
#include "tests/support/TempFolder.h"

#include <string>

// A memory store loaded from `text`; `result` receives Load's code.
IniFilePtr LoadMem(const std::string& text, uint32_t* result = nullptr);
// The text Save publishes for a memory store (without its final zero byte).
std::string SaveMem(CIniFile_0& ini);

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
