// What a chain is built of: its named modules in processing order, its analyze group, one output
// image per module and the dialog entries. The object owns every module and image it lists (each
// goes back to the library instance that made it) and destroys them from the back of each list
// to the front: first the modules, then the analyze group, then the images.
#pragma once

#include "external/LumoPtr.h"

#include <cstdint>
#include <string>
#include <vector>

struct ChainModuleEntry {
    std::string name;
    LumoModulePtr module;
};

struct ChainDialogEntry {
    CLumoModule* module = nullptr;
    uint64_t moduleIndex = 0; // in the module list (chain flag 1) or the analyze group (0)
    uint64_t dialogIndex = 0; // within the module
    uint32_t chainFlag = 0;   // 1 main chain, 0 analyze group
    uint32_t openFlag = 0;
    uint32_t dialogId = 0;
};

class ChainContents {
public:
    ChainContents() = default;
    ~ChainContents() { Destroy(); }
    ChainContents(const ChainContents&) = delete;
    ChainContents& operator=(const ChainContents&) = delete;

    // Destroys what this object holds, then takes over everything `other` holds.
    void Replace(ChainContents& other);
    // Destroys every module and image (owned-object order above) and empties all lists.
    void Destroy();

    std::vector<ChainModuleEntry> m_modules;
    std::vector<LumoModulePtr> m_analyzeGroup;
    std::vector<LumoImagePtr> m_images;
    std::vector<ChainDialogEntry> m_dialogs;
};
