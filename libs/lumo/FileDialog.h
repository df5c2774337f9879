// The open and save dialog of the file modules. The dialog itself (Qt) lives in libLumoDialog.so
// beside libLumoInst.so, which is loaded only when the process already runs Qt: programs
// without a user interface (the command-line tool, tests) never load Qt through the library.
#pragma once

#include <cstdint>
#include <string>

namespace lumo {

struct FileDialogRequest {
    bool save = false;   // save dialog (the writer) or open dialog (the reader)
    std::string title;   // window title; empty: a default
    uint32_t type = 1;   // file type preselected; the chosen one on return (save only)
    std::string name;    // file name preselected; the chosen one on return
    bool verify = false; // save only: "Verify after saving" preset; the user's choice on return
    // Save only, presets and the user's choices on return: the frames as the view shows them
    // (parameter 346), and the video types' playback rate (344, millihertz) and quality (345).
    bool processed = false;
    uint32_t videoRate = 25000;
    uint32_t videoQuality = 18;
    void* parent = nullptr; // QWidget* or null
};

// Runs the dialog modally. Without a QApplication, or off its thread, nothing is shown: the
// result is LUMO_E_NOTSUPPORTED and *pCancelled 1. Otherwise LUMO_OK, with *pCancelled 1 when
// the user cancelled.
uint32_t RunFileDialog(FileDialogRequest& request, uint32_t* pCancelled);

} // namespace lumo

// The export of libLumoDialog.so that RunFileDialog calls.
extern "C" uint32_t LumoRunFileDialog(lumo::FileDialogRequest* request, uint32_t* pCancelled);
using PFN_LumoRunFileDialog = uint32_t (*)(lumo::FileDialogRequest*, uint32_t*);

namespace lumo {} // namespace lumo
