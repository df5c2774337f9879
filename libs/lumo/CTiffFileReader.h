// Reads TIFF and BigTIFF files through libtiff: pages in strips or tiles, 8/16-bit grey, RGB,
// CFA and palette (converted to 8-bit RGB), any compression libtiff offers. libtiff's messages
// are kept (LastMessage), never printed.
#pragma once

#include "libs/lumo/ImageFileFrame.h"

#include <cstdint>
#include <string>

struct tiff;

namespace lumo {

class CTiffFileReader {
public:
    CTiffFileReader() = default;
    ~CTiffFileReader();
    CTiffFileReader(const CTiffFileReader&) = delete;
    CTiffFileReader& operator=(const CTiffFileReader&) = delete;

    // Opens `path` and counts its whole pages: those before the first page whose directory
    // cannot be read or whose data does not fit into the file (TiffPageBytes.h; together the
    // pages may not claim more bytes than the file holds). LUMO_E_FILEDAMAGED when libtiff
    // refuses the file or its first page is damaged.
    [[nodiscard]] uint32_t Open(const std::string& path, uint64_t frameLimit);
    void Close();
    bool IsOpen() const { return m_pTiff != nullptr; }
    const std::string& Path() const { return m_path; }
    // Whole pages, plus one when the file is damaged after them: that last page then fails to
    // read with LUMO_E_FILEDAMAGED.
    uint64_t PageCount() const { return m_pageCount; }
    // What is damaged ("page 3: its data reaches past the end of the file"); empty for a whole
    // file.
    const std::string& Damage() const { return m_damage; }
    [[nodiscard]] uint32_t ReadPage(uint64_t page, CImageFileTarget& target);
    const std::string& LastMessage() const { return m_message; }

    // libtiff's handler; stores the message (public for the C callback).
    void Report(const char* module, const char* text, bool error);

private:
    [[nodiscard]] uint32_t SelectPage(uint64_t page);
    // Walks the directories from the first, counting whole pages and noting the damage.
    void CountWholePages(uint64_t fileSize);

    struct tiff* m_pTiff = nullptr;
    std::string m_path;
    uint64_t m_pageCount = 0;
    uint64_t m_readable = 0;
    uint64_t m_current = UINT64_MAX;
    uint64_t m_frameLimit = 0;
    bool m_bError = false;
    std::string m_message;
    std::string m_damage;
};

} // namespace lumo
