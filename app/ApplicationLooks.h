// The application looks of the View menu (command ids 205-219). The looks of the old frame
// that have a sensible Qt equivalent are offered; the others are left out, and a stored id
// that is not offered falls back to the platform style (210).
#pragma once

#include <cstdint>
#include <vector>

struct AppLookEntry {
    uint32_t id;
    const char* text; // menu text
};

// The offered looks, in menu order.
const std::vector<AppLookEntry>& ApplicationLooks();
// `id` when it is offered, else 210.
uint32_t OfferedLook(uint32_t id);
// Switches the widget style and palette of the running QApplication to look `id`.
void ApplyApplicationLook(uint32_t id);
