// What the processor offers beyond the x86-64 baseline, asked once per process. The kernels
// that use an extension have a plain path too and pick one at run time.
#pragma once

namespace lumo {

// AVX-512 with byte and word operations and VBMI's byte permutes.
inline bool HasAvx512Vbmi() {
#if defined(__x86_64__)
    static const bool has = __builtin_cpu_supports("avx512f") &&
                            __builtin_cpu_supports("avx512bw") &&
                            __builtin_cpu_supports("avx512vbmi");
    return has;
#else
    return false;
#endif
}

} // namespace lumo
