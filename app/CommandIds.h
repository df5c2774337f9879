// The command ids of the desktop program: menus, toolbars, accelerators and the enable rules
// are keyed by them, as the menus of the window frame have always been.
#pragma once

#include <cstdint>

namespace cmd {

// File
inline constexpr uint32_t ID_FILE_NEW = 0xE100;
inline constexpr uint32_t ID_FILE_OPEN = 0xE101;
inline constexpr uint32_t ID_FILE_SAVE = 0xE103;
inline constexpr uint32_t ID_FILE_SAVE_AS = 0xE104;
inline constexpr uint32_t ID_FILE_PAGE_SETUP = 0xE105;
inline constexpr uint32_t ID_FILE_PRINT_SETUP = 0xE106;
inline constexpr uint32_t ID_FILE_PRINT = 0xE107;
inline constexpr uint32_t ID_FILE_PRINT_DIRECT = 0xE108;
inline constexpr uint32_t ID_FILE_PRINT_PREVIEW = 0xE109;
inline constexpr uint32_t ID_FILE_MRU_FIRST = 0xE110; // four entries
inline constexpr uint32_t ID_APP_EXIT = 0xE141;
inline constexpr uint32_t ID_APP_ABOUT = 0xE140;

// Edit
inline constexpr uint32_t ID_EDIT_CUT = 0xE123;
inline constexpr uint32_t ID_EDIT_COPY = 0xE122;
inline constexpr uint32_t ID_EDIT_PASTE = 0xE125;
inline constexpr uint32_t ID_EDIT_UNDO = 0xE12B;

// View
inline constexpr uint32_t ID_VIEW_STATUS_BAR = 0xE801;
inline constexpr uint32_t ID_VIEW_LOOK_FIRST = 205;
inline constexpr uint32_t ID_VIEW_LOOK_LAST = 219;

// Camera: 0x8002 + catalogue index
inline constexpr uint32_t ID_CAMERA_FIRST = 0x8002; // 32770
inline constexpr uint32_t ID_CAMERA_LAST = 32870;

// Grab
inline constexpr uint32_t ID_GRAB_CONTINUOUS = 32900;
inline constexpr uint32_t ID_GRAB_SINGLE = 32901;
inline constexpr uint32_t ID_GRAB_STOP = 32902;
// A continuous grab runs on for the post-trigger share of the ring, then stops by itself.
inline constexpr uint32_t ID_GRAB_TRIGGER = 32903;

// Display and processing
inline constexpr uint32_t ID_SAVE_CURRENT_IMAGE = 32700;
inline constexpr uint32_t ID_IMG_PROCESS = 32814;
inline constexpr uint32_t ID_ZOOM_IN = 32904;
inline constexpr uint32_t ID_ZOOM_OUT = 32905;
inline constexpr uint32_t ID_ZOOM_1_1 = 32906;
inline constexpr uint32_t ID_ZOOM_HARD_SOFT = 32908;
inline constexpr uint32_t ID_APP_OPTIONS = 32909;
inline constexpr uint32_t ID_DEBUG_DOC = 32913;
inline constexpr uint32_t ID_DEBUG_VIEW = 32914;

// Toolbar bitmaps of the old frame use command ids 57600.. for the standard commands; the
// toolbars here reuse the actions of the ids above.

// Status bar panes written by the view.
inline constexpr uint32_t ID_PANE_PIXEL = 118;
inline constexpr uint32_t ID_PANE_LOST = 119;
inline constexpr uint32_t ID_PANE_DISPLAY_RATE = 120;
inline constexpr uint32_t ID_PANE_GRAB_RATE = 121;
inline constexpr uint32_t ID_PANE_ZOOM = 122;

// The document's update hints.
inline constexpr int HINT_NEW_SEQUENCE = 1;
inline constexpr int HINT_NEW_IMAGES = 2;
inline constexpr int HINT_SHOW_POSITION = 3;
inline constexpr int HINT_GRAB_STARTED = 4;
inline constexpr int HINT_ENDED = 5;
inline constexpr int HINT_SAVE_ENDED = 6;

} // namespace cmd
