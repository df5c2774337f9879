// The catalogue of the twelve camera types, in the order of the "CameraType" setting and the
// camera menu (command 0x8002 + index). Built before the program's own start-up; never changed.
#pragma once

#include "acquisition/CCamera.h"

#include <cstddef>
#include <memory>

struct CameraCatalogueEntry {
    // A new camera of the type (the caller owns it), or null when it cannot be allocated.
    CCamera* (*create)();
    // Deletes a camera made by create; nothing for null. The same for every entry.
    void (*destroy)(CCamera* camera);
    // The type's menu text.
    const char* (*name)();
};

// 12.
size_t CameraCatalogueSize();
// The entry at `index`; null when index is not below the size.
const CameraCatalogueEntry* CameraCatalogueEntryAt(size_t index);

// A camera made by a catalogue entry, destroyed through it.
struct CameraDestroyer {
    void (*destroy)(CCamera*);
    void operator()(CCamera* camera) const { destroy(camera); }
};
using CameraPtr = std::unique_ptr<CCamera, CameraDestroyer>;
// Creates the camera of catalogue entry `index`; null for an index beyond the catalogue or when
// the camera cannot be allocated.
CameraPtr CreateCatalogueCamera(size_t index);
