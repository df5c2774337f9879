// The simulated grabber library's exports: the 67 entry points of the grabber library with C
// linkage, and the simulator's own FgSim_ exports for tests and benchmarks. Built twice: as
// libfglib5.so, and with FGSIM_WITHOUT_STATUSEX as libfglib5_partial.so, which lacks
// Fg_getStatusEx.
//
// Entry points named in FGSIM_FAIL fail: handles come back null, results negative, serial
// numbers 0. Releasing entry points report the failure but still release, so a fault test
// leaks nothing.
#include "external/FgLib.h"
#include "libs/fgsim/CSimRegistry.h"
#include "libs/fgsim/StubEntryPoints.h"

#include <cstring>
#include <type_traits>

#define FGSIM_EXPORT __attribute__((visibility("default")))

extern "C" {
#define FGSIM_DECLARE(name, result, arguments) FGSIM_EXPORT result name arguments;
FGLIB_ENTRY_POINTS(FGSIM_DECLARE)
#undef FGSIM_DECLARE

// fps 0: `frames` further camera frames reach the grabber at once; frames written, or -1.
FGSIM_EXPORT int64_t FgSim_Step(Fg_Struct* grabber, uint64_t frames);
// A counter of CSimRegistry::Counter; -1 for an unknown name.
FGSIM_EXPORT int64_t FgSim_Counter(const char* name);
FGSIM_EXPORT void FgSim_ResetCounters();
}

using fgsim::CSimRegistry;

namespace {

constexpr int FG_FAILED = -1;

std::shared_ptr<fgsim::CSimGrabber> Find(Fg_Struct* grabber) {
    return CSimRegistry::Instance().Find(grabber);
}

template <typename Result>
Result FailedResult() {
    if constexpr (std::is_void_v<Result>)
        return;
    else if constexpr (std::is_pointer_v<Result>)
        return nullptr;
    else if constexpr (std::is_signed_v<Result>)
        return static_cast<Result>(-1);
    else
        return Result{};
}

} // namespace

extern "C" {

int Fg_getBoardType(int boardIndex) {
    if (boardIndex < 0 || CSimRegistry::FailsNow("Fg_getBoardType"))
        return FG_FAILED;
    const auto boards = fgsim::ParseBoards(fgsim::ReadEnvironment("FGSIM_BOARDS"));
    if (static_cast<size_t>(boardIndex) >= boards.size())
        return FG_FAILED;
    return boards[static_cast<size_t>(boardIndex)].type;
}

Fg_Struct* Fg_Init(const char* /*applet: any name is accepted*/, unsigned int boardIndex) {
    if (CSimRegistry::FailsNow("Fg_Init"))
        return nullptr;
    return reinterpret_cast<Fg_Struct*>(CSimRegistry::Instance().Open(boardIndex).get());
}

unsigned int Fg_getSerialNumber(Fg_Struct* grabber) {
    const auto open = Find(grabber);
    if (!open || open->Fails("Fg_getSerialNumber"))
        return 0;
    return open->Serial();
}

int Fg_FreeGrabber(Fg_Struct* grabber) {
    const auto open = Find(grabber);
    if (!open || !CSimRegistry::Instance().Close(grabber))
        return FG_FAILED;
    return open->Fails("Fg_FreeGrabber") ? FG_FAILED : 0;
}

dma_mem* Fg_AllocMemHead(Fg_Struct* grabber, uint64_t /*totalBytes*/, uint64_t count) {
    const auto open = Find(grabber);
    if (!open || open->Fails("Fg_AllocMemHead"))
        return nullptr;
    void* header = open->AllocMemHead(count);
    if (header)
        ++CSimRegistry::Instance().m_llHeadsAllocated;
    return static_cast<dma_mem*>(header);
}

int Fg_FreeMemHead(Fg_Struct* grabber, dma_mem* header) {
    const auto open = Find(grabber);
    if (!open || !open->FreeMemHead(header))
        return FG_FAILED;
    ++CSimRegistry::Instance().m_llHeadsFreed;
    return open->Fails("Fg_FreeMemHead") ? FG_FAILED : 0;
}

int64_t Fg_AddMem(Fg_Struct* grabber, void* buffer, uint64_t bytes, uint64_t index,
                  dma_mem* header) {
    const auto open = Find(grabber);
    if (!open || open->Fails("Fg_AddMem") || !open->AddMem(header, buffer, bytes, index))
        return FG_FAILED;
    return static_cast<int64_t>(index);
}

int Fg_setParameter(Fg_Struct* grabber, int id, const void* value, unsigned int dma) {
    const auto open = Find(grabber);
    if (!open || !value || dma != 0 || open->Fails("Fg_setParameter"))
        return FG_FAILED;
    uint32_t number = 0;
    std::memcpy(&number, value, sizeof number);
    return open->SetParameter(id, number) ? 0 : FG_FAILED;
}

int Fg_getParameter(Fg_Struct* grabber, int id, void* value, unsigned int dma) {
    const auto open = Find(grabber);
    if (!open || !value || dma != 0 || open->Fails("Fg_getParameter"))
        return FG_FAILED;
    const auto number = open->GetParameter(id);
    if (!number)
        return FG_FAILED;
    std::memcpy(value, &*number, sizeof *number);
    return 0;
}

int Fg_AcquireEx(Fg_Struct* grabber, unsigned int dma, int64_t count, int /*mode*/,
                 dma_mem* header) {
    const auto open = Find(grabber);
    if (!open || dma != 0 || open->Fails("Fg_AcquireEx"))
        return FG_FAILED;
    const char channel = CSimRegistry::Instance().ChannelOf(*open);
    return open->Acquire(header, count, channel, fgsim::ReadEnvironment) ? 0 : FG_FAILED;
}

int Fg_stopAcquireEx(Fg_Struct* grabber, unsigned int /*dma*/, dma_mem* /*header*/, int /*flags*/) {
    const auto open = Find(grabber);
    if (!open)
        return FG_FAILED;
    open->StopAcquire();
    return open->Fails("Fg_stopAcquireEx") ? FG_FAILED : 0;
}

#ifndef FGSIM_WITHOUT_STATUSEX
int64_t Fg_getStatusEx(Fg_Struct* grabber, int id, int64_t data, unsigned int /*dma*/,
                       dma_mem* /*header*/) {
    const auto open = Find(grabber);
    if (!open || open->Fails("Fg_getStatusEx"))
        return FG_FAILED;
    if (id == 10 && data == 0)
        return open->Transferred();
    if (id == 20 && data == 1)
        return open->Lost();
    return FG_FAILED;
}
#endif

const char* Fg_getSWVersion() {
    return "fgsim 1.0";
}

int64_t FgSim_Step(Fg_Struct* grabber, uint64_t frames) {
    const auto open = Find(grabber);
    return open ? open->Step(frames) : -1;
}

int64_t FgSim_Counter(const char* name) {
    return name ? CSimRegistry::Instance().Counter(name) : -1;
}

void FgSim_ResetCounters() {
    CSimRegistry::Instance().ResetCounters();
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-parameter"
#define FGSIM_DEFINE_STUB(name, result, arguments)                                                 \
    result name arguments {                                                                        \
        return FailedResult<result>();                                                             \
    }
FGSIM_STUB_ENTRY_POINTS(FGSIM_DEFINE_STUB)
#undef FGSIM_DEFINE_STUB
#pragma GCC diagnostic pop

} // extern "C"
