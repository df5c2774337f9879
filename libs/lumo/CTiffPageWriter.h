// Writes TIFF files page by page, uncompressed, one strip per page, little-endian.
//
// Every page is written as its pixels, then its directory, and only then linked into the chain
// of directories (the header for the first page, the previous directory's next-offset field for
// later ones). The file on disk is therefore a valid TIFF holding every completed page at any
// moment: after an abort, a full disk or a killed process.
//
// The file is classic TIFF while it fits below the classic limit (4 GiB). When the next page
// would cross it, every directory written so far is written again in BigTIFF form at the end of
// the file, flushed, and a single write of the 16-byte header switches the file over; the file
// goes on as BigTIFF. The 8 bytes after the classic header are kept free for that switch.
#pragma once

#include "libs/lumo/ImageFileFrame.h"

#include <cstdint>
#include <string>
#include <vector>

namespace lumo {

class CTiffPageWriter {
public:
    static constexpr uint64_t CLASSIC_LIMIT = 0xFFFFFFFFull;

    // `classicLimit`: the largest file offset a classic file may reach (tests lower it).
    explicit CTiffPageWriter(uint64_t classicLimit = CLASSIC_LIMIT);
    ~CTiffPageWriter();
    CTiffPageWriter(const CTiffPageWriter&) = delete;
    CTiffPageWriter& operator=(const CTiffPageWriter&) = delete;

    // Creates (or truncates) `path`. LUMO_E_FILEWRITE when it cannot be created.
    [[nodiscard]] uint32_t Open(const std::string& path);
    // Appends one page. 8- or 16-bit samples, 1 channel (grey, CFA) or 3-4 channels (RGB); else
    // LUMO_E_FILEFORMAT. A failed write leaves the file as it was before the page.
    [[nodiscard]] uint32_t AppendPage(const ImageFileFrame& frame);
    // Flushes the file to the disk and closes it; LUMO_E_FILEWRITE when that fails.
    [[nodiscard]] uint32_t Close();

    bool IsOpen() const { return m_fd >= 0; }
    bool IsBig() const { return m_bBig; }
    uint64_t PageCount() const { return m_pages.size(); }

private:
    struct Page {
        uint32_t width;
        uint32_t height;
        uint64_t format;
        uint32_t originX;
        uint32_t originY;
        std::string attributes[3];
        std::string record; // ImageDescription
        uint64_t dataOffset;
        uint64_t dataBytes;
    };

    // The directory of `page` placed at file offset `at`, with next-offset 0; `nextField`
    // receives the file offset of its next-offset field.
    std::vector<uint8_t> BuildDirectory(const Page& page, bool big, uint64_t at,
                                        uint64_t& nextField) const;
    [[nodiscard]] uint32_t SwitchToBig();
    [[nodiscard]] bool WriteAt(const void* data, uint64_t size, uint64_t offset);
    // Points the chain's last link (header or previous directory) at `directory`.
    [[nodiscard]] bool Link(uint64_t directory);

    const uint64_t m_classicLimit;
    int m_fd = -1;
    bool m_bBig = false;
    uint64_t m_end = 0;      // end of the valid file
    uint64_t m_lastLink = 0; // offset of the field that the next directory's offset goes into
    std::vector<Page> m_pages;
};

} // namespace lumo
