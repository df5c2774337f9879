// The /proc/meminfo reader: any text either gives a figure that the text spells out or none.
#include "platform/MemoryStatus.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::optional<uint64_t> bytes =
        platform::ParseMemAvailable(reinterpret_cast<const char*>(data), size);
    if (bytes && *bytes % 1024 != 0)
        std::abort(); // the file counts in kB
    return 0;
}
