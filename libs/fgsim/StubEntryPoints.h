// The entry points the program never calls: they exist, so that a binding against the simulator
// is complete, and report failure.
#pragma once

#include "external/FgLib.h"

// clang-format off
#define FGSIM_STUB_ENTRY_POINTS(X) \
    X(Fg_Acquire, int, (Fg_Struct* grabber, unsigned int dma, int count)) \
    X(Fg_AllocMem, void*, (Fg_Struct* grabber, uint64_t bytes, uint64_t count, unsigned int dma)) \
    X(Fg_AllocMemEx, dma_mem*, (Fg_Struct* grabber, uint64_t bytes, uint64_t count)) \
    X(Fg_AllocShading, void*, (Fg_Struct* grabber, int set, unsigned int dma)) \
    X(Fg_DelMem, int, (Fg_Struct* grabber, dma_mem* header, uint64_t index)) \
    X(Fg_FreeMem, int, (Fg_Struct* grabber, unsigned int dma)) \
    X(Fg_FreeMemEx, int, (Fg_Struct* grabber, dma_mem* memory)) \
    X(Fg_FreeShading, int, (Fg_Struct* grabber, void* shading)) \
    X(Fg_InitEx, Fg_Struct*, (const char* applet, unsigned int boardIndex, int flags)) \
    X(Fg_InitConfig, Fg_Struct*, (const char* configFile, unsigned int boardIndex)) \
    X(Fg_InitHandle, Fg_Struct*, (void* boardHandle, const char* applet, unsigned int boardIndex)) \
    X(Fg_eventWait, uint64_t, (Fg_Struct* grabber, uint64_t mask, unsigned int timeout, unsigned int flags, void* info)) \
    X(Fg_getAppletId, int, (Fg_Struct* grabber, const char* ignored)) \
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
    X(Fg_getParameterEx, int, (Fg_Struct* grabber, int id, void* value, unsigned int dma, dma_mem* header, int64_t picture)) \
    X(Fg_getParameterId, int, (Fg_Struct* grabber, int index)) \
    X(Fg_getParameterIdByName, int, (Fg_Struct* grabber, const char* name)) \
    X(Fg_getParameterInfo, const char*, (Fg_Struct* grabber, int id)) \
    X(Fg_getParameterInfoXML, int, (Fg_Struct* grabber, int port, char* xml, size_t* size)) \
    X(Fg_getParameterName, const char*, (Fg_Struct* grabber, int index)) \
    X(Fg_getParameterWithType, int, (Fg_Struct* grabber, int id, void* value, unsigned int dma, int type)) \
    X(Fg_getStatus, int, (Fg_Struct* grabber, int id, int64_t data, unsigned int dma)) \
    X(Fg_loadConfig, int, (Fg_Struct* grabber, const char* file)) \
    X(Fg_registerApcHandler, int, (Fg_Struct* grabber, unsigned int dma, const void* control, int flags)) \
    X(Fg_registerEventCallback, int, (Fg_Struct* grabber, uint64_t mask, void* handler, void* data, unsigned int flags, void* info)) \
    X(Fg_saveConfig, int, (Fg_Struct* grabber, const char* file)) \
    X(Fg_sendImage, int, (Fg_Struct* grabber, int64_t start, int64_t count, int flags, unsigned int dma)) \
    X(Fg_sendImageEx, int, (Fg_Struct* grabber, int64_t start, int64_t count, int flags, unsigned int dma, dma_mem* header)) \
    X(Fg_sendSoftwareTrigger, int, (Fg_Struct* grabber, unsigned int port)) \
    X(Fg_setExsync, int, (Fg_Struct* grabber, int flag, unsigned int port)) \
    X(Fg_setFlash, int, (Fg_Struct* grabber, int flag, unsigned int port)) \
    X(Fg_setParameterWithType, int, (Fg_Struct* grabber, int id, const void* value, unsigned int dma, int type)) \
    X(Fg_setStatus, int, (Fg_Struct* grabber, int id, int64_t data, unsigned int dma)) \
    X(Fg_setStatusEx, int, (Fg_Struct* grabber, int id, int64_t data, unsigned int dma, dma_mem* header)) \
    X(Fg_stopAcquire, int, (Fg_Struct* grabber, unsigned int dma)) \
    X(Shad_FreeAccess, void, (void* shading, int port)) \
    X(Shad_GetAccess, int, (void* shading, int port)) \
    X(Shad_GetMaxLine, int, (void* shading, int port)) \
    X(Shad_SetFixedPatternNoiseLine, int, (void* shading, int x, int channel, int on)) \
    X(Shad_SetMultValueLine, int, (void* shading, int x, int channel, float value)) \
    X(Shad_SetSubValueLine, int, (void* shading, int x, int channel, float value)) \
    X(Shad_WriteActLine, int, (void* shading, int line)) \
    X(getLastErrorNumber, int, (Fg_Struct* grabber))
// clang-format on
