#include "libs/lumo/FileDialog.h"

#include "external/LumoFileModules.h"
#include "external/LumoResult.h"
#include "libs/lumodialog/SaveDialogOptions.h"

#include <QApplication>
#include <QFileDialog>
#include <QStringList>
#include <QThread>
#include <QWidget>

namespace lumo {

namespace {

const char* const SAVE_FILTERS[LUMO_FILE_TYPE_COUNT] = {
    "Multi-page TIFF (*.tif *.tiff)",  "TIFF, one file per image (*.tif *.tiff)",
    "PNG, one file per image (*.png)", "BMP, one file per image (*.bmp)",
    "MP4 video, H.264 (*.mp4)",        "Matroska video, lossless FFV1 (*.mkv)",
    "AVI video, Motion JPEG (*.avi)",
};

const char* const OPEN_FILTER =
    "Image files (*.tif *.tiff *.png *.bmp *.pgm *.ppm *.mkv *.mp4 *.avi);;All files (*)";

// The save dialog with the controls of SaveDialogOptions (Qt's own dialog: a native one takes
// no extra widgets). True when the user accepted; `chosen`, the type and the options are taken
// back.
bool RunSaveDialog(FileDialogRequest& request, QWidget* parent, const QString& title,
                   const QString& start, QString& chosen) {
    QStringList filters;
    for (const char* f : SAVE_FILTERS)
        filters << QString::fromUtf8(f);
    const uint32_t type =
        request.type >= 1 && request.type <= LUMO_FILE_TYPE_COUNT ? request.type : 1;
    QFileDialog dialog(parent, title, start, filters.join(";;"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.selectNameFilter(filters[static_cast<int>(type - 1)]);
    SaveDialogOptions options(dialog, request);
    options.FollowFilter(filters[static_cast<int>(type - 1)], type);
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&options, &filters](const QString& filter) {
                         const qsizetype index = filters.indexOf(filter);
                         if (index >= 0)
                             options.FollowFilter(filter, static_cast<uint32_t>(index + 1));
                     });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    chosen = dialog.selectedFiles().constFirst();
    const qsizetype index = filters.indexOf(dialog.selectedNameFilter());
    if (index >= 0)
        request.type = static_cast<uint32_t>(index + 1);
    options.TakeChoices(request);
    return true;
}

} // namespace

uint32_t ShowFileDialog(FileDialogRequest& request, uint32_t* pCancelled);

uint32_t ShowFileDialog(FileDialogRequest& request, uint32_t* pCancelled) {
    if (pCancelled)
        *pCancelled = 1;
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app || QThread::currentThread() != app->thread())
        return LUMO_E_NOTSUPPORTED;
    auto* parent = static_cast<QWidget*>(request.parent);
    const QString title = QString::fromUtf8(request.title.c_str());
    const QString start = QString::fromUtf8(request.name.c_str());
    QString chosen;
    if (request.save) {
        if (!RunSaveDialog(request, parent, title, start, chosen))
            return LUMO_OK;
    } else {
        chosen = QFileDialog::getOpenFileName(parent, title, start, QString::fromUtf8(OPEN_FILTER));
    }
    if (chosen.isEmpty())
        return LUMO_OK;
    request.name = chosen.toStdString();
    if (pCancelled)
        *pCancelled = 0;
    return LUMO_OK;
}

} // namespace lumo

extern "C" __attribute__((visibility("default"))) uint32_t
LumoRunFileDialog(lumo::FileDialogRequest* request, uint32_t* pCancelled) {
    if (!request) {
        if (pCancelled)
            *pCancelled = 1;
        return LUMO_E_INVALIDARG;
    }
    return lumo::ShowFileDialog(*request, pCancelled);
}
