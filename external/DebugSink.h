// The log sink the debug library hands out (CreateDebugInstance / DeleteDebugInstance).
// Every sequence, chain and view holds one; a null sink means no logging.
#pragma once

#include <cstdint>

class CDebugSink {
public:
    // Parameter ids of SetSinkParam / GetSinkParam.
    static constexpr uint32_t PARAM_NAME = 0;   // value: const char* naming the sink
    static constexpr uint32_t PARAM_OUTPUT = 6; // value: 0 hides the output, non-zero shows it

    // Sets parameter `id`. For PARAM_NAME `value` is a const char*; for PARAM_OUTPUT a number.
    // Returns 0 when the parameter was taken.
    [[nodiscard]] virtual uint32_t SetSinkParam(uint32_t id, uintptr_t value, uintptr_t extra) = 0;
    // Reads parameter `id` into *out (PARAM_OUTPUT: 1 when the output is shown, else 0).
    // Returns 0 when the parameter exists.
    [[nodiscard]] virtual uint32_t GetSinkParam(uint32_t id, uintptr_t* out, uintptr_t extra) = 0;
    // Shows the output (1). Returns 0.
    virtual uint32_t ActivateOutput(uint32_t on) = 0;
    // Level 0 marks failures, 1 traces. `format` is printf-style; the 64-bit conversions are
    // the platform's ("%llu", "%lld", "%llX"); the "%I64u" family is accepted as well.
    // Never blocks the caller on disk I/O.
    virtual void Log(uint32_t level, const char* format, ...)
        __attribute__((format(printf, 3, 4))) = 0;

protected:
    ~CDebugSink() = default; // released only through DeleteDebugInstance
};

// The two exports of libPemDebug.so, looked up by name at run time.
using PFN_CreateDebugInstance = CDebugSink* (*)();
using PFN_DeleteDebugInstance = void (*)(CDebugSink*);
