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
    // Distinct fixed IDs and non-null factories: none of these registrations can be refused.
    (void)registry.Register(CBlackGainModule::ID, "Black Level / Gain", &Make<CBlackGainModule>);
    (void)registry.Register(COrientationModule::ID, "Orientation", &Make<COrientationModule>);
    (void)registry.Register(CCfaToRgbModule::ID, "CFA to RGB", &Make<CCfaToRgbModule>);
    (void)registry.Register(CLookUpTableModule::ID, "Look-up Table", &Make<CLookUpTableModule>);
    (void)registry.Register(CContrastWindowModule::ID, "Contrast Window",
                            &Make<CContrastWindowModule>);
    (void)registry.Register(CDisplayModule::ID, "Display", &Make<CDisplayModule>);
    (void)registry.Register(CHistogramModule::ID, "Histogram", &Make<CHistogramModule>);
    (void)registry.Register(CProfileModule::LINE_ID, "Line Profile", [] {
        return std::unique_ptr<CModuleBase>(std::make_unique<CProfileModule>(false));
    });
    (void)registry.Register(CProfileModule::COLUMN_ID, "Column Profile", [] {
        return std::unique_ptr<CModuleBase>(std::make_unique<CProfileModule>(true));
    });
    (void)registry.Register(CStatisticsModule::ID, "Statistics", &Make<CStatisticsModule>);
}

} // namespace lumo
