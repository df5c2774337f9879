// Message boxes from code below the user interface: a process-wide hook. The desktop shell routes
// them to its dialogs, the command-line tool and the default to standard error, tests to a
// recorder. Texts are shown as they are, never used as a format.
#pragma once

namespace platform {

enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

// (context given to SetMessageHook, text, title, buttons) -> the user's answer.
using MessageHook = MessageAnswer (*)(void* context, const char* text, const char* title,
                                      MessageButtons buttons);

// Shows `text` in a box titled `title` through the installed hook. The default writes
// "title: text" to standard error and answers Ok, or No to a question.
MessageAnswer ShowMessage(const char* text, const char* title,
                          MessageButtons buttons = MessageButtons::Ok);

// Installs `hook` with its context (null restores the default). Thread-safe.
void SetMessageHook(MessageHook hook, void* context);

} // namespace platform
