#include "acquisition/CSiliconAPI.h"

#include "acquisition/RuntimeLibraries.h"

#include <cstring>
#include <iterator>

namespace {

#define FGLIB_COUNT_ONE(name, result, arguments) +1
static_assert((0 FGLIB_ENTRY_POINTS(FGLIB_COUNT_ONE)) == CSiliconAPI::FUNCTION_COUNT);
#undef FGLIB_COUNT_ONE

struct BoardTableEntry {
    int32_t type;
    const char* name;
    const char* applet; // empty: the board type has no applet
};

constexpr BoardTableEntry BOARD_TABLE[] = {
    {163, "MicroEnable III", ""},
    {2609, "MicroEnable III XXL", ""},
    {2624, "MicroEnable IV AD1-CL", "DualAreaGray16.dll"},
    {2625, "MicroEnable IV VD1-CL", "FullAreaGray8.dll"},
    {2626, "MicroEnable IV AD4-CL", "FullAreaGray8_HS.dll"},
    {2628, "MicroEnable IV VD4-CL", "FullAreaGray8_HS.dll"},
    {2629, "MicroEnable IV AS1-CL", "SingleAreaGray16.dll"},
    {3650, "MicroEnable IV AQ4-GE", "QuadAreaGray8.dll"},
    {3652, "MicroEnable IV VQ4-GE", "QuadAreaGray8"},
};

const BoardTableEntry* FindBoardType(int32_t type) {
    for (const BoardTableEntry& entry : BOARD_TABLE) {
        if (entry.type == type)
            return &entry;
    }
    return nullptr;
}

} // namespace

CSiliconAPI::CSiliconAPI() {
    if (RuntimeLibraries::OpenGrabberLibrary(m_hModule))
        Bind();
}

CSiliconAPI::CSiliconAPI(const std::string& path) {
    if (path != "none" && m_hModule.Open(path))
        Bind();
}

CSiliconAPI::~CSiliconAPI() {
    m_functions = FgLibFunctions{};
    m_hModule.Close();
}

void CSiliconAPI::Bind() {
    m_bAvailable = true;
#define FGLIB_RESOLVE(name, result, arguments)                                                     \
    {                                                                                              \
        void* address = nullptr;                                                                   \
        ResolveFunction(&address, #name);                                                          \
        m_functions.name = reinterpret_cast<PFN_##name>(address);                                  \
    }
    FGLIB_ENTRY_POINTS(FGLIB_RESOLVE)
#undef FGLIB_RESOLVE
    if (m_functions.Fg_getBoardType && m_functions.Fg_Init && m_functions.Fg_getSerialNumber &&
        m_functions.Fg_FreeGrabber)
        EnumerateBoards();
}

void CSiliconAPI::ResolveFunction(void** entry, const char* name) {
    if (void* address = m_hModule.IsLoaded() ? m_hModule.Symbol(name) : nullptr) {
        *entry = address;
        return;
    }
    m_errors.push_back(
        ErrorRecord{std::string("SiliconAPI ERROR: Could not find ") + name + " fgLib5!", 0});
    m_bAvailable = false;
    *entry = nullptr;
}

const char* CSiliconAPI::BoardName(int32_t boardType) {
    const BoardTableEntry* entry = FindBoardType(boardType);
    return entry ? entry->name : "Unknown / Unsupported Board";
}

const char* CSiliconAPI::AppletFile(int32_t boardType) {
    const BoardTableEntry* entry = FindBoardType(boardType);
    return entry ? entry->applet : "";
}

void CSiliconAPI::EnumerateBoards() {
    m_boards.clear();
    const FgLibFunctions& fn = m_functions;
    if (!fn.Fg_getBoardType || !fn.Fg_Init || !fn.Fg_getSerialNumber || !fn.Fg_FreeGrabber)
        return;
    for (uint32_t i = 0; i < MAX_BOARDS; ++i) {
        const int type = fn.Fg_getBoardType(static_cast<int>(i));
        if (type <= 0)
            break;
        BoardRecord board;
        board.boardIndex = i;
        board.boardType = type;
        board.appletFile = AppletFile(type);
        board.boardName = BoardName(type);
        if (Fg_Struct* grabber = fn.Fg_Init(board.appletFile.c_str(), i)) {
            board.serialNumber = fn.Fg_getSerialNumber(grabber);
            fn.Fg_FreeGrabber(grabber);
        }
        m_boards.push_back(std::move(board));
    }
}

void CSiliconAPI::ReorderBoards(const std::vector<uint32_t>& serials) {
    std::vector<BoardRecord> front;
    for (uint32_t serial : serials) {
        for (auto it = m_boards.begin(); it != m_boards.end(); ++it) {
            if (it->serialNumber == serial) {
                front.push_back(std::move(*it));
                m_boards.erase(it);
                break;
            }
        }
    }
    m_boards.insert(m_boards.begin(), std::make_move_iterator(front.begin()),
                    std::make_move_iterator(front.end()));
}

CSiliconAPI& TheSiliconAPI() {
    static CSiliconAPI binding;
    return binding;
}

namespace {
// Builds the process's binding during static initialisation, before main() runs.
[[maybe_unused]] CSiliconAPI& g_siliconAPI = TheSiliconAPI();
} // namespace
