// Row bands: a frame's rows split into bands that several threads work on at once. The process
// chain owns one set of workers and hands it to every module it makes with parameter
// LUMO_PARAM_ROW_BANDS; a module without one works through its rows on the calling thread.
//
// Run calls `band` for disjoint row ranges [rowBegin, rowEnd) that together cover 0 .. rows - 1
// exactly once, and returns when every call has returned. The calling thread takes bands itself.
// Bands run at the same time, so a band writes only its own rows of the output. Run may be
// called from any thread, also while another Run is under way (the second then works through
// its rows alone) and from inside a band.
#pragma once

#include <cstdint>
#include <type_traits>

// Set: a = CRowBands* (null: the module's kernels run on the calling thread only). The module
// does not own it; its owner keeps it until the module is gone. Get: a = CRowBands** out.
inline constexpr uint32_t LUMO_PARAM_ROW_BANDS = 27;

class CRowBands {
public:
    using BandFunction = void (*)(void* context, uint32_t rowBegin, uint32_t rowEnd);

    virtual void Run(uint32_t rows, BandFunction band, void* context) = 0;

protected:
    ~CRowBands() = default;
};

// Runs `band(rowBegin, rowEnd)` over `rows` rows on `bands`, or all at once on the calling
// thread when `bands` is null.
template <typename F>
void RunRowBands(CRowBands* bands, uint32_t rows, F&& band) {
    if (!bands) {
        if (rows > 0)
            band(uint32_t(0), rows);
        return;
    }
    using Band = std::remove_reference_t<F>;
    bands->Run(
        rows,
        [](void* context, uint32_t rowBegin, uint32_t rowEnd) {
            (*static_cast<Band*>(context))(rowBegin, rowEnd);
        },
        const_cast<void*>(static_cast<const void*>(&band)));
}
