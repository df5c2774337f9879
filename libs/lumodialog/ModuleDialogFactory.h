// Which dialog a process module gets, by the module's object ID.
#pragma once

#include "libs/lumodialog/CModuleDialog.h"

#include <memory>

namespace lumodialog {

// The dialog for host.module, or null when its module type has none.
std::unique_ptr<CModuleDialog> CreateModuleDialog(const LumoModuleDialogHost& host,
                                                  QWidget* parent);

} // namespace lumodialog
