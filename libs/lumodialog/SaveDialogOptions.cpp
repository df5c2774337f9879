#include "libs/lumodialog/SaveDialogOptions.h"

#include "external/LumoFileModules.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QRegularExpression>
#include <QSpinBox>
#include <QString>

#include <algorithm>
#include <cmath>

namespace lumo {

namespace {

// The playback rate's bounds in millihertz (the writer's parameter 344).
constexpr uint32_t RATE_MIN = 100;
constexpr uint32_t RATE_MAX = 1000000;
constexpr int QUALITY_MAX = 51;

const char* const QUALITY_TIP =
    "0 to 51, lower is better: 0 keeps the most detail and makes the largest file, 18 looks "
    "lossless. The lossless Matroska type ignores it.";

// `widget` named for tests and for accessibility tools.
template <typename T>
T* Named(T* widget, const char* objectName, const char* accessibleName) {
    widget->setObjectName(QString::fromUtf8(objectName));
    widget->setAccessibleName(QString::fromUtf8(accessibleName));
    return widget;
}

QLabel* LabelFor(QWidget* buddy, const char* text, QWidget* parent) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setBuddy(buddy);
    return label;
}

// Where the extra rows go: below the dialog's own rows in its grid, label column first; a
// dialog of another make-up stacks them.
void AddRow(QFileDialog& dialog, QWidget* label, QWidget* field) {
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
        const int row = grid->rowCount();
        if (label)
            grid->addWidget(label, row, 0);
        grid->addWidget(field, row, label ? 1 : 0, 1, grid->columnCount() - (label ? 1 : 0));
    } else if (dialog.layout()) {
        if (label)
            dialog.layout()->addWidget(label);
        dialog.layout()->addWidget(field);
    }
}

} // namespace

SaveDialogOptions::SaveDialogOptions(QFileDialog& dialog, const FileDialogRequest& request)
    : m_dialog(dialog) {
    m_frames = Named(new QComboBox(&dialog), "SavedFrames", "Frames saved");
    m_frames->addItem(QStringLiteral("Frames as recorded"));
    m_frames->addItem(QStringLiteral("Frames as displayed (processed)"));
    m_frames->setCurrentIndex(request.processed ? 1 : 0);
    AddRow(dialog, LabelFor(m_frames, "Save:", &dialog), m_frames);

    auto* video = new QWidget(&dialog);
    m_rate = Named(new QDoubleSpinBox(video), "PlaybackRate", "Playback rate");
    m_rate->setDecimals(3);
    m_rate->setRange(RATE_MIN / 1000.0, RATE_MAX / 1000.0);
    m_rate->setSingleStep(1.0);
    m_rate->setSuffix(QStringLiteral(" frames/s"));
    m_rate->setToolTip(QStringLiteral("Frames per second the video plays at"));
    m_rate->setValue(std::clamp(request.videoRate, RATE_MIN, RATE_MAX) / 1000.0);
    m_quality = Named(new QSpinBox(video), "VideoQuality", "Quality");
    m_quality->setRange(0, QUALITY_MAX);
    m_quality->setToolTip(QString::fromUtf8(QUALITY_TIP));
    m_quality->setValue(static_cast<int>(std::min<uint32_t>(request.videoQuality, QUALITY_MAX)));
    m_qualityLabel = LabelFor(m_quality, "Quality (lower is better):", video);
    m_qualityLabel->setToolTip(QString::fromUtf8(QUALITY_TIP));
    auto* row = new QHBoxLayout(video);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_rate);
    row->addSpacing(12);
    row->addWidget(m_qualityLabel);
    row->addWidget(m_quality);
    row->addStretch(1);
    m_rateLabel = LabelFor(m_rate, "Playback rate:", &dialog);
    AddRow(dialog, m_rateLabel, video);

    m_verify = Named(new QCheckBox(QStringLiteral("Verify after saving"), &dialog),
                     "VerifyAfterSaving", "Verify after saving");
    m_verify->setChecked(request.verify);
    AddRow(dialog, nullptr, m_verify);
}

void SaveDialogOptions::FollowFilter(const QString& filter, uint32_t type) {
    static const QRegularExpression firstExtension(QStringLiteral("\\*\\.(\\w+)"));
    const QRegularExpressionMatch match = firstExtension.match(filter);
    m_dialog.setDefaultSuffix(match.hasMatch() ? match.captured(1) : QString());
    const bool video = LumoFileTypeIsVideo(type);
    for (QWidget* control :
         {static_cast<QWidget*>(m_rateLabel), static_cast<QWidget*>(m_rate),
          static_cast<QWidget*>(m_qualityLabel), static_cast<QWidget*>(m_quality)})
        control->setEnabled(video);
}

void SaveDialogOptions::TakeChoices(FileDialogRequest& request) const {
    request.verify = m_verify->isChecked();
    request.processed = m_frames->currentIndex() == 1;
    const double millihertz = std::round(m_rate->value() * 1000.0);
    request.videoRate = std::clamp(static_cast<uint32_t>(millihertz), RATE_MIN, RATE_MAX);
    request.videoQuality = static_cast<uint32_t>(m_quality->value());
}

} // namespace lumo
