#include "libs/pemdebug/LogWindowLoader.h"

#include <dlfcn.h>
#include <mutex>
#include <string>

namespace pemdebug {

namespace {

// Whether Qt's widget library is already part of the process (then a QApplication may exist).
bool ProcessRunsQt() {
    void* widgets = dlopen("libQt6Widgets.so.6", RTLD_NOW | RTLD_NOLOAD);
    if (!widgets)
        return false;
    dlclose(widgets); // only the reference taken just now
    return true;
}

// The folder of the library holding this code ("." when unknown).
std::string OwnFolder() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&ProcessRunsQt), &info) || !info.dli_fname)
        return ".";
    const std::string path = info.dli_fname;
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

template <typename F>
bool Resolve(void* library, const char* name, F& function) {
    function = reinterpret_cast<F>(dlsym(library, name));
    return function != nullptr;
}

LogWindowFunctions Load() {
    LogWindowFunctions f;
    void* library = dlopen((OwnFolder() + "/libPemLogWindow.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return f;
    if (Resolve(library, "PemLogWindowCreate", f.create) &&
        Resolve(library, "PemLogWindowAppend", f.append) &&
        Resolve(library, "PemLogWindowShow", f.show) &&
        Resolve(library, "PemLogWindowIsShown", f.isShown) &&
        Resolve(library, "PemLogWindowDestroy", f.destroy))
        return f;
    return LogWindowFunctions{}; // kept loaded: Qt code is never unloaded
}

} // namespace

const LogWindowFunctions* LogWindowLibrary() {
    if (!ProcessRunsQt())
        return nullptr;
    static std::once_flag once;
    static LogWindowFunctions functions;
    std::call_once(once, [] { functions = Load(); });
    return functions.create ? &functions : nullptr;
}

} // namespace pemdebug
