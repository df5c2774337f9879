// Routes the message boxes of code below the user interface (platform::ShowMessage) to Qt
// message boxes on the user-interface thread, parented to the main window. A box raised on
// another thread blocks that thread until the user has answered it on the UI thread.
#pragma once

#include <QPointer>
#include <QWidget>

class QtMessageHook {
public:
    // Installs the hook; `parent` may be null or go away meanwhile.
    explicit QtMessageHook(QWidget* parent);
    // Restores the default hook.
    ~QtMessageHook();
    QtMessageHook(const QtMessageHook&) = delete;
    QtMessageHook& operator=(const QtMessageHook&) = delete;

    void SetParent(QWidget* parent) { m_pParent = parent; }
    QWidget* Parent() const { return m_pParent.data(); }

private:
    QPointer<QWidget> m_pParent;
};

// Shows one box on the calling (UI) thread: "Error" boxes with one OK button and a warning
// icon, "Question" boxes with Yes and No and the question icon. The text is shown as plain
// text.
bool AskQuestion(QWidget* parent, const QString& text); // true unless the answer is No
void ShowErrorBox(QWidget* parent, const QString& text);
