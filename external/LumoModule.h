// Process modules of the image library: a step that reads an input image and fills an output
// image (processing, display), or reads and writes files (file writer 1, file reader 2).
// Made with CLumoInstance::CreateModule and destroyed with DeleteModule.
#pragma once

#include "external/LumoImage.h"
#include "external/LumoModuleIds.h"

#include <cstdint>

// What a module reports about the output it produces (GetOutputInfo). File readers fill the
// frame count of the chosen file; processing modules the geometry and class they produce.
struct LumoOutputInfo {
    uint64_t frameCount;         // frames in the file a reader is set to (1 for other modules)
    uint32_t width;              // output width in pixels
    uint32_t height;             // output height in pixels
    uint32_t maxSignificantBits; // most significant bits per sample the output can carry
    uint32_t imageClass;         // image class of the output (ImageFormat.h)
};

// One dialog a module offers (GetParam LUMO_PARAM_DIALOGS); the dialog ID comes first.
struct LumoDialogInfo {
    uint32_t dialogId;
    uint32_t reserved;
};

// Parameter ids shared by the modules (each module adds its own). Parameter arguments are passed as
// uintptr_t; use LumoArg() for pointers.
inline constexpr uint32_t LUMO_PARAM_NOTIFY = 2;   // Set: a = notification block, b = its size
inline constexpr uint32_t LUMO_PARAM_LOG = 4;      // Set: a = CDebugSink* (null: no logging)
inline constexpr uint32_t LUMO_PARAM_TITLE = 20;   // Set: a = 0, b = const char* dialog title;
                                                   // Get: a = dialog ID, b = const char** out
                                                   // (module-owned text, null when it has none)
inline constexpr uint32_t LUMO_PARAM_DIALOGS = 26; // Query: b = uint64_t* count out;
                                                   // Get: a = index, b = LumoDialogInfo* out

template <typename T>
inline uintptr_t LumoArg(T* pointer) {
    return reinterpret_cast<uintptr_t>(pointer);
}

class CLumoModule {
public:
    static constexpr uint32_t EXECUTE_PROCESS = 0;
    static constexpr uint32_t EXECUTE_PAINT = 1;
    static constexpr uint32_t EXECUTE_TAKE_IMAGE = 2;
    static constexpr uint32_t EXECUTE_ANALYSE = 0xFFFFFFFF;

    virtual uint32_t GetObjectId() const = 0;
    // count 1: images[0] is the input; count 2: input and output. images = null (any count)
    // detaches both. The module does not own the images.
    [[nodiscard]] virtual uint32_t SetImages(uint32_t count, CLumoImage* const* images) = 0;
    // 0: the input, 1: the output; null when none was given.
    virtual CLumoImage* GetImage(uint32_t which) const = 0;
    // Asks about parameter `id`; a count comes back through one of the pointer arguments.
    [[nodiscard]] virtual uint32_t QueryParam(uint32_t id, uintptr_t a, uintptr_t b, uintptr_t c,
                                              uintptr_t d) = 0;
    [[nodiscard]] virtual uint32_t SetParam(uint32_t id, uintptr_t a, uintptr_t b) = 0;
    [[nodiscard]] virtual uint32_t GetParam(uint32_t id, uintptr_t a, uintptr_t b) = 0;
    // mode: EXECUTE_*. 0 or the module's error code.
    [[nodiscard]] virtual uint32_t Execute(uint32_t mode) = 0;
    // Runs dialog `dialogId` modally over `parentWindow` (a QWidget*, may be null);
    // *pCancelled becomes 1 when the user cancelled, else 0.
    [[nodiscard]] virtual uint32_t RunDialog(uint32_t dialogId, void* parentWindow,
                                             uint32_t* pCancelled) = 0;
    [[nodiscard]] virtual uint32_t OpenDialog(uint32_t dialogId, void* parentWindow) = 0;
    [[nodiscard]] virtual uint32_t CloseDialog(uint32_t dialogId) = 0;
    // Non-zero when the dialog is open.
    virtual uint32_t IsDialogOpen(uint32_t dialogId) const = 0;
    // Module-owned record (valid until the next call on the module), or null. `which` is 0.
    virtual const LumoOutputInfo* GetOutputInfo(uint32_t which) = 0;

protected:
    virtual ~CLumoModule() = default;
};
