// The file writer (object ID 1) and the file reader (object ID 2) of the image library.
//
// File types, numbered from 1 (parameter 257):
//   1  multi-page TIFF (.tif, .tiff): every Execute appends one page to one file. Classic TIFF
//      while the file stays below 4 GiB; a file that grows beyond is turned into BigTIFF.
//      Uncompressed. After every completed page the file on disk is a valid TIFF holding the
//      pages written so far.
//   2  TIFF, one file per image (.tif, .tiff)
//   3  PNG, one file per image (.png), fast compression, 16-bit samples kept
//   4  BMP, one file per image (.bmp): 8-bit grey palette or 24-bit colour; 8-bit samples only
//   5  video, H.264 in MP4 (.mp4): 8-bit 4:2:0, full range; quality 345 is the CRF
//   6  video, FFV1 in Matroska (.mkv): lossless; 8- and 16-bit grey, CFA and RGB kept exactly
//   7  video, Motion JPEG in AVI (.avi), for old players; 8-bit 4:2:0, full range
//   The video types write every Execute as the next frame of one file, like type 1, at the
//   playback rate 344. The grab rate and the frame records go into the container's metadata.
// Samples of 8 and 16 bits; greyscale, colour filter array and RGB. TIFF keeps colour-filter-
// array data as photometric CFA with the 2x2 pattern the image's origin gives (pixel (x, y) has
// phase 2 * ((origin y + y) & 1) + ((origin x + x) & 1): 0 green, 1 red, 2 blue, 3 green) and
// significant bits below the sample size as MaxSampleValue; PNG keeps them in an sBIT chunk
// (16-bit samples stored scaled to the full 16 bits) and a "KavrinFormat" text chunk. Attributes 2,
// 3 and 4 are TIFF Make, Model and Software (PNG text chunks of the same names); BMP keeps pixels
// only.
//
// The reader recognises a file by its contents: TIFF (multi-page, strips or tiles, 8/16-bit
// grey, RGB, CFA, palette converted to RGB, the compressions libtiff offers), PNG (grey,
// grey+alpha, RGB, RGBA, palette; alpha dropped), BMP (8-bit palette, 24/32-bit), binary
// PGM/PPM and the videos (Matroska, MP4, AVI holding FFV1, H.264 or Motion JPEG; FFV1 frames
// come back exactly with every frame's record, the lossy ones as 8-bit grey, CFA or RGB).
// Results (LumoResult.h): LUMO_E_FILENOTFOUND for a missing file, LUMO_E_FILEREAD when it cannot
// be opened, LUMO_E_FILEFORMAT for data it does not read, LUMO_E_FILEDAMAGED for a
// truncated or inconsistent file, LUMO_E_OUTOFMEMORY for a frame above the size limit (330).
#pragma once

#include <cstdint>
#include <cstring>

// Parameters of both file modules (SetParam / GetParam).
// 256 file name. Set: a = const char* (null or empty: none). Get: a = char* buffer, b = its size
//     in bytes; LUMO_E_INVALIDARG when the name and its terminating zero do not fit (the name is
//     never cut).
inline constexpr uint32_t LUMO_PARAM_FILE_NAME = 256;
// 257 file type. Writer: Set a = 1 .. 7 (the type written); Get a = uint32_t* out. Reader: the
//     filter of the open dialog (1 = every image file); reading recognises the type by content.
inline constexpr uint32_t LUMO_PARAM_FILE_TYPE = 257;
// 258 writing mode (writer). Get a = uint32_t* out: 1 when no multi-page file or video is open
//     (the next Execute starts a new file), 0 while one is open (Execute appends a page or
//     frame). Set a = 1
//     finishes the open file (flushed to the disk, closed, and given its name: until then it is
//     a hidden temporary beside it); a = 2 discards it: the open file is closed and removed, and
//     the file that had the name before stays as it was; other values: LUMO_E_INVALIDARG.
//     Setting another file name or type, or deleting the module, finishes the open file as well.
inline constexpr uint32_t LUMO_PARAM_WRITE_MODE = 258;
// 259 frame selection (reader): Set a = frame of a multi-frame file that Execute reads.
inline constexpr uint32_t LUMO_PARAM_FRAME = 259;
// 310, 315 dialog options: kept and read back (Get a = uint32_t* out); files do not change.
inline constexpr uint32_t LUMO_PARAM_DIALOG_OPTIONS = 310;
inline constexpr uint32_t LUMO_PARAM_DIALOG_HISTORY = 315;
// 320 (writer) Get a = uint32_t* out, b = file type: 1 when the type writes one file per image.
inline constexpr uint32_t LUMO_PARAM_TYPE_SINGLE = 320;
// 321 (writer) Get a = uint32_t* out, b = file type: 1 when the type writes several images into
//     one file. With these two the export writes one multi-image file exactly for type 1.
inline constexpr uint32_t LUMO_PARAM_TYPE_MULTI = 321;
// 330 (reader) largest frame in bytes the reader allocates; Set a = bytes (0: the default,
//     1 GiB); Get a = uint64_t* out.
inline constexpr uint32_t LUMO_PARAM_FRAME_LIMIT = 330;
// 340 (writer) the text of the last failure, e.g. "cannot write /data/run.tif: No space left on
//     device"; empty after a success. Get a = char* buffer, b = its size, as for 256.
inline constexpr uint32_t LUMO_PARAM_LAST_ERROR = 340;
// 341 (writer) Set a = 1 (default): the frame data of multi-page TIFF goes to the disk with
//     O_DIRECT where the file system takes it; 0: buffered writes only. The bytes in the file are
//     the same. Applies from the next file opened. Get a = uint32_t* out.
inline constexpr uint32_t LUMO_PARAM_DIRECT_IO = 341;
// 342 (reader) damage of the chosen file. Get a = char* buffer, b = its size (rules of 256):
//     empty for a whole file; else what is damaged, e.g. "page 3: its data reaches past the
//     end of the file". The frame count (GetOutputInfo) is then the whole frames before the
//     damage plus one, the damaged frame, which reads as LUMO_E_FILEDAMAGED.
inline constexpr uint32_t LUMO_PARAM_DAMAGE = 342;
// 343 (writer) verify after saving: Set a = 1 asks the program that saves to read what it wrote
//     back and check it against the frame records; 0 (default) does not; other values:
//     LUMO_E_INVALIDARG. Get a = uint32_t* out. Kept by the writer, which only passes it on: the
//     save dialog shows it as its "Verify after saving" box and sets it.
inline constexpr uint32_t LUMO_PARAM_VERIFY = 343;

