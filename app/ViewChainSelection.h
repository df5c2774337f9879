// Which processing chain an image class gets: its chain file in the settings folder, its key
// below the application's registry path, its default modules, and the log texts of loading and
// building it. Classes 2 and 3 (raw colour-filter data) share one chain.
#pragma once

#include <cstdint>
#include <string>

namespace viewchain {

struct ChainFormat {
    const char* chainFile;      // "/Greyscale.ini", appended to the settings folder
    const char* registrySuffix; // "\ChainConfig\EditState\Greyscale"
    const uint32_t* defaultIds; // the default chain's object IDs, in order
    uint64_t defaultCount;
    uint32_t analyzeId;            // the default analyze module
    const char* loadedText;        // level 1
    const char* loadFailedText;    // level 0
    const char* defaultBuiltText;  // level 1
    const char* defaultFailedText; // level 0
};

// The chain of image class `imageClass`; null for class 0 and classes above 4.
const ChainFormat* FormatFor(uint32_t imageClass);

// The chain file's full name and the registry store's path.
std::string ChainFilePath(const std::string& settingsFolder, const ChainFormat& format);
std::string RegistryStorePath(const std::string& registryPath, const ChainFormat& format);

} // namespace viewchain
