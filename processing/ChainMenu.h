// The small menu the chain fills with its module and dialog entries; the desktop shell adapts
// it to its own menus.
#pragma once

#include <cstdint>
#include <string>

class CChainMenu {
public:
    virtual void AppendItem(uint32_t id, const std::string& text, bool checked) = 0;
    virtual void AppendSeparator() = 0;
    // A new submenu appended under `text`; owned by this menu.
    virtual CChainMenu* AppendSubMenu(const std::string& text) = 0;

protected:
    ~CChainMenu() = default;
};
