// Loading the Qt-side helper libraries that a run-time library keeps beside itself
// (libLumoDialog.so beside libLumoInst.so, libPemLogWindow.so beside libPemDebug.so). They are
// loaded only into a process that already runs Qt: programs without a user interface never load
// Qt through a run-time library.
#pragma once

#include <string>

namespace platform {

// Whether Qt's widget library is already part of the process (then a QApplication may exist).
bool ProcessRunsQt();

// The folder of the shared object that holds `address` (code or data of it), without a trailing
// '/'; "." when it cannot be told.
std::string FolderOfObjectAt(const void* address);

// Opens `fileName` from the folder of the shared object holding `anchor` (RTLD_NOW |
// RTLD_LOCAL). Null when it cannot be opened. The library is never closed: Qt code stays loaded.
void* OpenHelperLibrary(const void* anchor, const char* fileName);

} // namespace platform
