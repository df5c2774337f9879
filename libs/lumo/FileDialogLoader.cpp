#include "external/LumoResult.h"
#include "libs/lumo/FileDialog.h"
#include "libs/lumo/ModuleDialogLoader.h"

namespace lumo {

uint32_t RunFileDialog(FileDialogRequest& request, uint32_t* pCancelled) {
    if (pCancelled)
        *pCancelled = 1;
    const auto function =
        reinterpret_cast<PFN_LumoRunFileDialog>(DialogLibrarySymbol("LumoRunFileDialog"));
    return function ? function(&request, pCancelled) : LUMO_E_NOTSUPPORTED;
}

} // namespace lumo
