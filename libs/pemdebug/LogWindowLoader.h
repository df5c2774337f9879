// The output windows of libPemLogWindow.so, reached only in a process that already runs Qt:
// libPemDebug.so itself never links Qt, so programs without a user interface never load it.
#pragma once

#include "libs/pemdebug/window/PemLogWindow.h"

namespace pemdebug {

// The window library's exports, all present.
struct LogWindowFunctions {
    PFN_PemLogWindowCreate create = nullptr;
    PFN_PemLogWindowAppend append = nullptr;
    PFN_PemLogWindowShow show = nullptr;
    PFN_PemLogWindowIsShown isShown = nullptr;
    PFN_PemLogWindowDestroy destroy = nullptr;
};

// Null unless the process runs Qt and libPemLogWindow.so beside this library loads with all its
// exports. The library is loaded once and kept (Qt stays loaded anyway).
const LogWindowFunctions* LogWindowLibrary();

} // namespace pemdebug
