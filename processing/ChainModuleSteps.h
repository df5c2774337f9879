// The steps the chain takes on each module while it builds, refreshes or saves its contents.
// CImgProcessChain offers them as its virtual operations; the free functions are the chain's
// own way of taking them.
#pragma once

#include "external/LumoModule.h"

class CIniFile_0;

class ChainModuleSteps {
public:
    // Fits the module's parameter blocks to its input image.
    virtual void AdaptToInput(CLumoModule* module) = 0;
    // Gives an analyze module its colours for `image` (may be null) and its options.
    virtual void SetOptions(CLumoModule* module, CLumoImage* image) = 0;
    // Allocates the module's output as its output information asks; false when it cannot.
    [[nodiscard]] virtual bool PrepareOutput(CLumoModule* module) = 0;
    // The module's own settings from and into the two stores, under `section`.
    virtual void LoadModuleSettings(CLumoModule* module, CIniFile_0* iniStore,
                                    CIniFile_0* registryStore, const char* section) = 0;
    virtual void SaveModuleSettings(CLumoModule* module, CIniFile_0* iniStore,
                                    CIniFile_0* registryStore, const char* section) = 0;

protected:
    ~ChainModuleSteps() = default;
};

// Allocates the module's output image (GetImage (1)) for its output information and its input:
// format, geometry, attributes 2 to 4 and origin. False without output information, input or
// output, or when the allocation fails.
[[nodiscard]] bool PrepareModuleOutput(CLumoModule* module);
// The look-up table's colour mode, class and ranges, and the contrast window's full range, for
// the bits and class of the module's input. Other modules are left alone.
void AdaptModuleToInput(CLumoModule* module);
// The plot colours of the analyze modules for the class of `image`, then the "Options" group.
void SetModuleOptions(CLumoModule* module, CLumoImage* image);
