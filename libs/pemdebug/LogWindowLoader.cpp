#include "libs/pemdebug/LogWindowLoader.h"

#include "platform/HelperLibrary.h"

#include <dlfcn.h>
#include <mutex>
#include <string>

namespace pemdebug {

namespace {

template <typename F>
bool Resolve(void* library, const char* name, F& function) {
    function = reinterpret_cast<F>(dlsym(library, name));
    return function != nullptr;
}

LogWindowFunctions Load() {
    LogWindowFunctions f;
    void* library =
        platform::OpenHelperLibrary(reinterpret_cast<const void*>(&Load), "libPemLogWindow.so");
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
    if (!platform::ProcessRunsQt())
        return nullptr;
    static std::once_flag once;
    static LogWindowFunctions functions;
    std::call_once(once, [] { functions = Load(); });
    return functions.create ? &functions : nullptr;
}

} // namespace pemdebug
