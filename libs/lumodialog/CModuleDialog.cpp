#include "libs/lumodialog/CModuleDialog.h"

#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace lumodialog {

CModuleDialog::CModuleDialog(const LumoModuleDialogHost& host, QWidget* parent)
    : QDialog(parent), m_host(host) {
    m_host.title = nullptr; // copied into the window title; the text is the caller's
    setWindowTitle(QString::fromUtf8(host.title ? host.title : ""));
    setObjectName(QStringLiteral("moduleDialog%1").arg(host.dialogId));
    auto* outer = new QVBoxLayout(this);
    m_body = new QVBoxLayout;
    outer->addLayout(m_body);
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    m_buttons->setObjectName(QStringLiteral("buttons"));
    outer->addWidget(m_buttons);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    m_refreshTimer.setInterval(REFRESH_MS);
    connect(&m_refreshTimer, &QTimer::timeout, this, [this] { Refresh(); });
}

CModuleDialog::~CModuleDialog() {
    m_attached = false; // hiding on the way out raises nothing
}

void CModuleDialog::UseModalButtons(bool modal) {
    m_modal = modal;
    m_buttons->setStandardButtons(modal ? QDialogButtonBox::Ok | QDialogButtonBox::Cancel
                                        : QDialogButtonBox::Close);
    // Enter in a spin box takes the value; only a modal dialog's OK answers it as well.
    for (QAbstractButton* button : m_buttons->buttons())
        if (auto* push = qobject_cast<QPushButton*>(button)) {
            const bool isDefault =
                modal && m_buttons->buttonRole(button) == QDialogButtonBox::AcceptRole;
            push->setAutoDefault(isDefault);
            push->setDefault(isDefault);
        }
}

QPushButton* CModuleDialog::AddButton(const QString& text, const char* objectName) {
    auto* button = new QPushButton(text, this);
    button->setObjectName(QString::fromUtf8(objectName));
    button->setAutoDefault(false); // Enter in a spin box must not press it
    return button;
}

void CModuleDialog::done(int result) {
    const bool byUser = m_closedByUser;
    m_closedByUser = false;
    uint32_t event = LUMO_EVENT_DIALOG_CLOSED;
    if (m_modal && !byUser)
        event = result == QDialog::Accepted ? LUMO_EVENT_DIALOG_OK : LUMO_EVENT_DIALOG_CANCEL;
    QDialog::done(result);
    RaiseEvent(event); // last: the module's answer may close the dialog
}

bool CModuleDialog::SetParam(uint32_t id, uintptr_t a, uintptr_t b) {
    return m_host.module->SetParam(id, a, b) == LUMO_OK;
}

bool CModuleDialog::GetParam(uint32_t id, uintptr_t a, uintptr_t b) const {
    return m_host.module->GetParam(id, a, b) == LUMO_OK;
}

void CModuleDialog::RaiseEvent(uint32_t event) {
    if (m_attached && m_host.event)
        m_host.event(m_host.context, event);
}

void CModuleDialog::Name(QWidget& control, const char* objectName, const QString& accessibleName) {
    control.setObjectName(QString::fromUtf8(objectName));
    control.setAccessibleName(accessibleName);
}

void CModuleDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Refresh();
    m_refreshTimer.start();
}

void CModuleDialog::hideEvent(QHideEvent* event) {
    m_refreshTimer.stop();
    QDialog::hideEvent(event);
}

void CModuleDialog::closeEvent(QCloseEvent* event) {
    // The window's close button: QDialog rejects, done() then reports "closed".
    m_closedByUser = true;
    QDialog::closeEvent(event);
    m_closedByUser = false;
}

bool CModuleDialog::RequestNextRun(uint32_t id, QPushButton& button) {
    if (!SetParam(id, 1, 0))
        return false;
    button.setEnabled(false);
    RaiseChanged(); // the next run serves it
    return true;
}

bool CModuleDialog::NextRunServed(uint32_t id, QPushButton& button) {
    if (button.isEnabled())
        return false; // nothing asked
    uint32_t pending = 1;
    if (GetParam(id, LumoArg(&pending), 0) && pending)
        return false;
    button.setEnabled(true);
    return true;
}

} // namespace lumodialog
