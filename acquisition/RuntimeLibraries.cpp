#include "acquisition/RuntimeLibraries.h"

#include "platform/ProgramFolder.h"

#include <cstdlib>

namespace {

constexpr const char* LUMO_FILE = "libLumoInst.so";
constexpr const char* PEMDEBUG_FILE = "libPemDebug.so";
constexpr const char* FGLIB_FILE = "libfglib5.so";

std::atomic<RuntimeLibraries*> g_pCurrent{nullptr};

std::string EnvOrEmpty(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

// The environment's path when set and not empty, else the file beside the program.
std::string PathFor(const char* envName, const char* fileName) {
    std::string path = EnvOrEmpty(envName);
    if (!path.empty())
        return path;
    return platform::FindBesideProgram(fileName);
}

} // namespace

RuntimeLibraries::~RuntimeLibraries() {
    RuntimeLibraries* self = this;
    g_pCurrent.compare_exchange_strong(self, nullptr);
    Unload();
}

std::string RuntimeLibraries::ImageLibraryPath() {
    return PathFor("KAVRIN_LUMOINST", LUMO_FILE);
}

std::string RuntimeLibraries::DebugLibraryPath() {
    return PathFor("KAVRIN_PEMDEBUG", PEMDEBUG_FILE);
}

bool RuntimeLibraries::LoadImageLibrary() {
    if (m_pLumo.load())
        return true;
    if (!m_lumoLib.Open(ImageLibraryPath()))
        return false;
    const auto create = m_lumoLib.Function<PFN_CreateLumoInstance>("CreateLumoInstance");
    if (!create)
        return false;
    CLumoInstance* instance = create();
    if (!instance)
        return false;
    // Its result is not examined: the program goes on with the modules the library offers.
    (void)instance->Init(".", "Pem*.dll", 1);
    m_pLumo.store(instance);
    return true;
}

bool RuntimeLibraries::LoadDebugLibrary() {
    if (!m_debugLib.IsLoaded() && !m_debugLib.Open(DebugLibraryPath()))
        return false;
    return m_debugLib.Symbol("CreateDebugInstance") && m_debugLib.Symbol("DeleteDebugInstance");
}

bool RuntimeLibraries::LoadGrabberLibrary() {
    if (m_grabberLib.IsLoaded())
        return true;
    return OpenGrabberLibrary(m_grabberLib);
}

bool RuntimeLibraries::OpenGrabberLibrary(platform::SharedLibrary& library) {
    const std::string fromEnv = EnvOrEmpty("KAVRIN_FGLIB");
    if (fromEnv == "none")
        return false;
    if (!fromEnv.empty())
        return library.Open(fromEnv);
    if (library.Open(FGLIB_FILE)) // a vendor installation on the loader's search path
        return true;
    return library.Open(platform::FindBesideProgram(FGLIB_FILE));
}

void RuntimeLibraries::Unload() {
    if (CLumoInstance* instance = m_pLumo.exchange(nullptr)) {
        if (const auto destroy = m_lumoLib.Function<PFN_DeleteLumoInstance>("DeleteLumoInstance"))
            destroy(instance);
    }
    m_lumoLib.Close();
    m_debugLib.Close();
    m_grabberLib.Close();
}

CDebugSink* RuntimeLibraries::CreateDebugSink() const {
    const auto create = m_debugLib.Function<PFN_CreateDebugInstance>("CreateDebugInstance");
    return create ? create() : nullptr;
}

void RuntimeLibraries::DeleteDebugSink(CDebugSink* sink) const {
    const auto destroy = m_debugLib.Function<PFN_DeleteDebugInstance>("DeleteDebugInstance");
    if (sink && destroy)
        destroy(sink);
}

void RuntimeLibraries::MakeCurrent() {
    g_pCurrent.store(this);
}

RuntimeLibraries* RuntimeLibraries::Current() {
    return g_pCurrent.load();
}

CLumoInstance* CurrentLumoInstance() {
    RuntimeLibraries* current = g_pCurrent.load();
    return current ? current->GetLumoInstance() : nullptr;
}
