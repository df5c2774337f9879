// Look-up table CSV import on arbitrary text: it ends without a crash or a hang, a refusal names
// a line or the whole file, and every table it accepts exports to text that imports to the same
// table.
#include "libs/lumodialog/widgets/LutCsv.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    lumodialog::LutChannels table{};
    std::string error;
    if (!lumodialog::ImportLutCsv(text, table, error)) {
        if (error.empty())
            std::abort();
        return 0;
    }
    lumodialog::LutChannels again{};
    if (!lumodialog::ImportLutCsv(lumodialog::ExportLutCsv(table), again, error) || again != table)
        std::abort();
    return 0;
}
