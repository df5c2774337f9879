// The file writer's save dialog: the presets of parameters 344 to 346 show in its controls, the
// user's choices come back into them, the video controls follow the selected filter, and the
// filter gives a name typed without an extension its suffix.
#include "external/LumoFileModules.h"
#include "external/LumoModule.h"
#include "tests/lumodialog/DialogTestSupport.h"
#include "tests/support/TempFolder.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTimer>

namespace {

constexpr const char* PNG_FILTER = "PNG, one file per image (*.png)";
constexpr const char* MKV_FILTER = "Matroska video, lossless FFV1 (*.mkv)";
constexpr const char* AVI_FILTER = "AVI video, Motion JPEG (*.avi)";

class SaveDialogTest : public ModuleDialogTest {
protected:
    void SetUp() override {
        ModuleDialogTest::SetUp();
        m_writer = MakeLumoModule(m_pLumo, 1);
        ASSERT_NE(m_writer, nullptr);
        const std::string start = m_folder.File("take.tif");
        ASSERT_EQ(m_writer->SetParam(LUMO_PARAM_FILE_NAME, LumoArg(start.c_str()), 0), LUMO_OK);
    }
    void TearDown() override {
        m_writer.reset();
        ModuleDialogTest::TearDown();
    }

    // Runs the writer's dialog; `act` answers it once it shows (from a timer, since the dialog
    // runs its own loop), and a dialog still open after ten seconds is rejected. Whether the
    // user accepted.
    bool RunDialog(const std::function<void(QFileDialog&)>& act) {
        bool acted = false;
        int ticks = 0;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* dialog = qobject_cast<QFileDialog*>(widget);
                if (!dialog || !dialog->isVisible())
                    continue;
                if (!acted) {
                    acted = true;
                    act(*dialog);
                }
                if (++ticks > 200) {
                    ADD_FAILURE() << "the save dialog stayed open";
                    dialog->reject();
                }
            }
        });
        timer.start(50);
        uint32_t cancelled = 7;
        EXPECT_EQ(m_writer->RunDialog(0, nullptr, &cancelled), LUMO_OK);
        EXPECT_TRUE(acted);
        return cancelled == 0;
    }
    uint32_t Param(uint32_t id) {
        uint32_t value = 0xFFFFFFFF;
        EXPECT_EQ(m_writer->GetParam(id, LumoArg(&value), 0), LUMO_OK);
        return value;
    }
    // What the user does: pick `filter` in the dialog's type list.
    static void PickFilter(QFileDialog& dialog, const char* filter) {
        dialog.selectNameFilter(QString::fromUtf8(filter));
        emit dialog.filterSelected(QString::fromUtf8(filter));
    }
    template <typename T>
    static T* Find(QFileDialog& dialog, const char* name) {
        T* control = dialog.findChild<T*>(QString::fromUtf8(name));
        EXPECT_NE(control, nullptr) << name;
        if (control) {
            EXPECT_FALSE(control->accessibleName().isEmpty()) << name;
        }
        return control;
    }

    TempFolder m_folder;
    LumoModulePtr m_writer;
};

