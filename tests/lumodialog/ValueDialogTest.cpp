// The value dialogs write their module at once and ask for processing (event 3); the requests
// that need an image (grey patch, automatic window) are served by the module's next run and then
// shown; the statistics table follows the module's results.
#include "external/ImageFormat.h"
#include "processing/ChainModuleSteps.h"
#include "tests/lumodialog/DialogTestSupport.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <cstring>

namespace {

class ValueDialogTest : public ModuleDialogTest {
protected:
    // An input of `format` filled by `fill` (sample index -> value) and a prepared output.
    bool GiveImages(CLumoModule* module, uint32_t width, uint32_t height, uint64_t format,
                    const std::function<uint32_t(size_t)>& fill) {
        m_in = NewImage();
        m_out = NewImage();
        if (!m_in || !m_out || m_in->Allocate(width, height, format, 0, 1) != LUMO_OK)
            return false;
        const size_t samples = size_t(width) * height * ImageFormat::Channels(format);
        void* data = m_in->GetFrameData(0, -1, 0);
        for (size_t i = 0; i < samples; ++i) {
            if (ImageFormat::ContainerBits(format) == 8)
                static_cast<uint8_t*>(data)[i] = uint8_t(fill(i));
            else
                static_cast<uint16_t*>(data)[i] = uint16_t(fill(i));
        }
        CLumoImage* images[2] = {m_in.get(), m_out.get()};
        return module->SetImages(2, images) == LUMO_OK && PrepareModuleOutput(module);
    }

