// The module dialog functions libLumoInst.so calls (libs/lumo/ModuleDialogLoader.h).
#include "external/LumoResult.h"
#include "libs/lumodialog/ModuleDialogFactory.h"

#include <QApplication>
#include <QPointer>
#include <QThread>
#include <memory>

// The handle libLumoInst.so keeps: the dialog, which Qt also deletes with its parent window.
struct LumoModuleDialog {
    QPointer<lumodialog::CModuleDialog> dialog;
};

namespace {

bool OnApplicationThread() {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    return app && QThread::currentThread() == app->thread();
}

} // namespace

#define LUMO_DIALOG_EXPORT extern "C" __attribute__((visibility("default")))

LUMO_DIALOG_EXPORT LumoModuleDialog* LumoOpenModuleDialog(const LumoModuleDialogHost* host,
                                                          uint32_t modal, uint32_t* pCancelled) {
    if (pCancelled)
        *pCancelled = 1;
    if (!host || !host->module || !OnApplicationThread())
        return nullptr;
    std::unique_ptr<lumodialog::CModuleDialog> dialog =
        lumodialog::CreateModuleDialog(*host, static_cast<QWidget*>(host->parent));
    if (!dialog)
        return nullptr;
    dialog->UseModalButtons(modal != 0);
    auto handle = std::make_unique<LumoModuleDialog>();
    handle->dialog = dialog.release(); // deleted by LumoCloseModuleDialog or its parent
    if (modal) {
        const int result = handle->dialog->exec();
        if (pCancelled)
            *pCancelled = handle->dialog && result == QDialog::Accepted ? 0 : 1;
    } else {
        handle->dialog->show();
        handle->dialog->raise();
        handle->dialog->activateWindow();
    }
    return handle.release(); // the module's, until LumoCloseModuleDialog
}

LUMO_DIALOG_EXPORT void LumoCloseModuleDialog(LumoModuleDialog* handle) {
    const std::unique_ptr<LumoModuleDialog> owned(handle);
    if (!owned || !owned->dialog)
        return;
    owned->dialog->Detach();
    const std::unique_ptr<lumodialog::CModuleDialog> dialog(owned->dialog.data());
}

LUMO_DIALOG_EXPORT uint32_t LumoIsModuleDialogOpen(const LumoModuleDialog* handle) {
    return handle && handle->dialog && handle->dialog->isVisible() ? 1 : 0;
}

LUMO_DIALOG_EXPORT uint32_t LumoShowModuleDialog(LumoModuleDialog* handle) {
    if (!handle || !handle->dialog)
        return LUMO_E_INVALIDARG;
    if (!OnApplicationThread())
        return LUMO_E_NOTSUPPORTED;
    handle->dialog->show();
    handle->dialog->raise();
    handle->dialog->activateWindow();
    return LUMO_OK;
}
