// Value types and status codes of the hierarchical settings store (platform::Registry).
#pragma once

#include <cstdint>

namespace platform {

// Value type codes, numbered as the Windows registry numbers them.
inline constexpr uint32_t REG_SZ = 1;     // text with its terminating zero
inline constexpr uint32_t REG_BINARY = 3; // bytes as given
inline constexpr uint32_t REG_DWORD = 4;  // 4 bytes, little-endian
inline constexpr uint32_t REG_QWORD = 11; // 8 bytes, little-endian

// The predefined roots; each lives in a database file of its own.
enum class RegRoot : uint32_t { ClassesRoot, CurrentConfig, CurrentUser, LocalMachine, Users };

// Outcome of a store call. The numbers follow the Windows error codes of the same meaning.
enum class RegStatus : uint32_t {
    Ok = 0,
    NotFound = 2,      // no key or value of that name
    HasSubKeys = 5,    // a key with subkeys cannot be deleted (access denied)
    InvalidArg = 87,   // null or malformed name or path, or a tree deeper than the limit
    NoMoreItems = 259, // enumeration index past the last entry
    BadStore = 1009,   // the database cannot be opened, is not ours or is corrupt
    IoFailed = 1016,   // a database call failed (busy beyond the timeout, disk full, ...)
    KeyDeleted = 1018, // the handle's key was deleted in the meantime
};

// The number a status carries where a plain 32-bit status code is handed out.
constexpr uint32_t RegStatusCode(RegStatus status) {
    return static_cast<uint32_t>(status);
}

// Deepest key below a root, as on Windows.
inline constexpr uint32_t kRegMaxDepth = 512;

} // namespace platform
