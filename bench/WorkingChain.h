// Settings that make each module of a default chain do real work: black level 4 and gain 1.5,
// a horizontal mirror, a contrast window of 16 .. 200 and the gamma 0.45 table. Modules left
// at their identity settings hand their input on without a pass over the frame.
#pragma once

#include "external/LumoModule.h"
#include "external/LumoModuleIds.h"
#include "external/LumoParamBlocks.h"

#include <cstdint>
#include <cstring>

namespace bench {

// The look-up table's own parameter that selects a table (kind, index).
inline constexpr uint32_t LUT_SELECT_TABLE = 40;

// Gives `module` its working setting; modules without one keep theirs. False when refused.
inline bool SetWorking(CLumoModule* module) {
    const uint32_t id = module->GetObjectId();
    uint8_t block[128] = {};
    if (id == LUMO_ID_BLACK_GAIN) {
        const double blackGain[2] = {4.0, 1.5};
        std::memcpy(block, blackGain, sizeof blackGain);
        return module->SetParam(LUMO_PARAM_BLOCK12, uintptr_t(block), 16) == 0;
    }
    if (id == LUMO_ID_ORIENTATION) {
        const uint32_t mirror[2] = {1, 0};
        std::memcpy(block, mirror, sizeof mirror);
        return module->SetParam(LUMO_PARAM_BLOCK12, uintptr_t(block), 8) == 0;
    }
    if (id == LUMO_ID_CONTRAST_WINDOW) {
        if (module->GetParam(LUMO_PARAM_BLOCK12, uintptr_t(block), sizeof block) != 0)
            return false;
        const double window[2] = {16.0, 200.0};
        std::memcpy(block + 16, window, sizeof window);
        return module->SetParam(LUMO_PARAM_BLOCK12, uintptr_t(block), sizeof block) == 0;
    }
    if (id == LUMO_ID_LOOK_UP_TABLE) // gamma 0.45: factory table 1
        return module->SetParam(LUT_SELECT_TABLE, 1, 1) == 0;
    return true;
}

} // namespace bench
