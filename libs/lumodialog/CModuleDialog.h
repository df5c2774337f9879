// The base of every process module's dialog in libLumoDialog.so: a QDialog that edits one module
// through its parameters (never its images) on the QApplication's thread.
//
// A dialog derives from it, puts its controls into Body() in its constructor, writes every
// change at once (WriteBlock / SetParam) and then calls RaiseChanged(), which asks the view to
// process the image again. Dialogs that show results override Refresh(), called every 100 ms
// while the dialog is shown. Controls without visible text carry an objectName and an
// accessible name (Name()).
//
// Events to the module (LumoModuleDialogHost::event): a modeless dialog has a Close button and
// raises 2 when it closes, however it closes; a modal one has OK and Cancel, which raise 0 and 1,
// and a window closed by the user raises 2. Once Detach() was called (the module closes the
// dialog) no event is raised any more.
#pragma once

#include "external/LumoModule.h"
#include "external/LumoNotify.h"
#include "external/LumoResult.h"
#include "libs/lumo/ModuleDialogLoader.h"

#include <QDialog>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdint>

class QCloseEvent;
class QDialogButtonBox;
class QHideEvent;
class QPushButton;
class QShowEvent;

namespace lumodialog {

class CModuleDialog : public QDialog {
public:
    static constexpr int REFRESH_MS = 100;

    CModuleDialog(const LumoModuleDialogHost& host, QWidget* parent);
    ~CModuleDialog() override;
    CModuleDialog(const CModuleDialog&) = delete;
    CModuleDialog& operator=(const CModuleDialog&) = delete;

    // OK and Cancel for a modal run instead of Close.
    void UseModalButtons(bool modal);
    // No more events: the module is closing the dialog.
    void Detach() { m_attached = false; }
    uint32_t DialogId() const { return m_host.dialogId; }

    // Shows the module's current values again (after a change the dialog did not make).
    virtual void Refresh() {}

    void done(int result) override;

protected:
    CLumoModule& Module() const { return *m_host.module; }
    // The layout the dialog's controls go into, above the buttons.
    QVBoxLayout& Body() const { return *m_body; }

    // Parameter block `id` as a T (zeros beyond what the module fills); zeros when it fails.
    template <typename T>
    T ReadBlock(uint32_t id, bool* ok = nullptr) const {
        T block{};
        const bool read = m_host.module->GetParam(id, LumoArg(&block), sizeof(T)) == LUMO_OK;
        if (ok)
            *ok = read;
        return read ? block : T{};
    }
    template <typename T>
    [[nodiscard]] bool WriteBlock(uint32_t id, const T& block) {
        return m_host.module->SetParam(id, LumoArg(&block), sizeof(T)) == LUMO_OK;
    }
    [[nodiscard]] bool SetParam(uint32_t id, uintptr_t a, uintptr_t b);
    [[nodiscard]] bool GetParam(uint32_t id, uintptr_t a, uintptr_t b) const;

    // Event 3: a setting changed, the image wants processing again.
    void RaiseChanged() { RaiseEvent(LUMO_EVENT_CHANGED); }
    void RaiseEvent(uint32_t event);

    // Asks the module for work its next run on the update thread does (parameter `id` set to 1)
    // and processes the image again; `button` stays disabled until the module has served it.
    // False when the module refused the request.
    bool RequestNextRun(uint32_t id, QPushButton& button);
    // For Refresh(): true once, when the request of parameter `id` has been served (`button` is
    // enabled again).
    bool NextRunServed(uint32_t id, QPushButton& button);

    // A push button of the dialog that Enter does not press (the caller lays it out).
    QPushButton* AddButton(const QString& text, const char* objectName);
    // objectName `objectName` and accessible name `accessibleName` for a control.
    static void Name(QWidget& control, const char* objectName, const QString& accessibleName);

    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    LumoModuleDialogHost m_host;
    QVBoxLayout* m_body = nullptr;         // owned by the dialog's layout
    QDialogButtonBox* m_buttons = nullptr; // child of the dialog
    QTimer m_refreshTimer;
    bool m_attached = true;
    bool m_modal = false;
    bool m_closedByUser = false;
};

} // namespace lumodialog
