#include "platform/ShowMessage.h"

#include "platform/ThreadAnnotations.h"

#include <cstdio>

namespace platform {

namespace {

Mutex g_hookLock;
MessageHook g_hook KAVRIN_GUARDED_BY(g_hookLock) = nullptr;
void* g_hookContext KAVRIN_GUARDED_BY(g_hookLock) = nullptr;

MessageAnswer WriteToStandardError(const char* text, const char* title, MessageButtons buttons) {
    std::fputs(title ? title : "", stderr);
    std::fputs(": ", stderr);
    std::fputs(text ? text : "", stderr);
    std::fputc('\n', stderr);
    return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
}

} // namespace

MessageAnswer ShowMessage(const char* text, const char* title, MessageButtons buttons) {
    MessageHook hook;
    void* context;
    {
        MutexLock guard(g_hookLock);
        hook = g_hook;
        context = g_hookContext;
    }
    if (!hook)
        return WriteToStandardError(text, title, buttons);
    return hook(context, text, title, buttons);
}

void SetMessageHook(MessageHook hook, void* context) {
    MutexLock guard(g_hookLock);
    g_hook = hook;
    g_hookContext = hook ? context : nullptr;
}

} // namespace platform
