// The C exports of libPemLogWindow.so, the log sink's output window. libPemDebug.so loads the
// library (from its own folder) only in a process that already runs Qt; this header names the
// exports without any Qt type.
#pragma once

#include <cstddef>

extern "C" {

// One window of one sink; opaque outside the window library.
struct PemLogWindow;

// Makes the window of the sink `name`, titled "<name> - Log" and hidden. The widget itself is
// built on the UI thread: at once when called there, else by a queued call. Null without a
// QApplication.
PemLogWindow* PemLogWindowCreate(const char* name);
// Adds `size` bytes of whole lines, each ending in '\n' (a last line without one counts as
// well). Callable from any thread; never waits for the UI thread.
void PemLogWindowAppend(PemLogWindow* window, const char* text, size_t size);
// Shows (non-zero) or hides the window; from any thread (elsewhere than on the UI thread the
// widget follows with a queued call, IsShown at once).
void PemLogWindowShow(PemLogWindow* window, int on);
// 1 while the window is meant to be shown: after Show(1) until Show(0) or until the user closes
// it. From any thread.
int PemLogWindowIsShown(const PemLogWindow* window);
// Releases the window; from any thread, also after the QApplication is gone (then the widget is
// left as it is).
void PemLogWindowDestroy(PemLogWindow* window);

} // extern "C"

using PFN_PemLogWindowCreate = PemLogWindow* (*)(const char*);
using PFN_PemLogWindowAppend = void (*)(PemLogWindow*, const char*, size_t);
using PFN_PemLogWindowShow = void (*)(PemLogWindow*, int);
using PFN_PemLogWindowIsShown = int (*)(const PemLogWindow*);
using PFN_PemLogWindowDestroy = void (*)(PemLogWindow*);
