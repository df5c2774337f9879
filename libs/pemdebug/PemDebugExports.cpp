// The two exports of libPemDebug.so.
#include "libs/pemdebug/CPemDebugSink.h"

#include <new>

extern "C" {

__attribute__((visibility("default"))) CDebugSink* CreateDebugInstance() {
    try {
        return new pemdebug::CPemDebugSink();
    } catch (...) {
        return nullptr; // no sink means no logging
    }
}

__attribute__((visibility("default"))) void DeleteDebugInstance(CDebugSink* sink) {
    delete static_cast<pemdebug::CPemDebugSink*>(sink);
}

} // extern "C"
