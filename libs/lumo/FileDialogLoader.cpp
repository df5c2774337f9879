#include "external/LumoResult.h"
#include "libs/lumo/FileDialog.h"

#include <dlfcn.h>
#include <mutex>
#include <string>

namespace lumo {

namespace {

// The dialog library beside this library; loaded once and kept (Qt stays loaded anyway).
PFN_LumoRunFileDialog DialogFunction() {
    static std::once_flag once;
    static PFN_LumoRunFileDialog function = nullptr;
    std::call_once(once, [] {
        Dl_info info{};
        if (!dladdr(reinterpret_cast<void*>(&DialogFunction), &info) || !info.dli_fname)
            return;
        std::string folder = info.dli_fname;
        const size_t slash = folder.rfind('/');
        folder = slash == std::string::npos ? std::string(".") : folder.substr(0, slash);
        void* library = dlopen((folder + "/libLumoDialog.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        if (library)
            function = reinterpret_cast<PFN_LumoRunFileDialog>(dlsym(library, "LumoRunFileDialog"));
    });
    return function;
}

// Whether Qt's widget library is already part of the process (then a QApplication may exist).
bool ProcessRunsQt() {
    void* widgets = dlopen("libQt6Widgets.so.6", RTLD_NOW | RTLD_NOLOAD);
    if (!widgets)
        return false;
    dlclose(widgets); // only the reference taken just now
    return true;
}

} // namespace

uint32_t RunFileDialog(FileDialogRequest& request, uint32_t* pCancelled) {
    if (pCancelled)
        *pCancelled = 1;
    if (!ProcessRunsQt())
        return LUMO_E_NOTSUPPORTED;
    const PFN_LumoRunFileDialog function = DialogFunction();
    return function ? function(&request, pCancelled) : LUMO_E_NOTSUPPORTED;
}

} // namespace lumo
