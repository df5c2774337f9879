#include "libs/lumo/ProcessingModules.h"

#include "libs/lumo/CBlackGainModule.h"
#include "libs/lumo/CCfaToRgbModule.h"
#include "libs/lumo/CContrastWindowModule.h"
#include "libs/lumo/CDisplayModule.h"
#include "libs/lumo/CHistogramModule.h"
#include "libs/lumo/CLookUpTableModule.h"
#include "libs/lumo/CModuleRegistry.h"
#include "libs/lumo/COrientationModule.h"
#include "libs/lumo/CProfileModule.h"
#include "libs/lumo/CStatisticsModule.h"

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
    registry.Register(CHistogramModule::ID, "Histogram", &Make<CHistogramModule>);
    registry.Register(CProfileModule::LINE_ID, "Line Profile", [] {
        return std::unique_ptr<CModuleBase>(std::make_unique<CProfileModule>(false));
    });
    registry.Register(CProfileModule::COLUMN_ID, "Column Profile", [] {
        return std::unique_ptr<CModuleBase>(std::make_unique<CProfileModule>(true));
    });
    registry.Register(CStatisticsModule::ID, "Statistics", &Make<CStatisticsModule>);
}

} // namespace lumo
