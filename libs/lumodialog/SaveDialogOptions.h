// The controls the save dialog adds below Qt's own: what is saved (the frames as recorded or as
// the view shows them), the video types' playback rate and quality, and "Verify after saving".
// They take their presets from the request and give the user's choices back to it; rate and
// quality are enabled only while a video type is the selected filter. UI thread only.
#pragma once

#include "libs/lumo/FileDialog.h"

#include <cstdint>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QFileDialog;
class QLabel;
class QSpinBox;
class QString;

namespace lumo {

class SaveDialogOptions {
public:
    // Adds the controls to `dialog` (a non-native one: it takes extra widgets), set from
    // `request`.
    SaveDialogOptions(QFileDialog& dialog, const FileDialogRequest& request);
    SaveDialogOptions(const SaveDialogOptions&) = delete;
    SaveDialogOptions& operator=(const SaveDialogOptions&) = delete;

    // `filter`, the filter of file type `type` (1 .. LUMO_FILE_TYPE_COUNT), is the selected
    // one: the dialog's default suffix becomes the filter's first extension, and the video
    // controls follow the type.
    void FollowFilter(const QString& filter, uint32_t type);
    // The user's choices into `request`.
    void TakeChoices(FileDialogRequest& request) const;

private:
    QFileDialog& m_dialog;
    QComboBox* m_frames = nullptr;
    QLabel* m_rateLabel = nullptr;
    QDoubleSpinBox* m_rate = nullptr;
    QLabel* m_qualityLabel = nullptr;
    QSpinBox* m_quality = nullptr;
    QCheckBox* m_verify = nullptr;
};

} // namespace lumo
