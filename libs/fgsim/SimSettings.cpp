#include "libs/fgsim/SimSettings.h"

#include <algorithm>
#include <cstdlib>

namespace fgsim {

namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// Calls `take` with every comma-separated item, at most MAX_LIST_ITEMS of them.
template <typename Take>
void ForEachItem(std::string_view text, Take take) {
    size_t items = 0;
    while (items < MAX_LIST_ITEMS) {
        const size_t comma = text.find(',');
        take(Trim(text.substr(0, comma)));
        ++items;
        if (comma == std::string_view::npos)
            break;
        text.remove_prefix(comma + 1);
    }
}

bool IsOn(const char* text) {
    return text && std::string_view(text) == "1";
}

} // namespace

bool ParseNumber(std::string_view text, uint64_t max, uint64_t& value) {
    unsigned base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty())
        return false;
    uint64_t result = 0;
    for (char c : text) {
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return false;
        if (digit > max || result > (max - digit) / base)
            return false;
        result = result * base + digit;
    }
    value = result;
    return true;
}

bool DropRule::Drops(uint64_t frame, uint32_t tag) const {
    if (every != 0 && frame % every == every - 1)
        return true;
    return std::binary_search(tags.begin(), tags.end(), tag);
}

std::vector<SimBoard> ParseBoards(const char* text) {
    if (!text)
        return {SimBoard{2626, 0x00001001}, SimBoard{2626, 0x00001002}};
    std::vector<SimBoard> boards;
    ForEachItem(text, [&](std::string_view item) {
        const size_t colon = item.find(':');
        uint64_t type = 0;
        uint64_t serial = 0;
        if (boards.size() < MAX_BOARDS && colon != std::string_view::npos &&
            ParseNumber(Trim(item.substr(0, colon)), INT32_MAX, type) &&
            ParseNumber(Trim(item.substr(colon + 1)), UINT32_MAX, serial))
            boards.push_back(SimBoard{static_cast<int32_t>(type), static_cast<uint32_t>(serial)});
    });
    return boards;
}

DropRule ParseDrop(const char* text) {
    DropRule rule;
    if (!text)
        return rule;
    const std::string_view value = Trim(text);
    uint64_t number = 0;
    if (value.starts_with("every:")) {
        if (ParseNumber(Trim(value.substr(6)), UINT32_MAX, number))
            rule.every = number;
    } else if (value.starts_with("list:")) {
        ForEachItem(value.substr(5), [&](std::string_view item) {
            if (ParseNumber(item, UINT32_MAX, number))
                rule.tags.push_back(static_cast<uint32_t>(number));
        });
        std::sort(rule.tags.begin(), rule.tags.end());
    }
    return rule;
}

std::vector<std::string> ParseNameList(const char* text) {
    std::vector<std::string> names;
    if (!text)
        return names;
    ForEachItem(text, [&](std::string_view item) {
        if (!item.empty())
            names.emplace_back(item);
    });
    return names;
}

CameraSettings ParseCameraSettings(const EnvLookup& lookup) {
    CameraSettings settings;
    uint64_t number = 0;
    if (const char* fps = lookup("FGSIM_FPS"); fps && ParseNumber(Trim(fps), MAX_FPS, number))
        settings.fps = static_cast<uint32_t>(number);
    if (const char* tag0 = lookup("FGSIM_TAG0");
        tag0 && ParseNumber(Trim(tag0), UINT32_MAX, number))
        settings.tag0 = static_cast<uint32_t>(number);
    settings.drop = ParseDrop(lookup("FGSIM_DROP"));
    settings.noTag = IsOn(lookup("FGSIM_NOTAG"));
    settings.noLost = IsOn(lookup("FGSIM_NOLOST"));
    settings.swap = IsOn(lookup("FGSIM_SWAP"));
    return settings;
}

const char* ReadEnvironment(const char* name) {
    return std::getenv(name);
}

} // namespace fgsim
