// The exports of libPemLogWindow.so (window/PemLogWindow.h).
#include "libs/pemdebug/window/CLogWindowState.h"
#include "libs/pemdebug/window/PemLogWindow.h"

#include <QApplication>

#include <cstring>
#include <memory>
#include <new>

namespace {

// Longest sink name put into the title.
constexpr size_t MAX_NAME = 256;

} // namespace

struct PemLogWindow {
    pemlogwindow::CLogWindowState* state; // released with Dispose on the UI thread
};

extern "C" {

__attribute__((visibility("default"))) PemLogWindow* PemLogWindowCreate(const char* name) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return nullptr;
    try {
        const QString title = QString::fromUtf8(
            name ? name : "", name ? static_cast<qsizetype>(strnlen(name, MAX_NAME)) : 0);
        auto window = std::make_unique<PemLogWindow>();
        window->state = new pemlogwindow::CLogWindowState(title); // lives on the UI thread
        return window.release(); // given back through PemLogWindowDestroy
    } catch (...) {
        return nullptr;
    }
}

__attribute__((visibility("default"))) void PemLogWindowAppend(PemLogWindow* window,
                                                               const char* text, size_t size) {
    if (!window || !text)
        return;
    try {
        window->state->Append(text, size);
    } catch (...) {
        // out of memory: the lines stay in the log file only
    }
}

__attribute__((visibility("default"))) void PemLogWindowShow(PemLogWindow* window, int on) {
    if (window)
        window->state->Show(on != 0);
}

__attribute__((visibility("default"))) int PemLogWindowIsShown(const PemLogWindow* window) {
    return window && window->state->IsShown() ? 1 : 0;
}

__attribute__((visibility("default"))) void PemLogWindowDestroy(PemLogWindow* window) {
    if (!window)
        return;
    window->state->Dispose();
    delete window;
}

} // extern "C"
