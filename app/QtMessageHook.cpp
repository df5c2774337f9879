#include "app/QtMessageHook.h"

#include "platform/ShowMessage.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

namespace {

platform::MessageAnswer ShowBox(QWidget* parent, const QString& text, const QString& title,
                                platform::MessageButtons buttons) {
    const bool question = buttons == platform::MessageButtons::YesNo;
    QMessageBox box(question ? QMessageBox::Question : QMessageBox::Warning, title, text,
                    question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    const int answer = box.exec();
    if (!question)
        return platform::MessageAnswer::Ok;
    return answer == QMessageBox::No ? platform::MessageAnswer::No : platform::MessageAnswer::Yes;
}

platform::MessageAnswer Hook(void* context, const char* text, const char* title,
                             platform::MessageButtons buttons) {
    auto* self = static_cast<QtMessageHook*>(context);
    const QString qText = QString::fromUtf8(text ? text : "");
    const QString qTitle = QString::fromUtf8(title ? title : "");
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return buttons == platform::MessageButtons::YesNo ? platform::MessageAnswer::No
                                                          : platform::MessageAnswer::Ok;
    if (QThread::currentThread() == app->thread())
        return ShowBox(self->Parent(), qText, qTitle, buttons);
    platform::MessageAnswer answer = platform::MessageAnswer::No;
    QMetaObject::invokeMethod(
        app, [&] { answer = ShowBox(self->Parent(), qText, qTitle, buttons); },
        Qt::BlockingQueuedConnection);
    return answer;
}

} // namespace

QtMessageHook::QtMessageHook(QWidget* parent) : m_pParent(parent) {
    platform::SetMessageHook(&Hook, this);
}

QtMessageHook::~QtMessageHook() {
    platform::SetMessageHook(nullptr, nullptr);
}

bool AskQuestion(QWidget* parent, const QString& text) {
    return ShowBox(parent, text, QStringLiteral("Question"), platform::MessageButtons::YesNo) !=
           platform::MessageAnswer::No;
}

void ShowErrorBox(QWidget* parent, const QString& text) {
    (void)ShowBox(parent, text, QStringLiteral("Error"), platform::MessageButtons::Ok);
}
