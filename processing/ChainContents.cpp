#include "processing/ChainContents.h"

#include <utility>

void ChainContents::Replace(ChainContents& other) {
    if (&other == this)
        return;
    Destroy();
    m_pLumo = other.m_pLumo;
    m_modules = std::exchange(other.m_modules, {});
    m_analyzeGroup = std::exchange(other.m_analyzeGroup, {});
    m_images = std::exchange(other.m_images, {});
    m_dialogs = std::exchange(other.m_dialogs, {});
}

void ChainContents::Destroy() {
    m_dialogs.clear();
    if (m_pLumo) {
        for (auto it = m_modules.rbegin(); it != m_modules.rend(); ++it)
            m_pLumo->DeleteModule(it->module);
        for (auto it = m_analyzeGroup.rbegin(); it != m_analyzeGroup.rend(); ++it)
            m_pLumo->DeleteModule(*it);
        for (auto it = m_images.rbegin(); it != m_images.rend(); ++it)
            m_pLumo->DeleteImage(CLumoObject::KIND_IMAGE, *it);
    }
    m_modules.clear();
    m_analyzeGroup.clear();
    m_images.clear();
}
