// Routes the program's commands (CommandIds.h) to their handlers and asks the handlers whether
// a command is enabled and checked, as menus and toolbars are refreshed. The main frame binds
// one action per command id to it; the document, the view and the application add handlers.
//
// Thread: the user-interface thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <map>

struct CommandState {
    bool enabled = true;
    bool checked = false;
};

class CommandRouter {
public:
    using Run = std::function<void()>;
    using Update = std::function<CommandState()>;

    // Replaces any handler of `id`. Without `update` the command is always enabled, unchecked.
    void Add(uint32_t id, Run run, Update update = {});
    // Removes the handler of `id` (its command is then disabled).
    void Remove(uint32_t id);
    bool Has(uint32_t id) const { return m_handlers.count(id) != 0; }
    // Runs the handler of `id` when it exists and is enabled; false otherwise.
    bool Execute(uint32_t id) const;
    // The handler's state; a command without handler is disabled.
    CommandState State(uint32_t id) const;

private:
    struct Handler {
        Run run;
        Update update;
    };
    std::map<uint32_t, Handler> m_handlers;
};
