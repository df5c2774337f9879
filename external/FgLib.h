// The frame-grabber library libfglib5.so as the program sees it: 67 entry points with C linkage,
// bound by name at run time (acquisition/CSiliconAPI.h).
//
// The program calls eleven of them; their argument lists are what the program passes and their
// results what it relies on:
//   Fg_getBoardType     board type code; <= 0: no board with this index
//   Fg_Init             grabber handle, or null when the board cannot be opened with this applet
//   Fg_getSerialNumber  the board's serial number
//   Fg_FreeGrabber      closes the grabber
//   Fg_AllocMemHead     memory header for `count` user buffers of `total` bytes in all, or null
//   Fg_AddMem           registers one user buffer at a 0-based index of the header
//   Fg_FreeMemHead      releases the header (not the buffers)
//   Fg_setParameter     sets a parameter from the address of its value (DMA channel 0)
//   Fg_AcquireEx        starts acquisition of `count` images (-1 endless) into the registered
//                       buffers in ring order; negative: failure
//   Fg_stopAcquireEx    stops acquisition
//   Fg_getStatusEx      id 10, data 0: images transferred since the start (not wrapped);
//                       id 20, data 1: images lost so far; negative: not available
// The others must exist for the binding to be complete; their argument lists are ours, since
// the program never calls them.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

struct Fg_Struct; // an open grabber
struct dma_mem;   // a memory header describing user buffers

} // extern "C"

// FGLIB_ENTRY_POINTS(X) expands X(name, result, (arguments)) once per entry point, in the order
// the binding resolves them.
// clang-format off
#define FGLIB_ENTRY_POINTS(X) \
    X(Fg_Acquire, int, (Fg_Struct* grabber, unsigned int dma, int count)) \
    X(Fg_AcquireEx, int, (Fg_Struct* grabber, unsigned int dma, int64_t count, int mode, dma_mem* header)) \
    X(Fg_AddMem, int64_t, (Fg_Struct* grabber, void* buffer, uint64_t bytes, uint64_t index, dma_mem* header)) \
    X(Fg_AllocMem, void*, (Fg_Struct* grabber, uint64_t bytes, uint64_t count, unsigned int dma)) \
    X(Fg_AllocMemEx, dma_mem*, (Fg_Struct* grabber, uint64_t bytes, uint64_t count)) \
    X(Fg_AllocMemHead, dma_mem*, (Fg_Struct* grabber, uint64_t totalBytes, uint64_t count)) \
    X(Fg_AllocShading, void*, (Fg_Struct* grabber, int set, unsigned int dma)) \
    X(Fg_DelMem, int, (Fg_Struct* grabber, dma_mem* header, uint64_t index)) \
    X(Fg_FreeGrabber, int, (Fg_Struct* grabber)) \
    X(Fg_FreeMem, int, (Fg_Struct* grabber, unsigned int dma)) \
    X(Fg_FreeMemEx, int, (Fg_Struct* grabber, dma_mem* memory)) \
    X(Fg_FreeMemHead, int, (Fg_Struct* grabber, dma_mem* header)) \
    X(Fg_FreeShading, int, (Fg_Struct* grabber, void* shading)) \
    X(Fg_Init, Fg_Struct*, (const char* applet, unsigned int boardIndex)) \
    X(Fg_InitEx, Fg_Struct*, (const char* applet, unsigned int boardIndex, int flags)) \
    X(Fg_InitConfig, Fg_Struct*, (const char* configFile, unsigned int boardIndex)) \
    X(Fg_InitHandle, Fg_Struct*, (void* boardHandle, const char* applet, unsigned int boardIndex)) \
    X(Fg_eventWait, uint64_t, (Fg_Struct* grabber, uint64_t mask, unsigned int timeout, unsigned int flags, void* info)) \
    X(Fg_getAppletId, int, (Fg_Struct* grabber, const char* ignored)) \
    X(Fg_getBoardType, int, (int boardIndex)) \
    X(getErrorDescription, const char*, (Fg_Struct* grabber, int errorCode)) \
    X(Fg_getEventMask, uint64_t, (Fg_Struct* grabber, const char* name)) \
    X(Fg_getEventName, const char*, (Fg_Struct* grabber, uint64_t mask)) \
    X(Fg_getImage, int64_t, (Fg_Struct* grabber, int param, int64_t picture, unsigned int dma, unsigned int timeout)) \
    X(Fg_getImageEx, int64_t, (Fg_Struct* grabber, int param, int64_t picture, unsigned int dma, unsigned int timeout, dma_mem* header)) \
    X(Fg_getImagePtr, void*, (Fg_Struct* grabber, int64_t picture, unsigned int dma)) \
    X(Fg_getImagePtrEx, void*, (Fg_Struct* grabber, int64_t picture, unsigned int dma, dma_mem* header)) \
    X(Fg_getLastErrorDescription, const char*, (Fg_Struct* grabber)) \
    X(Fg_getLastPicNumberBlocking, int64_t, (Fg_Struct* grabber, int64_t picture, unsigned int dma, int timeout)) \
    X(Fg_getLastPicNumberBlockingEx, int64_t, (Fg_Struct* grabber, int64_t picture, unsigned int dma, int timeout, dma_mem* header)) \
    X(Fg_getLastPicNumberEx, int64_t, (Fg_Struct* grabber, unsigned int dma, dma_mem* header)) \
    X(Fg_getNrOfParameter, int, (Fg_Struct* grabber)) \
    X(Fg_getParameter, int, (Fg_Struct* grabber, int id, void* value, unsigned int dma)) \
    X(Fg_getParameterEx, int, (Fg_Struct* grabber, int id, void* value, unsigned int dma, dma_mem* header, int64_t picture)) \
    X(Fg_getParameterId, int, (Fg_Struct* grabber, int index)) \
    X(Fg_getParameterIdByName, int, (Fg_Struct* grabber, const char* name)) \
    X(Fg_getParameterInfo, const char*, (Fg_Struct* grabber, int id)) \
    X(Fg_getParameterInfoXML, int, (Fg_Struct* grabber, int port, char* xml, size_t* size)) \
    X(Fg_getParameterName, const char*, (Fg_Struct* grabber, int index)) \
    X(Fg_getParameterWithType, int, (Fg_Struct* grabber, int id, void* value, unsigned int dma, int type)) \
    X(Fg_getSWVersion, const char*, ()) \
    X(Fg_getSerialNumber, unsigned int, (Fg_Struct* grabber)) \
    X(Fg_getStatus, int, (Fg_Struct* grabber, int id, int64_t data, unsigned int dma)) \
    X(Fg_getStatusEx, int64_t, (Fg_Struct* grabber, int id, int64_t data, unsigned int dma, dma_mem* header)) \
    X(Fg_loadConfig, int, (Fg_Struct* grabber, const char* file)) \
    X(Fg_registerApcHandler, int, (Fg_Struct* grabber, unsigned int dma, const void* control, int flags)) \
    X(Fg_registerEventCallback, int, (Fg_Struct* grabber, uint64_t mask, void* handler, void* data, unsigned int flags, void* info)) \
    X(Fg_saveConfig, int, (Fg_Struct* grabber, const char* file)) \
    X(Fg_sendImage, int, (Fg_Struct* grabber, int64_t start, int64_t count, int flags, unsigned int dma)) \
    X(Fg_sendImageEx, int, (Fg_Struct* grabber, int64_t start, int64_t count, int flags, unsigned int dma, dma_mem* header)) \
    X(Fg_sendSoftwareTrigger, int, (Fg_Struct* grabber, unsigned int port)) \
    X(Fg_setExsync, int, (Fg_Struct* grabber, int flag, unsigned int port)) \
    X(Fg_setFlash, int, (Fg_Struct* grabber, int flag, unsigned int port)) \
    X(Fg_setParameter, int, (Fg_Struct* grabber, int id, const void* value, unsigned int dma)) \
    X(Fg_setParameterWithType, int, (Fg_Struct* grabber, int id, const void* value, unsigned int dma, int type)) \
    X(Fg_setStatus, int, (Fg_Struct* grabber, int id, int64_t data, unsigned int dma)) \
    X(Fg_setStatusEx, int, (Fg_Struct* grabber, int id, int64_t data, unsigned int dma, dma_mem* header)) \
    X(Fg_stopAcquire, int, (Fg_Struct* grabber, unsigned int dma)) \
    X(Fg_stopAcquireEx, int, (Fg_Struct* grabber, unsigned int dma, dma_mem* header, int flags)) \
    X(Shad_FreeAccess, void, (void* shading, int port)) \
    X(Shad_GetAccess, int, (void* shading, int port)) \
    X(Shad_GetMaxLine, int, (void* shading, int port)) \
    X(Shad_SetFixedPatternNoiseLine, int, (void* shading, int x, int channel, int on)) \
    X(Shad_SetMultValueLine, int, (void* shading, int x, int channel, float value)) \
    X(Shad_SetSubValueLine, int, (void* shading, int x, int channel, float value)) \
    X(Shad_WriteActLine, int, (void* shading, int line)) \
    X(getLastErrorNumber, int, (Fg_Struct* grabber))