// 344 (writer) playback rate of the video types in millihertz (25000 = 25 frames per second);
//     Set a = 100 .. 1000000 (0.1 to 1000 frames per second), else LUMO_E_INVALIDARG. Get a =
//     uint32_t* out. Applies from the next file opened.
inline constexpr uint32_t LUMO_PARAM_VIDEO_RATE = 344;
inline constexpr uint32_t LUMO_VIDEO_RATE_DEFAULT = 25000;
// 345 (writer) quality of the lossy video types, 0 .. 51, lower is better (default 18, visually
//     lossless): H.264 takes it as its CRF, Motion JPEG as the quantiser max(2, Q / 6 + 1); FFV1
//     is lossless and ignores it. Get a = uint32_t* out. Applies from the next file opened.
inline constexpr uint32_t LUMO_PARAM_VIDEO_QUALITY = 345;
inline constexpr uint32_t LUMO_VIDEO_QUALITY_DEFAULT = 18;
// 346 (writer) what the program that saves hands the writer: 0 (default) the frames as
//     recorded, 1 the frames as the view's process chain shows them (demosaiced, table
//     applied); other values LUMO_E_INVALIDARG. Get a = uint32_t* out. Kept by the writer,
//     which only passes it on: the save dialog shows it and sets it.
inline constexpr uint32_t LUMO_PARAM_PROCESSED = 346;

inline constexpr uint32_t LUMO_FILE_MULTI_TIFF = 1;
inline constexpr uint32_t LUMO_FILE_TIFF = 2;
inline constexpr uint32_t LUMO_FILE_PNG = 3;
inline constexpr uint32_t LUMO_FILE_BMP = 4;
inline constexpr uint32_t LUMO_FILE_MP4 = 5;
inline constexpr uint32_t LUMO_FILE_MKV = 6;
inline constexpr uint32_t LUMO_FILE_AVI = 7;
inline constexpr uint32_t LUMO_FILE_TYPE_COUNT = 7;

// Whether `type` is one of the video types (5 .. 7).
inline bool LumoFileTypeIsVideo(uint32_t type) {
    return type >= LUMO_FILE_MP4 && type <= LUMO_FILE_AVI;
}

// The attributes the writer stores and the reader restores.
inline constexpr uint32_t LUMO_ATTR_MAKER = 2;    // TIFF Make
inline constexpr uint32_t LUMO_ATTR_SEQUENCE = 3; // TIFF Model
inline constexpr uint32_t LUMO_ATTR_PROGRAM = 4;  // TIFF Software
// The frame record of one frame: one JSON object {"kavrin_record":1,"frame":{...},
// "recording":{...}} (docs/file-format.md). TIFF ImageDescription, PNG text chunk
// "kavrin_record"; BMP keeps it in the series' sidecar, written by the export. The reader
// restores it only when the text is such a record.
inline constexpr uint32_t LUMO_ATTR_RECORD = 5;

// The file type a name's extension selects (case-insensitive; .tif/.tiff give the multi-page
// type), 0 when the extension names none. Only the part after the last '/' is looked at.
inline uint32_t LumoFileTypeForName(const char* name) {
    if (!name)
        return 0;
    const char* file = std::strrchr(name, '/');
    file = file ? file + 1 : name;
    const char* dot = std::strrchr(file, '.');
    if (!dot || dot == file)
        return 0;
    char ext[8] = {};
    size_t n = 0;
    for (const char* p = dot + 1; *p; ++p) {
        if (n + 1 >= sizeof ext)
            return 0;
        const char c = *p;
        ext[n++] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    if (std::strcmp(ext, "tif") == 0 || std::strcmp(ext, "tiff") == 0)
        return LUMO_FILE_MULTI_TIFF;
    if (std::strcmp(ext, "png") == 0)
        return LUMO_FILE_PNG;
    if (std::strcmp(ext, "bmp") == 0)
        return LUMO_FILE_BMP;
    if (std::strcmp(ext, "mp4") == 0)
        return LUMO_FILE_MP4;
    if (std::strcmp(ext, "mkv") == 0)
        return LUMO_FILE_MKV;
    if (std::strcmp(ext, "avi") == 0)
        return LUMO_FILE_AVI;
    return 0;
}
