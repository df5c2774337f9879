// The Qt side of the image library: libLumoDialog.so beside libLumoInst.so holds the file dialog
// and the process modules' dialogs. libLumoInst.so loads it only in a process that already runs
// Qt, and reaches it only through the C functions below (no Qt type crosses the boundary).
//
// A module dialog is opened from a host record: the module it edits, its dialog ID and title,
// the parent QWidget* (as void*), and the function the dialog calls with an event (0 OK, 1
// Cancel, 2 closed, 3 a setting changed), which the module turns into its notify call. The
// dialog reads and writes the module through its parameters (CLumoModule). Everything runs on
// the QApplication's thread; the handle belongs to the module, which closes it before it goes.
#pragma once

#include "external/LumoModule.h"

#include <cstdint>
#include <memory>

struct LumoModuleDialogHost {
    CLumoModule* module;
    uint32_t dialogId;
    const char* title;                            // copied while the dialog opens
    void* parent;                                 // QWidget* or null
    void (*event)(void* context, uint32_t event); // never called while the dialog is being closed
    void* context;
};

struct LumoModuleDialog; // opaque, made and destroyed by libLumoDialog.so

// modal 0: shows the dialog modeless and returns its handle. modal 1: runs it to its end; the
// handle then holds the finished dialog and *pCancelled is 0 after OK, 1 otherwise. Null (and
// *pCancelled 1) without a QApplication, off its thread, or when the module has no dialog.
extern "C" LumoModuleDialog* LumoOpenModuleDialog(const LumoModuleDialogHost* host, uint32_t modal,
                                                  uint32_t* pCancelled);
// Closes the dialog without an event and frees the handle (null: nothing).
extern "C" void LumoCloseModuleDialog(LumoModuleDialog* handle);
// Non-zero while the dialog is shown.
extern "C" uint32_t LumoIsModuleDialogOpen(const LumoModuleDialog* handle);
// Shows a dialog the user closed again, raises and activates it: LUMO_OK, LUMO_E_NOTSUPPORTED
// off the QApplication's thread, LUMO_E_INVALIDARG when the dialog is gone (its parent window
// was destroyed: the handle only waits to be closed).
extern "C" uint32_t LumoShowModuleDialog(LumoModuleDialog* handle);

using PFN_LumoOpenModuleDialog = LumoModuleDialog* (*)(const LumoModuleDialogHost*, uint32_t,
                                                       uint32_t*);
using PFN_LumoCloseModuleDialog = void (*)(LumoModuleDialog*);
using PFN_LumoIsModuleDialogOpen = uint32_t (*)(const LumoModuleDialog*);
using PFN_LumoShowModuleDialog = uint32_t (*)(LumoModuleDialog*);

namespace lumo {

// The export `name` of libLumoDialog.so, loaded once from this library's folder and kept (Qt
// stays loaded anyway); null when the process does not run Qt or the library or export is
// missing.
void* DialogLibrarySymbol(const char* name);

// The calls above through DialogLibrarySymbol; without the library: null, nothing, false,
// LUMO_E_NOTSUPPORTED.
LumoModuleDialog* OpenModuleDialog(const LumoModuleDialogHost& host, bool modal,
                                   uint32_t* pCancelled);
void CloseModuleDialog(LumoModuleDialog* handle);
bool IsModuleDialogOpen(const LumoModuleDialog* handle);
[[nodiscard]] uint32_t ShowModuleDialog(LumoModuleDialog* handle);

struct ModuleDialogCloser {
    void operator()(LumoModuleDialog* handle) const { CloseModuleDialog(handle); }
};
using ModuleDialogPtr = std::unique_ptr<LumoModuleDialog, ModuleDialogCloser>;

} // namespace lumo
