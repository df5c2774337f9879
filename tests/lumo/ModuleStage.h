// One processing module with its own output image, prepared the way the chain prepares it.
#pragma once

#include "libs/lumo/CImageObject.h"
#include "libs/lumo/CProcessModule.h"
#include "processing/ChainModuleSteps.h"

namespace lumotest {

struct Stage {
    lumo::CProcessModule& module;
    lumo::CImageObject output;
    // Makes `input` the module's input and prepares the output for it.
    bool Prepare(lumo::CImageObject& input) {
        CLumoImage* images[2] = {&input, &output};
        return module.SetImages(2, images) == 0 && PrepareModuleOutput(&module);
    }
};

} // namespace lumotest