    ImagePtr m_in;
    ImagePtr m_out;
};

TEST_F(ValueDialogTest, OrientationCheckBoxesMirror) {
    CLumoModule* module = NewModule(LUMO_ID_ORIENTATION);
    ASSERT_NE(module, nullptr);
    LumoOrientationBlock block{1, 0};
    ASSERT_EQ(module->SetParam(LUMO_PARAM_BLOCK12, LumoArg(&block), sizeof block), LUMO_OK);
    ASSERT_EQ(module->OpenDialog(m_dialogId, nullptr), LUMO_OK);
    auto* horizontal = Control<QCheckBox>("mirrorHorizontally");
    auto* vertical = Control<QCheckBox>("mirrorVertically");
    ASSERT_TRUE(horizontal && vertical);
    EXPECT_TRUE(horizontal->isChecked()); // shows the module's values
    EXPECT_FALSE(vertical->isChecked());
    EXPECT_TRUE(m_events.empty());
    vertical->click();
    ASSERT_EQ(module->GetParam(LUMO_PARAM_BLOCK12, LumoArg(&block), sizeof block), LUMO_OK);
    EXPECT_EQ(block.mirrorHorizontally, 1u);
    EXPECT_EQ(block.mirrorVertically, 1u);
    EXPECT_EQ(m_events, std::vector<uint32_t>{Code(LUMO_EVENT_CHANGED)});
}

TEST_F(ValueDialogTest, DemosaicMethodGainsAndGreyPatch) {
    CLumoModule* module = NewModule(LUMO_ID_CFA_TO_RGB);
    ASSERT_NE(module, nullptr);
    // Phase 0 green 120, red 40, blue 60: gains 3 and 2 make the patch grey.
    ASSERT_TRUE(GiveImages(module, 32, 32, ImageFormat::CFA8, [](size_t i) -> uint32_t {
        const size_t x = i % 32;
        const size_t y = i / 32;
        const uint32_t colour[4] = {120, 40, 60, 120};
        return colour[2 * (y & 1) + (x & 1)];
    }));
    ASSERT_EQ(module->OpenDialog(m_dialogId, nullptr), LUMO_OK);
    auto* highQuality = Control<QRadioButton>("methodHighQuality");
    auto* red = Control<QDoubleSpinBox>("gainRed");
    auto* blue = Control<QDoubleSpinBox>("gainBlue");
    auto* greyPatch = Control<QPushButton>("greyPatch");
    ASSERT_TRUE(highQuality && red && blue && greyPatch);
    EXPECT_FALSE(red->accessibleName().isEmpty());

    highQuality->click();
    red->setValue(1.25);
    LumoCfaBlock block{};
    ASSERT_EQ(module->GetParam(LUMO_PARAM_BLOCK12, LumoArg(&block), sizeof block), LUMO_OK);
    EXPECT_EQ(block.method, 1u);
    EXPECT_DOUBLE_EQ(block.gains[0], 1.25);
    EXPECT_EQ(m_events, std::vector<uint32_t>(2, Code(LUMO_EVENT_CHANGED)));

    m_events.clear();
    ASSERT_EQ(module->SetParam(LUMO_PARAM_CURSOR, 20, 9), LUMO_OK);
    greyPatch->click();
    EXPECT_EQ(m_events, std::vector<uint32_t>{Code(LUMO_EVENT_CHANGED)});
    uint32_t pending = 0;
    ASSERT_EQ(module->GetParam(LUMO_PARAM_GREY_PATCH, LumoArg(&pending), 0), LUMO_OK);
    EXPECT_EQ(pending, 1u);
    EXPECT_FALSE(greyPatch->isEnabled());
    RunFor(250);
    EXPECT_DOUBLE_EQ(red->value(), 1.25);   // nothing yet: the module has not run
    ASSERT_EQ(module->Execute(0), LUMO_OK); // the update thread's run
    EXPECT_TRUE(RunUntil([&] { return greyPatch->isEnabled(); }));
    EXPECT_DOUBLE_EQ(red->value(), 3.0);
    EXPECT_DOUBLE_EQ(blue->value(), 2.0);
    EXPECT_EQ(m_events.size(), 1u); // showing the served gains writes nothing
}

TEST_F(ValueDialogTest, ContrastWindowSpinBoxesFullRangeAndAuto) {
    CLumoModule* module = NewModule(LUMO_ID_CONTRAST_WINDOW);
    ASSERT_NE(module, nullptr);
    ASSERT_EQ(module->OpenDialog(m_dialogId, nullptr), LUMO_OK);
    auto* minimum = Control<QDoubleSpinBox>("minimum");
    auto* maximum = Control<QDoubleSpinBox>("maximum");
    auto* fullRange = Control<QPushButton>("fullRange");
    auto* autoWindow = Control<QPushButton>("autoWindow");
    ASSERT_TRUE(minimum && maximum && fullRange && autoWindow);
    EXPECT_DOUBLE_EQ(maximum->value(), 255.0);

    minimum->setValue(12.0);
    LumoWindowBlock block{};
    ASSERT_EQ(module->GetParam(LUMO_PARAM_BLOCK12, LumoArg(&block), sizeof block), LUMO_OK);
    EXPECT_DOUBLE_EQ(block.minimum, 12.0);
    EXPECT_STREQ(block.label, "#"); // kept
    EXPECT_EQ(m_events, std::vector<uint32_t>{Code(LUMO_EVENT_CHANGED)});

    // 12-bit samples 1000 + i % 2000 (0.05 % each): the window cuts ten values off each end.
    const uint64_t format = ImageFormat::Make(16, 12, 1, 0, ImageFormat::CLASS_GREY);
    ASSERT_TRUE(GiveImages(module, 100, 40, format, [](size_t i) { return 1000 + i % 2000; }));
    fullRange->click();
    EXPECT_DOUBLE_EQ(minimum->value(), 0.0);
    EXPECT_DOUBLE_EQ(maximum->value(), 4095.0);
    EXPECT_EQ(m_events.size(), 2u);

    autoWindow->click();
    EXPECT_EQ(m_events.size(), 3u);
    ASSERT_EQ(module->Execute(0), LUMO_OK);
    EXPECT_TRUE(RunUntil([&] { return autoWindow->isEnabled(); }));
    EXPECT_DOUBLE_EQ(minimum->value(), 1010.0);
    EXPECT_DOUBLE_EQ(maximum->value(), 2989.0);
    EXPECT_EQ(m_events.size(), 3u);
}

TEST_F(ValueDialogTest, StatisticsTableFollowsTheAnalysis) {
    CLumoModule* module = NewModule(LUMO_ID_STATISTICS);
    ASSERT_NE(module, nullptr);
    ASSERT_EQ(module->OpenDialog(m_dialogId, nullptr), LUMO_OK);
    auto* table = Control<QTableWidget>("statistics");
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->rowCount(), 0); // no analysis yet
    EXPECT_EQ(table->editTriggers(), QAbstractItemView::NoEditTriggers);

    ImagePtr source = NewImage();
    ASSERT_TRUE(source && source->Allocate(2, 2, ImageFormat::GREY8, 0, 1) == LUMO_OK);
    const uint8_t samples[4] = {10, 20, 30, 40};
    std::memcpy(source->GetFrameData(0, -1, 0), samples, sizeof samples);
    CLumoImage* images[1] = {source.get()};
    ASSERT_EQ(module->SetImages(1, images), LUMO_OK);
    ASSERT_EQ(module->Execute(CLumoModule::EXECUTE_ANALYSE), LUMO_OK);
    ASSERT_TRUE(RunUntil([&] { return table->rowCount() == 1 && table->item(0, 3); }));
    EXPECT_EQ(table->item(0, 0)->text().toStdString(), "10");
    EXPECT_EQ(table->item(0, 1)->text().toStdString(), "40");
    EXPECT_EQ(table->item(0, 2)->text().toStdString(), "25.00");
    EXPECT_EQ(table->item(0, 3)->text().toStdString(), "11.18");
    EXPECT_TRUE(m_events.empty());
    ASSERT_EQ(module->CloseDialog(m_dialogId), LUMO_OK);
    ASSERT_EQ(module->SetImages(0, nullptr), LUMO_OK);
}

} // namespace
