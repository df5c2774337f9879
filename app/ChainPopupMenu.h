// The chain's menu entries in a QMenu: each item carries its id as the action's data.
#pragma once

#include "processing/ChainMenu.h"

#include <memory>
#include <vector>

class QMenu;

class ChainPopupMenu final : public CChainMenu {
public:
    // Fills `menu` (not owned; it must outlive this adapter).
    explicit ChainPopupMenu(QMenu& menu) : m_menu(menu) {}
    ChainPopupMenu(const ChainPopupMenu&) = delete;
    ChainPopupMenu& operator=(const ChainPopupMenu&) = delete;
    ~ChainPopupMenu() = default;

    void AppendItem(uint32_t id, const std::string& text, bool checked) override;
    void AppendSeparator() override;
    CChainMenu* AppendSubMenu(const std::string& text) override;

private:
    QMenu& m_menu;
    std::vector<std::unique_ptr<ChainPopupMenu>> m_subMenus;
};