TEST_F(SaveDialogTest, PresetsShowAndTheChoicesGoBackToTheWriter) {
    ASSERT_EQ(m_writer->SetParam(LUMO_PARAM_FILE_TYPE, LUMO_FILE_MP4, 0), LUMO_OK);
    ASSERT_EQ(m_writer->SetParam(LUMO_PARAM_VIDEO_RATE, 12500, 0), LUMO_OK);
    ASSERT_EQ(m_writer->SetParam(LUMO_PARAM_VIDEO_QUALITY, 30, 0), LUMO_OK);
    ASSERT_EQ(m_writer->SetParam(LUMO_PARAM_PROCESSED, 1, 0), LUMO_OK);
    const std::string chosen = m_folder.File("clip.mkv");
    const bool accepted = RunDialog([&](QFileDialog& dialog) {
        auto* frames = Find<QComboBox>(dialog, "SavedFrames");
        auto* rate = Find<QDoubleSpinBox>(dialog, "PlaybackRate");
        auto* quality = Find<QSpinBox>(dialog, "VideoQuality");
        ASSERT_TRUE(frames && rate && quality);
        EXPECT_EQ(frames->currentText().toStdString(), "Frames as displayed (processed)");
        EXPECT_DOUBLE_EQ(rate->value(), 12.5);
        EXPECT_EQ(quality->value(), 30);
        EXPECT_TRUE(quality->toolTip().contains(QStringLiteral("lower is better")));
        EXPECT_TRUE(rate->isEnabled());
        EXPECT_EQ(dialog.defaultSuffix().toStdString(), "mp4");
        frames->setCurrentIndex(0);
        rate->setValue(29.97);
        quality->setValue(10);
        // Leaving the video types disables their controls; coming back enables them.
        PickFilter(dialog, PNG_FILTER);
        EXPECT_FALSE(rate->isEnabled());
        EXPECT_FALSE(quality->isEnabled());
        EXPECT_EQ(dialog.defaultSuffix().toStdString(), "png");
        PickFilter(dialog, MKV_FILTER);
        EXPECT_TRUE(rate->isEnabled());
        EXPECT_TRUE(quality->isEnabled());
        // A name typed without an extension takes the filter's.
        dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText("clip");
        QMetaObject::invokeMethod(&dialog, "done", Qt::QueuedConnection,
                                  Q_ARG(int, QDialog::Accepted));
    });
    ASSERT_TRUE(accepted);
    std::vector<char> name(4096);
    ASSERT_EQ(m_writer->GetParam(LUMO_PARAM_FILE_NAME, LumoArg(name.data()), name.size()), LUMO_OK);
    EXPECT_EQ(std::string(name.data()), chosen);
    EXPECT_EQ(Param(LUMO_PARAM_FILE_TYPE), LUMO_FILE_MKV);
    EXPECT_EQ(Param(LUMO_PARAM_PROCESSED), 0u);
    EXPECT_EQ(Param(LUMO_PARAM_VIDEO_RATE), 29970u);
    EXPECT_EQ(Param(LUMO_PARAM_VIDEO_QUALITY), 10u);
}

TEST_F(SaveDialogTest, AStillTypeStartsWithTheVideoControlsOffAndCancelKeepsThePresets) {
    ASSERT_EQ(m_writer->SetParam(LUMO_PARAM_FILE_TYPE, LUMO_FILE_MULTI_TIFF, 0), LUMO_OK);
    const bool accepted = RunDialog([&](QFileDialog& dialog) {
        auto* frames = Find<QComboBox>(dialog, "SavedFrames");
        auto* rate = Find<QDoubleSpinBox>(dialog, "PlaybackRate");
        auto* quality = Find<QSpinBox>(dialog, "VideoQuality");
        ASSERT_TRUE(frames && rate && quality);
        EXPECT_EQ(frames->currentIndex(), 0);
        EXPECT_TRUE(frames->isEnabled());
        EXPECT_FALSE(rate->isEnabled());
        EXPECT_FALSE(quality->isEnabled());
        EXPECT_DOUBLE_EQ(rate->value(), LUMO_VIDEO_RATE_DEFAULT / 1000.0);
        EXPECT_EQ(quality->value(), int(LUMO_VIDEO_QUALITY_DEFAULT));
        // The labels name their controls for keyboard users and screen readers.
        for (QLabel* label : dialog.findChildren<QLabel*>())
            if (label->buddy() == rate || label->buddy() == quality) {
                EXPECT_FALSE(label->isEnabled());
            }
        // Choosing a video type changes the extension of the name typed.
        auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(edit, nullptr);
        edit->setText(QStringLiteral("run.tif"));
        PickFilter(dialog, AVI_FILTER);
        EXPECT_EQ(edit->text().toStdString(), "run.avi");
        EXPECT_TRUE(rate->isEnabled());
        frames->setCurrentIndex(1);
        rate->setValue(100.0);
        QMetaObject::invokeMethod(&dialog, "reject", Qt::QueuedConnection);
    });
    EXPECT_FALSE(accepted);
    EXPECT_EQ(Param(LUMO_PARAM_FILE_TYPE), LUMO_FILE_MULTI_TIFF);
    EXPECT_EQ(Param(LUMO_PARAM_PROCESSED), 0u);
    EXPECT_EQ(Param(LUMO_PARAM_VIDEO_RATE), LUMO_VIDEO_RATE_DEFAULT);
}

} // namespace
