#include "processing/ChainContents.h"

#include <utility>

namespace {

// Empties `list` from its back to its front.
template <typename T>
void DestroyFromTheBack(std::vector<T>& list) {
    while (!list.empty())
        list.pop_back();
}

} // namespace

void ChainContents::Replace(ChainContents& other) {
    if (&other == this)
        return;
    Destroy();
    m_modules = std::exchange(other.m_modules, {});
    m_analyzeGroup = std::exchange(other.m_analyzeGroup, {});
    m_images = std::exchange(other.m_images, {});
    m_dialogs = std::exchange(other.m_dialogs, {});
}

void ChainContents::Destroy() {
    m_dialogs.clear();
    DestroyFromTheBack(m_modules);
    DestroyFromTheBack(m_analyzeGroup);
    DestroyFromTheBack(m_images);
}
