// The bytes the pages of a TIFF file take for their pixel data, collected page after page so
// that a file cannot claim more frames than it holds. A page is damage when a strip or tile of
// it lies past the end of the file, overlaps the data of an earlier page, or when the pages
// together would claim more bytes than the file has. Uncompressed data claims at least the
// bytes its samples need (a shorter strip cannot be read). Blocks of one page may share bytes
// (some writers store one blank tile once); no valid file shares data between pages.
#pragma once

#include <cstdint>
#include <map>
#include <string>

struct tiff;

namespace lumo {

class CTiffDataRanges {
public:
    explicit CTiffDataRanges(uint64_t fileSize) : m_fileSize(fileSize) {}

    // Adds the page of libtiff's current directory. False, with `why` ("its data reaches past
    // the end of the file"), when it is damaged; nothing is added then.
    [[nodiscard]] bool AddPage(struct tiff* tif, std::string& why);

private:
    [[nodiscard]] bool OverlapsEarlierPages(uint64_t start, uint64_t end) const;
    void Add(uint64_t start, uint64_t end);

    uint64_t m_fileSize;
    uint64_t m_claimed = 0;
    std::map<uint64_t, uint64_t> m_ranges; // start -> end of the bytes taken, merged
};

} // namespace lumo
