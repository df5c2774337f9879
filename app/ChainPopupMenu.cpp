#include "app/ChainPopupMenu.h"

#include <QMenu>

void ChainPopupMenu::AppendItem(uint32_t id, const std::string& text, bool checked) {
    QAction* action = m_menu.addAction(QString::fromStdString(text));
    action->setData(uint(id));
    action->setCheckable(checked);
    action->setChecked(checked);
}

void ChainPopupMenu::AppendSeparator() {
    m_menu.addSeparator();
}

CChainMenu* ChainPopupMenu::AppendSubMenu(const std::string& text) {
    QMenu* sub = m_menu.addMenu(QString::fromStdString(text)); // owned by m_menu
    m_subMenus.push_back(std::make_unique<ChainPopupMenu>(*sub));
    return m_subMenus.back().get();
}
