#include "app/CommandRouter.h"

void CommandRouter::Add(uint32_t id, Run run, Update update) {
    m_handlers[id] = Handler{std::move(run), std::move(update)};
}

void CommandRouter::Remove(uint32_t id) {
    m_handlers.erase(id);
}

bool CommandRouter::Execute(uint32_t id) const {
    const auto it = m_handlers.find(id);
    if (it == m_handlers.end() || !it->second.run)
        return false;
    if (it->second.update && !it->second.update().enabled)
        return false;
    // A copy: the handler may replace itself (a new document re-registers its commands).
    const Run run = it->second.run;
    run();
    return true;
}

CommandState CommandRouter::State(uint32_t id) const {
    const auto it = m_handlers.find(id);
    if (it == m_handlers.end())
        return CommandState{false, false};
    return it->second.update ? it->second.update() : CommandState{};
}
