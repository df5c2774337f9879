// The process-wide binding of the frame-grabber library libfglib5.so.
//
// The process's binding is built before main() runs (TheSiliconAPI()): it loads the library by
// the look-up order of RuntimeLibraries (KAVRIN_FGLIB, "none" = no library; else the loader's
// search; else the simulator beside the program), resolves the 67 entry points by name in
// order, records one error per missing name, and lists the grabber boards. The binding is
// available only when the library was loaded and every name resolved. Camera code calls the
// grabber through Functions() directly; no entry is ever called while it is null.
#pragma once

#include "external/FgLib.h"
#include "platform/SharedLibrary.h"

#include <cstdint>
#include <string>
#include <vector>

class CSiliconAPI {
public:
    struct ErrorRecord {
        std::string text; // "SiliconAPI ERROR: Could not find <name> fgLib5!"
        uint32_t code = 0;
    };

    struct BoardRecord {
        uint32_t boardIndex = 0; // the library's board number, passed to Fg_Init
        int32_t boardType = 0;   // Fg_getBoardType
        std::string appletFile;  // empty when the board type has none
        std::string boardName;
        uint32_t serialNumber = 0; // 0 when the board could not be opened
        bool operator==(const BoardRecord&) const = default;
    };

    // Binds by the look-up order above.
    CSiliconAPI();
    // Binds the library at `path` (a path, or a name for the loader's search); "none" binds
    // nothing.
    explicit CSiliconAPI(const std::string& path);
    // Unloads the library.
    virtual ~CSiliconAPI();
    CSiliconAPI(const CSiliconAPI&) = delete;
    CSiliconAPI& operator=(const CSiliconAPI&) = delete;

    // True when the library was loaded and all 67 names were resolved.
    virtual bool IsAvailable() const { return m_bAvailable; }
    // Stores the library's export `name` in `*entry`; when there is none, appends an error
    // record, makes the binding unavailable and sets the entry to null.
    virtual void ResolveFunction(void** entry, const char* name);

    // Fills the board list from the library: boards 0, 1, 2, ... until Fg_getBoardType answers
    // a type <= 0 (at most MAX_BOARDS). Each board is opened once to read its serial number.
    void EnumerateBoards();
    // Moves the boards with the given serial numbers to the front, in that order; unknown serial
    // numbers are skipped, and each occurrence of a serial takes the next board that has it.
    void ReorderBoards(const std::vector<uint32_t>& serials);

    const std::vector<ErrorRecord>& Errors() const { return m_errors; }
    const std::vector<BoardRecord>& Boards() const { return m_boards; }
    const FgLibFunctions& Functions() const { return m_functions; }
    // The loaded library (tests reach the simulator's extra exports through it).
    const platform::SharedLibrary& Library() const { return m_hModule; }

    // Board name and applet file of a board type ("Unknown / Unsupported Board" and none for
    // types the program does not know).
    static const char* BoardName(int32_t boardType);
    static const char* AppletFile(int32_t boardType);

    // Number of entry points the binding resolves.
    static constexpr size_t FUNCTION_COUNT = 67;
    // Enumeration stops here even if the library reports more boards.
    static constexpr uint32_t MAX_BOARDS = 64;

private:
    void Bind();

    std::vector<ErrorRecord> m_errors;
    platform::SharedLibrary m_hModule;
    bool m_bAvailable = false;
    std::vector<BoardRecord> m_boards;
    FgLibFunctions m_functions;
};

// The process's binding, built during static initialisation.
CSiliconAPI& TheSiliconAPI();
