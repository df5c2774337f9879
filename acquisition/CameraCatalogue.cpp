#include "acquisition/CameraCatalogue.h"

#include "acquisition/CameraModels.h"
#include "external/ImageFormat.h"

#include <iterator>
#include <new>

namespace {

template <typename Camera>
CCamera* Create() {
    return new (std::nothrow) Camera(); // owned by the caller, deleted through Destroy
}

void Destroy(CCamera* camera) {
    delete camera;
}

CCamera* CreateKavrinFast() {
    return new (std::nothrow) CKavrinFast(ImageFormat::GREY8);
}

// The menu texts; indices 7 and 11 reuse the classes of 1 and 10.
constexpr const char* NAMES[] = {
    "Kavrin KX-220B 200fps",
    "Kavrin KX-220C 200fps",
    "Kavrin KX-220B (Fast mode / Half image)",
    "Kavrin KX-220C (Fast mode / Half image)",
    "Kavrin KX-220B (Fast mode)",
    "Kavrin KX-220C (Fast mode)",
    "TLM-2200 (Slow mode)",
    "TLM-2200C (Slow mode)",
    "TLM-2200 (Fast mode / Half image)",
    "TLM-2200C (Fast mode / Half image)",
    "TLM-2200 (Fast mode)",
    "TLM-2200C (Fast mode)",
};

template <size_t Index>
const char* Name() {
    return NAMES[Index];
}

constexpr CameraCatalogueEntry CATALOGUE[] = {
    {&Create<CKavrinSlow>, &Destroy, &Name<0>},
    {&Create<CKavrinCSlow>, &Destroy, &Name<1>},
    {&Create<CKavrinFastHalf>, &Destroy, &Name<2>},
    {&Create<CKavrinCFastHalf>, &Destroy, &Name<3>},
    {&CreateKavrinFast, &Destroy, &Name<4>},
    {&Create<CKavrinCFast>, &Destroy, &Name<5>},
    {&Create<CTLM2200Slow>, &Destroy, &Name<6>},
    {&Create<CKavrinCSlow>, &Destroy, &Name<7>},
    {&Create<CTLM2200FastHalf>, &Destroy, &Name<8>},
    {&Create<CTLM2200CFastHalf>, &Destroy, &Name<9>},
    {&Create<CTLM2200Fast>, &Destroy, &Name<10>},
    {&Create<CTLM2200Fast>, &Destroy, &Name<11>},
};

static_assert(std::size(CATALOGUE) == std::size(NAMES));

} // namespace

size_t CameraCatalogueSize() {
    return std::size(CATALOGUE);
}

const CameraCatalogueEntry* CameraCatalogueEntryAt(size_t index) {
    return index < std::size(CATALOGUE) ? &CATALOGUE[index] : nullptr;
}

CameraPtr CreateCatalogueCamera(size_t index) {
    const CameraCatalogueEntry* entry = CameraCatalogueEntryAt(index);
    if (!entry)
        return CameraPtr(nullptr, CameraDestroyer{&Destroy});
    return CameraPtr(entry->create(), CameraDestroyer{entry->destroy});
}
