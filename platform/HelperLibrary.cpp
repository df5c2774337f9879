#include "platform/HelperLibrary.h"

#include <dlfcn.h>

namespace platform {

bool ProcessRunsQt() {
    void* widgets = dlopen("libQt6Widgets.so.6", RTLD_NOW | RTLD_NOLOAD);
    if (!widgets)
        return false;
    dlclose(widgets); // only the reference taken just now
    return true;
}

std::string FolderOfObjectAt(const void* address) {
    Dl_info info{};
    if (!dladdr(address, &info) || !info.dli_fname)
        return ".";
    const std::string path = info.dli_fname;
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

void* OpenHelperLibrary(const void* anchor, const char* fileName) {
    const std::string path = FolderOfObjectAt(anchor) + "/" + fileName;
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

} // namespace platform
