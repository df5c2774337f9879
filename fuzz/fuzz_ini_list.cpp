// List values on arbitrary text: read, count, set and delete end without a crash or a hang, and
// every item that setting accepted reads back by its name.
#include "settings/IniFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first bytes choose the item name (up to a zero byte); the rest is the list text.
    const char* bytes = reinterpret_cast<const char*>(data);
    const size_t cut = strnlen(bytes, size < 16 ? size : 16);
    const std::string item(bytes, cut);
    const std::string list =
        cut < size ? std::string(bytes + cut + 1, size - cut - 1) : std::string();

    IniFilePtr ini = MakeIniFile(3);
    if (ini->SetString("S", "L", list.c_str()) != 0)
        return 0; // a line break: the text store refuses it, and there is no list to read

    const uint32_t count = ini->GetListCount("S", "L");
    char name[64];
    for (uint32_t i = 0; i < count; ++i)
        ini->GetListItemName("S", "L", i, name, sizeof name);
    ini->GetListUInt32("S", "L", item.c_str(), 0);
    ini->ListItemExists("S", "L", item.c_str());

    const uint32_t set = ini->SetListString("S", "L", item.c_str(), "v-1.5");
    if (set == 0) {
        char value[16];
        if (ini->GetListString("S", "L", item.c_str(), "", value, sizeof value) != 5 ||
            std::strcmp(value, "v-1.5") != 0)
            std::abort();
    } else if (set != INI_E_LIST && set != INI_E_ARG) {
        std::abort();
    }
    const uint32_t del = ini->DeleteListItem("S", "L", item.c_str());
    if (del != 0 && del != INI_E_LIST)
        std::abort();
    if (del == 0 && ini->ListItemExists("S", "L", item.c_str()))
        std::abort();
    return 0;
}
