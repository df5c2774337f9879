#include "libs/lumo/ModuleDialogLoader.h"

#include "external/LumoResult.h"

#include <dlfcn.h>
#include <mutex>
#include <string>

namespace lumo {

namespace {

void* DialogLibrary() {
    static std::once_flag once;
    static void* library = nullptr;
    std::call_once(once, [] {
        Dl_info info{};
        if (!dladdr(reinterpret_cast<void*>(&DialogLibrary), &info) || !info.dli_fname)
            return;
        std::string folder = info.dli_fname;
        const size_t slash = folder.rfind('/');
        folder = slash == std::string::npos ? std::string(".") : folder.substr(0, slash);
        library = dlopen((folder + "/libLumoDialog.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    });
    return library;
}

template <typename F>
F Function(const char* name) {
    return reinterpret_cast<F>(DialogLibrarySymbol(name));
}

} // namespace

bool ProcessRunsQt() {
    void* widgets = dlopen("libQt6Widgets.so.6", RTLD_NOW | RTLD_NOLOAD);
    if (!widgets)
        return false;
    dlclose(widgets); // only the reference taken just now
    return true;
}

void* DialogLibrarySymbol(const char* name) {
    if (!ProcessRunsQt())
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
