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
//
// The file is written under a temporary name beside the target and takes the target's name only
// when it is closed (ReplacingFile): until then the temporary is the file that holds every
// completed page, and a file that had the target name before stays as it was.
//
// Large pages (DIRECT_MIN_BYTES and more) start at a file offset aligned to the file system's
// block (zeros pad the gap before them), so that their whole blocks can go to the disk with
// O_DIRECT straight from page-aligned frame memory; the rest of the page (its last partial block,
// the directory) is written through the page cache. The buffered and the direct range of a page
// never share a block. Where the file system refuses O_DIRECT the writer stays buffered; the
// bytes in the file are the same either way.
#pragma once

#include "libs/lumo/ImageFileFrame.h"
#include "libs/lumo/ReplacingFile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace lumo {

class CTiffPageWriter {
public:
    static constexpr uint64_t CLASSIC_LIMIT = 0xFFFFFFFFull;
    // Pages of at least this many bytes start on an aligned file offset.
    static constexpr uint64_t DIRECT_MIN_BYTES = 256 * 1024;

    // `classicLimit`: the largest file offset a classic file may reach (tests lower it).
    explicit CTiffPageWriter(uint64_t classicLimit = CLASSIC_LIMIT);
    ~CTiffPageWriter();
    CTiffPageWriter(const CTiffPageWriter&) = delete;
    CTiffPageWriter& operator=(const CTiffPageWriter&) = delete;

    // Starts the file that will replace `path` (a file still open is closed first).
    // LUMO_E_FILEWRITE when it cannot be created.
    [[nodiscard]] uint32_t Open(const std::string& path);
    // Appends one page. 8- or 16-bit samples, 1 channel (grey, CFA) or 3-4 channels (RGB); else
    // LUMO_E_FILEFORMAT. A failed write leaves the file as it was before the page.
    [[nodiscard]] uint32_t AppendPage(const ImageFileFrame& frame);
    // Flushes the file to the disk, closes it and gives it the target name; LUMO_E_FILEWRITE when
    // that fails (the temporary is removed then, the target stays as it was).
    [[nodiscard]] uint32_t Close();
    // Closes and removes the open file; the target stays as it was.
    void Discard();
    // Whether the next file opened writes large pages with O_DIRECT (default true).
    void SetDirectIo(bool direct) { m_bDirectWanted = direct; }

    bool IsOpen() const { return m_file.IsOpen(); }
    bool IsBig() const { return m_bBig; }
    uint64_t PageCount() const { return m_pages.size(); }
    // Whether the open file takes whole blocks of pixels with O_DIRECT.
    bool WritesDirect() const { return m_bDirectWorks; }
    // The name the open file has until it is closed.
    const std::string& TemporaryPath() const { return m_file.TemporaryPath(); }
    // "cannot write NAME: reason" of the last failure; empty when there was none.
    const std::string& LastError() const { return m_file.LastError(); }

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
    // Where the pixels of a page of `bytes` bytes go when the file ends at `end`.
    uint64_t DataOffset(uint64_t end, uint64_t bytes) const;
    // Writes through the page cache; false with errno set when a write fails.
    [[nodiscard]] bool WriteAt(const void* data, uint64_t size, uint64_t offset);
    // Writes the pixels of a page: whole aligned blocks directly where that works, the rest
    // buffered.
    [[nodiscard]] bool WritePixels(const uint8_t* pixels, uint64_t size, uint64_t offset);
    // Turns O_DIRECT on or off on the file; false when the file system refuses it.
    [[nodiscard]] bool UseDirect(bool direct);
    // Points the chain's last link (header or previous directory) at `directory`.
    [[nodiscard]] bool Link(uint64_t directory);

    const uint64_t m_classicLimit;
    ReplacingFile m_file;
    bool m_bDirectWanted = true;
    bool m_bDirectWorks = false; // the file takes O_DIRECT
    bool m_bDirectOn = false;    // O_DIRECT is set on the file now
    uint64_t m_align = 4096;     // the file system's block: aligned pages start on it
    bool m_bBig = false;
    uint64_t m_end = 0;      // end of the valid file
    uint64_t m_lastLink = 0; // offset of the field that the next directory's offset goes into
    std::vector<Page> m_pages;
};

} // namespace lumo
