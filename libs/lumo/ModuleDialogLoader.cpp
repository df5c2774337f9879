#include "libs/lumo/ModuleDialogLoader.h"

#include "external/LumoResult.h"
#include "platform/HelperLibrary.h"

#include <dlfcn.h>
#include <mutex>
#include <string>

namespace lumo {

namespace {

void* DialogLibrary() {
    static std::once_flag once;
    static void* library = nullptr;
    std::call_once(once, [] {
        library = platform::OpenHelperLibrary(reinterpret_cast<const void*>(&DialogLibrary),
                                              "libLumoDialog.so");
    });
    return library;
}

template <typename F>
F Function(const char* name) {
    return reinterpret_cast<F>(DialogLibrarySymbol(name));
}

} // namespace

void* DialogLibrarySymbol(const char* name) {
    if (!platform::ProcessRunsQt())
        return nullptr;
    void* library = DialogLibrary();
    return library ? dlsym(library, name) : nullptr;
}

LumoModuleDialog* OpenModuleDialog(const LumoModuleDialogHost& host, bool modal,
                                   uint32_t* pCancelled) {
    if (pCancelled)
        *pCancelled = 1;
    const auto open = Function<PFN_LumoOpenModuleDialog>("LumoOpenModuleDialog");
    return open ? open(&host, modal ? 1 : 0, pCancelled) : nullptr;
}

void CloseModuleDialog(LumoModuleDialog* handle) {
    if (!handle)
        return;
    // A handle exists only where the library was loaded and resolved.
    if (const auto close = Function<PFN_LumoCloseModuleDialog>("LumoCloseModuleDialog"))
        close(handle);
}

bool IsModuleDialogOpen(const LumoModuleDialog* handle) {
    if (!handle)
        return false;
    const auto isOpen = Function<PFN_LumoIsModuleDialogOpen>("LumoIsModuleDialogOpen");
    return isOpen && isOpen(handle) != 0;
}

uint32_t ShowModuleDialog(LumoModuleDialog* handle) {
    if (!handle)
        return LUMO_E_INVALIDARG;
    const auto show = Function<PFN_LumoShowModuleDialog>("LumoShowModuleDialog");
    return show ? show(handle) : LUMO_E_NOTSUPPORTED;
}

} // namespace lumo
