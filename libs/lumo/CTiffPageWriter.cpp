#include "libs/lumo/CTiffPageWriter.h"

#include "external/ImageFormat.h"
#include "external/LumoResult.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumo {

namespace {

constexpr uint16_t TYPE_BYTE = 1;
constexpr uint16_t TYPE_ASCII = 2;
constexpr uint16_t TYPE_SHORT = 3;
constexpr uint16_t TYPE_LONG = 4;
constexpr uint16_t TYPE_LONG8 = 16;

constexpr uint64_t HEADER_BYTES = 16; // classic header plus the room for the BigTIFF one
constexpr uint64_t MAX_ALIGN = 1u << 20;

// Writes all `size` bytes at `offset`; false with errno set when a write fails.
bool PwriteAll(int fd, const uint8_t* p, uint64_t size, uint64_t offset) {
    while (size > 0) {
        const size_t chunk = size > (1u << 30) ? (1u << 30) : static_cast<size_t>(size);
        const ssize_t n = ::pwrite(fd, p, chunk, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0) {
            errno = EIO;
            return false;
        }
        p += n;
        size -= static_cast<uint64_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return true;
}

struct Entry {
    uint16_t tag;
    uint16_t type;
    uint64_t count;
    std::vector<uint8_t> value;
};

void PutLE(std::vector<uint8_t>& out, uint64_t value, unsigned bytes) {
    for (unsigned i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void SetLE(std::vector<uint8_t>& out, size_t at, uint64_t value, unsigned bytes) {
    for (unsigned i = 0; i < bytes; ++i)
        out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

Entry Numbers(uint16_t tag, uint16_t type, std::initializer_list<uint64_t> values) {
    Entry e{tag, type, values.size(), {}};
    const unsigned bytes = type == TYPE_BYTE    ? 1
                           : type == TYPE_SHORT ? 2
                           : type == TYPE_LONG  ? 4
                                                : 8;
    for (uint64_t v : values)
        PutLE(e.value, v, bytes);
    return e;
}

Entry Repeated(uint16_t tag, uint16_t type, uint64_t value, uint32_t count) {
    Entry e{tag, type, count, {}};
    const unsigned bytes = type == TYPE_SHORT ? 2 : 4;
    for (uint32_t i = 0; i < count; ++i)
        PutLE(e.value, value, bytes);
    return e;
}

Entry Text(uint16_t tag, const std::string& text) {
    Entry e{tag, TYPE_ASCII, text.size() + 1, {}};
    e.value.assign(text.begin(), text.end());
    e.value.push_back(0);
    return e;
}

bool IsWritable(const ImageFileFrame& frame) {
    const uint32_t container = ImageFormat::ContainerBits(frame.format);
    const uint32_t channels = ImageFormat::Channels(frame.format);
    if (container != 8 && container != 16)
        return false;
    if (ImageFormat::ImageClass(frame.format) == ImageFormat::CLASS_RGB)
        return channels == 3 || channels == 4;
    return channels == 1;
}

} // namespace

CTiffPageWriter::CTiffPageWriter(uint64_t classicLimit) : m_classicLimit(classicLimit) {}

CTiffPageWriter::~CTiffPageWriter() {
    // No one is left to tell; every page written is already linked into the file.
    (void)Close();
}

uint32_t CTiffPageWriter::Open(const std::string& path) {
    // A file still open is given up; every page written is already linked into it.
    (void)Close();
    if (const uint32_t rc = m_file.Create(path); rc != LUMO_OK)
        return rc;
    const int fd = m_file.Descriptor();
    struct stat info {};
    const uint64_t page = static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
    const uint64_t block = ::fstat(fd, &info) == 0 ? static_cast<uint64_t>(info.st_blksize) : 0;
    // The larger of block and memory page, so that the page cache never holds a page that a
    // direct write covers only in part; a block size that is no power of two is not used.
    m_align = std::max<uint64_t>(page, 4096);
    if (block > m_align && block <= MAX_ALIGN && (block & (block - 1)) == 0)
        m_align = block;
    m_bDirectOn = false;
    m_bDirectWorks = m_bDirectWanted && UseDirect(true) && UseDirect(false);
    m_bBig = false;
    m_pages.clear();
    // "II", 42, no directory yet, then the 8 bytes kept for the BigTIFF header.
    const uint8_t header[HEADER_BYTES] = {'I', 'I', 42, 0};
    if (!WriteAt(header, sizeof header, 0)) {
        (void)m_file.Fail(errno); // the failed write is the news
        Discard();
        return LUMO_E_FILEWRITE;
    }
    m_end = HEADER_BYTES;
    m_lastLink = 4;
    return LUMO_OK;
}

uint32_t CTiffPageWriter::Close() {
    m_pages.clear();
    return m_file.Commit();
}

void CTiffPageWriter::Discard() {
    m_pages.clear();
    m_file.Discard();
}

bool CTiffPageWriter::UseDirect(bool direct) {
    if (direct == m_bDirectOn)
        return true;
    const int fd = m_file.Descriptor();
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, direct ? flags | O_DIRECT : flags & ~O_DIRECT) != 0)
        return false;
    m_bDirectOn = direct;
    return true;
}

bool CTiffPageWriter::WriteAt(const void* data, uint64_t size, uint64_t offset) {
    if (!UseDirect(false))
        return false;
    return PwriteAll(m_file.Descriptor(), static_cast<const uint8_t*>(data), size, offset);
}

bool CTiffPageWriter::WritePixels(const uint8_t* pixels, uint64_t size, uint64_t offset) {
    const bool aligned =
        (reinterpret_cast<uintptr_t>(pixels) & (m_align - 1)) == 0 && (offset & (m_align - 1)) == 0;
    uint64_t direct = m_bDirectWorks && aligned ? size & ~(m_align - 1) : 0;
    if (direct > 0 && UseDirect(true)) {
        if (!PwriteAll(m_file.Descriptor(), pixels, direct, offset)) {
            if (errno != EINVAL)
                return false;
            // The device wants another alignment after all: buffered from here on. What the
            // direct writes put in place is rewritten the same.
            m_bDirectWorks = false;
            direct = 0;
        }
    } else {
        direct = 0;
    }
    return WriteAt(pixels + direct, size - direct, offset + direct);
}

std::vector<uint8_t> CTiffPageWriter::BuildDirectory(const Page& page, bool big, uint64_t at,
                                                     uint64_t& nextField) const {
    const uint32_t container = ImageFormat::ContainerBits(page.format);
    const uint32_t channels = ImageFormat::Channels(page.format);
    const uint32_t imageClass = ImageFormat::ImageClass(page.format);
    const uint32_t significant = ImageFormat::SignificantBits(page.format);
    const bool cfa =
        imageClass == ImageFormat::CLASS_CFA || imageClass == ImageFormat::CLASS_CFA_ALT;
    const uint16_t photometric = imageClass == ImageFormat::CLASS_RGB ? 2 : cfa ? 32803 : 1;
    const uint16_t offsetType = big ? TYPE_LONG8 : TYPE_LONG;

    std::vector<Entry> entries; // ascending tag order
    entries.push_back(Numbers(254, TYPE_LONG, {0}));
    entries.push_back(Numbers(256, TYPE_LONG, {page.width}));
    entries.push_back(Numbers(257, TYPE_LONG, {page.height}));
    entries.push_back(Repeated(258, TYPE_SHORT, container, channels));
    entries.push_back(Numbers(259, TYPE_SHORT, {1}));
    entries.push_back(Numbers(262, TYPE_SHORT, {photometric}));
    if (!page.record.empty())
        entries.push_back(Text(270, page.record));
    if (!page.attributes[0].empty())
        entries.push_back(Text(271, page.attributes[0]));
    if (!page.attributes[1].empty())
        entries.push_back(Text(272, page.attributes[1]));
    entries.push_back(Numbers(273, offsetType, {page.dataOffset}));
    entries.push_back(Numbers(277, TYPE_SHORT, {channels}));
    entries.push_back(Numbers(278, TYPE_LONG, {page.height}));
    entries.push_back(Numbers(279, offsetType, {page.dataBytes}));
    if (significant != 0 && significant < container)
        entries.push_back(Repeated(281, TYPE_SHORT, (1u << significant) - 1, channels));
    entries.push_back(Numbers(284, TYPE_SHORT, {1}));
    if (!page.attributes[2].empty())
        entries.push_back(Text(305, page.attributes[2]));
    if (imageClass == ImageFormat::CLASS_RGB && channels == 4)
        entries.push_back(Numbers(338, TYPE_SHORT, {0}));
    if (cfa) {
        uint8_t pattern[4];
        CfaPatternForOrigin(page.originX, page.originY, pattern);
        entries.push_back(Numbers(33421, TYPE_SHORT, {2, 2}));
        entries.push_back(
            Numbers(33422, TYPE_BYTE, {pattern[0], pattern[1], pattern[2], pattern[3]}));
    }

    const unsigned countBytes = big ? 8 : 2;
    const unsigned entryBytes = big ? 20 : 12;
    const unsigned inlineBytes = big ? 8 : 4;
    std::vector<uint8_t> out;
    PutLE(out, entries.size(), countBytes);
    const size_t nextAt = countBytes + entries.size() * entryBytes;
    std::vector<uint8_t> extra; // values that do not fit into their entry
    uint64_t extraAt = at + nextAt + inlineBytes;
    for (const Entry& e : entries) {
        PutLE(out, e.tag, 2);
        PutLE(out, e.type, 2);
        PutLE(out, e.count, big ? 8 : 4);
        if (e.value.size() <= inlineBytes) {
            std::vector<uint8_t> field(e.value);
            field.resize(inlineBytes, 0);
            out.insert(out.end(), field.begin(), field.end());
        } else {
            PutLE(out, extraAt + extra.size(), inlineBytes);
            extra.insert(extra.end(), e.value.begin(), e.value.end());
            if (extra.size() & 1)
                extra.push_back(0); // values start on a word boundary
        }
    }
    nextField = at + out.size();
    PutLE(out, 0, inlineBytes);
    out.insert(out.end(), extra.begin(), extra.end());
    return out;
}

bool CTiffPageWriter::Link(uint64_t directory) {
    std::vector<uint8_t> field;
    PutLE(field, directory, m_bBig ? 8 : 4);
    return WriteAt(field.data(), field.size(), m_lastLink);
}

uint32_t CTiffPageWriter::SwitchToBig() {
    std::vector<uint8_t> block;
    uint64_t firstDirectory = 0;
    uint64_t lastNextField = 8; // the BigTIFF header's field when there is no page yet
    size_t previousNextInBlock = SIZE_MAX;
    for (const Page& page : m_pages) {
        const uint64_t at = m_end + block.size();
        uint64_t nextField = 0;
        const std::vector<uint8_t> directory = BuildDirectory(page, true, at, nextField);
        if (previousNextInBlock == SIZE_MAX)
            firstDirectory = at;
        else
            SetLE(block, previousNextInBlock, at, 8);
        previousNextInBlock = static_cast<size_t>(nextField - m_end);
        lastNextField = nextField;
        block.insert(block.end(), directory.begin(), directory.end());
        if (block.size() & 1)
            block.push_back(0);
    }
    const int fd = m_file.Descriptor();
    if (!block.empty() && (!WriteAt(block.data(), block.size(), m_end) || ::fdatasync(fd) != 0)) {
        const int error = errno;
        if (::ftruncate(fd, static_cast<off_t>(m_end)) != 0) {
            // the classic file stays valid: the header still points at the classic chain
        }
        return m_file.Fail(error);
    }
    std::vector<uint8_t> header = {'I', 'I', 43, 0, 8, 0, 0, 0};
    PutLE(header, firstDirectory, 8);
    if (!WriteAt(header.data(), header.size(), 0))
        return m_file.Fail(errno);
    m_bBig = true;
    m_end += block.size();
    m_lastLink = lastNextField;
    return LUMO_OK;
}

uint64_t CTiffPageWriter::DataOffset(uint64_t end, uint64_t bytes) const {
    return bytes >= DIRECT_MIN_BYTES ? (end + m_align - 1) & ~(m_align - 1) : end;
}

uint32_t CTiffPageWriter::AppendPage(const ImageFileFrame& frame) {
    if (!m_file.IsOpen() || !frame.pixels || frame.width == 0 || frame.height == 0)
        return LUMO_E_INVALIDARG;
    if (!IsWritable(frame))
        return LUMO_E_FILEFORMAT;
    Page page{frame.width,      frame.height,
              frame.format,     frame.originX,
              frame.originY,    {frame.attributes[0], frame.attributes[1], frame.attributes[2]},
              frame.record,     0,
              FrameBytes(frame)};
    if (page.dataBytes == 0)
        return LUMO_E_INVALIDARG;
    const uint64_t pad = page.dataBytes & 1;
    if (!m_bBig) {
        uint64_t unused = 0;
        const uint64_t directoryBytes = BuildDirectory(page, false, 0, unused).size();
        const uint64_t end =
            DataOffset(m_end, page.dataBytes) + page.dataBytes + pad + directoryBytes;
        if (end > m_classicLimit || page.dataBytes > 0xFFFFFFFFull) {
            if (const uint32_t rc = SwitchToBig(); rc != LUMO_OK)
                return rc;
        }
    }
    page.dataOffset = DataOffset(m_end, page.dataBytes);
    const uint64_t directoryAt = page.dataOffset + page.dataBytes + pad;
    uint64_t nextField = 0;
    std::vector<uint8_t> directory = BuildDirectory(page, m_bBig, directoryAt, nextField);
    if (directory.size() & 1)
        directory.push_back(0);
    // The pad byte goes in front of the directory: one write after the pixels.
    directory.insert(directory.begin(), pad, 0);
    const std::vector<uint8_t> gap(page.dataOffset - m_end, 0);
    const bool written = WriteAt(gap.data(), gap.size(), m_end) &&
                         WritePixels(frame.pixels, page.dataBytes, page.dataOffset) &&
                         WriteAt(directory.data(), directory.size(), directoryAt - pad);
    if (!written || !Link(directoryAt)) {
        const int error = errno;
        // Drop the partial page; the chain still ends at the previous page.
        if (::ftruncate(m_file.Descriptor(), static_cast<off_t>(m_end)) != 0) {
            // a file that cannot be cut keeps unreferenced bytes at its end; it stays valid
        }
        return m_file.Fail(error);
    }
    // Start writing the page to the disk now, so that the disk works while the next page is
    // prepared and finishing the file does not wait for all of them at once.
    ::sync_file_range(m_file.Descriptor(), static_cast<off_t>(m_end),
                      static_cast<off_t>(directoryAt + directory.size() - pad - m_end),
                      SYNC_FILE_RANGE_WRITE);
    m_end = directoryAt + directory.size() - pad;
    m_lastLink = nextField;
    m_pages.push_back(std::move(page));
    return LUMO_OK;
}

} // namespace lumo