// clang-format on

// One pointer type per entry point: PFN_Fg_Init and so on.
extern "C" {
#define FGLIB_DECLARE_POINTER_TYPE(name, result, arguments) typedef result(*PFN_##name) arguments;
FGLIB_ENTRY_POINTS(FGLIB_DECLARE_POINTER_TYPE)
#undef FGLIB_DECLARE_POINTER_TYPE
} // extern "C"

// The table of entry points, one member per name in resolution order; null while unresolved.
struct FgLibFunctions {
#define FGLIB_DECLARE_MEMBER(name, result, arguments) PFN_##name name = nullptr;
    FGLIB_ENTRY_POINTS(FGLIB_DECLARE_MEMBER)
#undef FGLIB_DECLARE_MEMBER
};

// Values the program passes.
inline constexpr int FG_PARAM_WIDTH = 100;
inline constexpr int FG_PARAM_HEIGHT = 200;
inline constexpr int FG_PARAM_11011 = 11011; // set to 310 when a camera prepares its buffers
inline constexpr int FG_PARAM_CC1 = 14001;   // CC1 .. CC4 are 14001 .. 14004: 5 on, 4 off
inline constexpr int FG_STATUS_TRANSFERRED = 10;
inline constexpr int FG_STATUS_LOST = 20;
inline constexpr int FG_ACQUIRE_MODE = 1;
inline constexpr int FG_STOP_FLAGS = static_cast<int>(0x80000000u);
inline constexpr int64_t FG_ACQUIRE_ENDLESS = -1;
