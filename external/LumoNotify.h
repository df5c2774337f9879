// The notification block a module is handed with parameter 2 (LUMO_PARAM_NOTIFY): the function
// the module calls about its dialogs, the context to pass back, then zeros. The module calls
// pfnNotify(module, context, code); the code's high 16 bits are a dialog ID, its low 16 bits an
// event (0, 1, 2: the dialog closed; 3: a setting changed, the image wants processing again).
#pragma once

#include "external/LumoModule.h"

#include <cstdint>

using LumoNotifyFunction = uint32_t (*)(CLumoModule* module, void* context, uint32_t code);

struct LumoNotifyBlock {
    LumoNotifyFunction pfnNotify;
    void* pContext;
    uint8_t reserved[24];
};
static_assert(sizeof(LumoNotifyBlock) == 40);

inline constexpr uint32_t LUMO_EVENT_DIALOG_OK = 0;
inline constexpr uint32_t LUMO_EVENT_DIALOG_CANCEL = 1;
inline constexpr uint32_t LUMO_EVENT_DIALOG_CLOSED = 2;
inline constexpr uint32_t LUMO_EVENT_CHANGED = 3;
