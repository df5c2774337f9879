#include "libs/lumo/ProcessingModules.h"

#include "libs/lumo/CBlackGainModule.h"
#include "libs/lumo/CCfaToRgbModule.h"
#include "libs/lumo/CContrastWindowModule.h"
#include "libs/lumo/CDisplayModule.h"
#include "libs/lumo/CLookUpTableModule.h"
#include "libs/lumo/CModuleRegistry.h"
#include "libs/lumo/COrientationModule.h"

#include <memory>

namespace lumo {

namespace {

template <typename T>
std::unique_ptr<CModuleBase> Make() {
    return std::make_unique<T>();
}

} // namespace

void RegisterProcessingModules(CModuleRegistry& registry) {
    registry.Register(CBlackGainModule::ID, "Black Level / Gain", &Make<CBlackGainModule>);
    registry.Register(COrientationModule::ID, "Orientation", &Make<COrientationModule>);
    registry.Register(CCfaToRgbModule::ID, "CFA to RGB", &Make<CCfaToRgbModule>);
    registry.Register(CLookUpTableModule::ID, "Look-up Table", &Make<CLookUpTableModule>);
    registry.Register(CContrastWindowModule::ID, "Contrast Window", &Make<CContrastWindowModule>);
    registry.Register(CDisplayModule::ID, "Display", &Make<CDisplayModule>);
}

} // namespace lumo
