// Owns the three libraries the program binds at run time and the image library's instance.
//   libLumoInst.so  KAVRIN_LUMOINST (a path), else beside the program
//   libPemDebug.so  KAVRIN_PEMDEBUG (a path), else beside the program
//   libfglib5.so    KAVRIN_FGLIB (a path; "none" = no grabber library), else the loader's
//                   search (a vendor installation), else the simulator beside the program
// A library that is missing, or lacks an export, is absent; the program works on without it.
//
// One object is made current for the process (the application's, the command-line tool's, a
// test's); sequences reach the image library instance through CurrentLumoInstance().
#pragma once

#include "external/DebugSink.h"
#include "external/LumoInstance.h"
#include "platform/SharedLibrary.h"

#include <atomic>
#include <string>

class RuntimeLibraries {
public:
    RuntimeLibraries() = default;
    // Unload(); stops being current.
    ~RuntimeLibraries();
    RuntimeLibraries(const RuntimeLibraries&) = delete;
    RuntimeLibraries& operator=(const RuntimeLibraries&) = delete;

    // Loads libLumoInst.so, creates the instance with CreateLumoInstance and calls its
    // Init(".", "Pem*.dll", 1). True when an instance exists afterwards.
    bool LoadImageLibrary();
    // Loads libPemDebug.so. True when it exports both CreateDebugInstance and
    // DeleteDebugInstance.
    bool LoadDebugLibrary();
    // Binds libfglib5.so by the look-up order above. True when a library was loaded (whether it
    // has every entry point is the grabber binding's business).
    bool LoadGrabberLibrary();
    // Opens the grabber library into `library` by the look-up order above; false when none of
    // the places gives one (or KAVRIN_FGLIB is "none").
    static bool OpenGrabberLibrary(platform::SharedLibrary& library);

    // Deletes the instance with DeleteLumoInstance, then unloads the image library, the debug
    // library and the grabber library.
    void Unload();

    CLumoInstance* GetLumoInstance() const { return m_pLumo.load(); }
    const platform::SharedLibrary& ImageLibrary() const { return m_lumoLib; }
    const platform::SharedLibrary& DebugLibrary() const { return m_debugLib; }
    const platform::SharedLibrary& GrabberLibrary() const { return m_grabberLib; }

    // A new log sink from the debug library; null without it.
    CDebugSink* CreateDebugSink() const;
    // Releases a sink made by CreateDebugSink. Null is ignored.
    void DeleteDebugSink(CDebugSink* sink) const;

    // Makes this object the process's current one (replacing any other).
    void MakeCurrent();
    static RuntimeLibraries* Current();

    // Where each library would be loaded from now: the environment's path, else the file beside
    // the program; empty when neither gives one.
    static std::string ImageLibraryPath();
    static std::string DebugLibraryPath();

private:
    platform::SharedLibrary m_lumoLib;
    platform::SharedLibrary m_debugLib;
    platform::SharedLibrary m_grabberLib;
    std::atomic<CLumoInstance*> m_pLumo{nullptr};
};

// The image library instance of the current RuntimeLibraries; null when there is none.
CLumoInstance* CurrentLumoInstance();
