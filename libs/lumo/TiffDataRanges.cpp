#include "libs/lumo/TiffDataRanges.h"

#include <algorithm>
#include <tiffio.h>
#include <utility>
#include <vector>

namespace lumo {

namespace {

// The bytes uncompressed samples of the current directory take: whole tiles (edge tiles are
// stored padded), or every row of every plane.
uint64_t UncompressedBytes(TIFF* tif, uint64_t blocks) {
    if (TIFFIsTiled(tif)) {
        const uint64_t tile = TIFFTileSize64(tif);
        return tile != 0 && blocks > UINT64_MAX / tile ? UINT64_MAX : tile * blocks;
    }
    uint32_t height = 0;
    uint16_t planar = PLANARCONFIG_CONTIG, samples = 1;
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    const uint64_t planes = planar == PLANARCONFIG_SEPARATE ? std::max<uint16_t>(samples, 1) : 1;
    const uint64_t row = TIFFScanlineSize64(tif);
    if (row != 0 && height > UINT64_MAX / row / planes)
        return UINT64_MAX;
    return row * height * planes;
}

} // namespace

bool CTiffDataRanges::OverlapsEarlierPages(uint64_t start, uint64_t end) const {
    auto next = m_ranges.upper_bound(start);
    if (next != m_ranges.end() && next->first < end)
        return true;
    return next != m_ranges.begin() && std::prev(next)->second > start;
}

void CTiffDataRanges::Add(uint64_t start, uint64_t end) {
    // Ranges that touch or overlap the new one merge with it: a file written in order keeps
    // about one range per page.
    auto it = m_ranges.upper_bound(start);
    if (it != m_ranges.begin() && std::prev(it)->second >= start)
        --it;
    while (it != m_ranges.end() && it->first <= end) {
        start = std::min(start, it->first);
        end = std::max(end, it->second);
        it = m_ranges.erase(it);
    }
    m_ranges.emplace(start, end);
}

bool CTiffDataRanges::AddPage(TIFF* tif, std::string& why) {
    const uint64_t blocks = TIFFIsTiled(tif) ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    if (blocks == 0) {
        why = "it has no pixel data";
        return false;
    }
    std::vector<std::pair<uint64_t, uint64_t>> page;
    page.reserve(static_cast<size_t>(std::min<uint64_t>(blocks, 1u << 16)));
    uint64_t bytes = 0;
    for (uint64_t i = 0; i < blocks; ++i) {
        int failed = 0;
        const auto strile = static_cast<uint32_t>(i);
        const uint64_t offset = TIFFGetStrileOffsetWithErr(tif, strile, &failed);
        const uint64_t count = failed ? 0 : TIFFGetStrileByteCountWithErr(tif, strile, &failed);
        if (failed) {
            why = "its data offsets cannot be read";
            return false;
        }
        if (count > m_fileSize || offset > m_fileSize - count) {
            why = "its data reaches past the end of the file";
            return false;
        }
        if (count == 0)
            continue;
        if (OverlapsEarlierPages(offset, offset + count)) {
            why = "its data overlaps that of an earlier page";
            return false;
        }
        bytes += count; // below 2^64: every count so far was checked against the file size
        if (bytes > m_fileSize) {
            why = "its data is larger than the file";
            return false;
        }
        page.emplace_back(offset, offset + count);
    }
    uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    if (compression == COMPRESSION_NONE)
        bytes = std::max(bytes, UncompressedBytes(tif, blocks));
    if (bytes > m_fileSize - m_claimed) {
        why = "its data would take more bytes than the file has left";
        return false;
    }
    m_claimed += bytes;
    for (const auto& [start, end] : page)
        Add(start, end);
    return true;
}

} // namespace lumo
