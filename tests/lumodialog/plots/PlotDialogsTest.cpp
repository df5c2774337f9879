// The look-up-table, histogram and profile dialogs, opened by their modules in the real
// libLumoInst.so (which loads libLumoDialog.so): what the user does in them reaches the module and
// raises "a setting changed", and what the module computed shows in the plot.
#include "external/ImageFormat.h"
#include "external/LumoModuleIds.h"
#include "external/LumoNotify.h"
#include "external/LumoParamBlocks.h"
#include "external/LumoResult.h"
#include "libs/lumodialog/widgets/CCurveEditor.h"
#include "libs/lumodialog/widgets/CPlotWidget.h"
#include "libs/lumodialog/widgets/LutCsv.h"
#include "tests/lumodialog/DialogTestSupport.h"
#include "tests/support/TempFolder.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <array>
#include <cstring>
#include <fstream>
#include <vector>

using lumodialog::CCurveEditor;
using lumodialog::CPlotWidget;
using lumodialog::LutChannels;

namespace {

constexpr uint32_t PARAM_POINTS = 41;
constexpr int SETTLE_MS = 350; // a few of the dialogs' 100 ms refreshes

// The dialog's plot widgets come from libLumoDialog.so's own copy of the widget code, so
// qobject_cast cannot see them; they are checked by class name and used as the same class.
template <typename Widget>
Widget* Same(QWidget* widget, const char* className) {
    return widget && QByteArray(widget->metaObject()->className()) == className
               ? static_cast<Widget*>(widget)
               : nullptr;
}

// While `run` runs a modal loop: a file dialog gets `fileName` and is accepted, a message box is
// read into `messages` and closed. Gives up after ten seconds.
void AnswerModals(const QString& fileName, QStringList& messages,
                  const std::function<void()>& run) {
    QTimer timer;
    int ticks = 0;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (++ticks > 200) {
            ADD_FAILURE() << "a modal window did not close";
            if (modal)
                modal->close();
        } else if (auto* files = qobject_cast<QFileDialog*>(modal)) {
            // The name typed into the dialog's name field; accepted once the dialog took it.
            if (auto* edit = files->findChild<QLineEdit*>("fileNameEdit"))
                edit->setText(fileName);
            if (files->selectedFiles().value(0) == fileName)
                QMetaObject::invokeMethod(files, "done", Q_ARG(int, QDialog::Accepted));
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            messages << box->text();
            box->accept();
        }
    });
    timer.start(50);
    run();
}

class PlotDialogsTest : public ModuleDialogTest {
protected:
    void TearDown() override {
        m_image.reset();
        ModuleDialogTest::TearDown(); // the modules close their dialogs first
    }

    // The module `objectId` with its dialog open and shown.
    void Open(uint32_t objectId) {
        m_module = NewModule(objectId);
        ASSERT_TRUE(m_module);
        ASSERT_EQ(m_module->OpenDialog(m_dialogId, nullptr), LUMO_OK);
        ASSERT_TRUE(Dialog());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Dialog()));
    }
    size_t ChangedEvents() const {
        return size_t(std::count(m_events.begin(), m_events.end(), Code(LUMO_EVENT_CHANGED)));
    }
    CPlotWidget* Plot(const char* name) const {
        return Same<CPlotWidget>(Control<QWidget>(name), "lumodialog::CPlotWidget");
    }

    // An 8-bit grey image, value (x, y) = y * width + x, as the module's input.
    void Feed(uint32_t width, uint32_t height, uint8_t add = 0) {
        m_image = NewImage();
        ASSERT_EQ(m_image->Allocate(width, height, ImageFormat::GREY8, 0, 1), LUMO_OK);
        auto* pixels = static_cast<uint8_t*>(m_image->GetFrameData(0, 0, 0));
        for (uint32_t i = 0; i < width * height; ++i)
            pixels[i] = uint8_t(i + add);
        CLumoImage* images[] = {m_image.get()};
        ASSERT_EQ(m_module->SetImages(1, images), LUMO_OK);
        Analyse();
    }
    void Analyse() { ASSERT_EQ(m_module->Execute(CLumoModule::EXECUTE_ANALYSE), LUMO_OK); }

    LutChannels Points() const {
        LutChannels table{};
        EXPECT_EQ(m_module->GetParam(PARAM_POINTS, LumoArg(table.data()), 0), LUMO_OK);
        return table;
    }

    CLumoModule* m_module = nullptr;
    ImagePtr m_image;
};

} // namespace

TEST_F(PlotDialogsTest, ChoosingAFactoryTableAndEditingTheCurveReachTheModule) {
    ASSERT_NO_FATAL_FAILURE(Open(LUMO_ID_LOOK_UP_TABLE));
    auto* tables = Control<QListWidget>("tables");
    ASSERT_TRUE(tables);
    ASSERT_EQ(tables->count(), 6);
    EXPECT_EQ(tables->item(2)->text(), "Gamma 2.2");

    tables->setCurrentRow(3); // inverted
    EXPECT_EQ(ChangedEvents(), 1u);
    LutChannels table = Points();
    EXPECT_EQ(table[0], 65535);
    EXPECT_EQ(table[255], 0);
    EXPECT_EQ(table[2 * 256 + 255], 0);

    auto* editor = Same<CCurveEditor>(Control<QWidget>("curve"), "lumodialog::CCurveEditor");
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->GetTable()[10], table[10]);
    const QPoint start = editor->PositionOf(editor->ControlPoints()[4]);
    QTest::mousePress(editor, Qt::LeftButton, {}, start);
    QTest::mouseMove(editor, start + QPoint(0, -10));
    QTest::mouseRelease(editor, Qt::LeftButton, {}, start + QPoint(0, -10));
    EXPECT_EQ(ChangedEvents(), 2u);
    table = Points();
    EXPECT_GT(table[128], 32768 + 1000);
    for (size_t c = 0; c < 3; ++c)
        EXPECT_TRUE(std::equal(editor->GetTable().begin(), editor->GetTable().end(),
                               table.begin() + std::ptrdiff_t(c * 256)))
            << "channel " << c;
    EXPECT_EQ(tables->currentRow(), -1) << "an edited table is none of the list";
}

TEST_F(PlotDialogsTest, UserTablesAreKeptAndRemoved) {
    ASSERT_NO_FATAL_FAILURE(Open(LUMO_ID_LOOK_UP_TABLE));
    auto* tables = Control<QListWidget>("tables");
    auto* keep = Control<QPushButton>("keepUserTable");
    auto* remove = Control<QPushButton>("removeUserTable");
    ASSERT_TRUE(tables && keep && remove);
    tables->setCurrentRow(1);
    EXPECT_FALSE(remove->isEnabled()) << "factory tables stay";
    QTest::mouseClick(keep, Qt::LeftButton);
    ASSERT_EQ(tables->count(), 7);
    EXPECT_EQ(tables->item(6)->text(), "User 1: Gamma 0.45");
    EXPECT_EQ(tables->currentRow(), 6);
    ASSERT_TRUE(remove->isEnabled());
    QTest::mouseClick(remove, Qt::LeftButton);
    EXPECT_EQ(tables->count(), 6);
}

TEST_F(PlotDialogsTest, CsvImportTakesAFileAndNamesTheBadLine) {
    ASSERT_NO_FATAL_FAILURE(Open(LUMO_ID_LOOK_UP_TABLE));
    TempFolder folder;
    LutChannels wanted{};
    for (size_t i = 0; i < wanted.size(); ++i)
        wanted[i] = uint16_t(i * 85);
    const std::string good = folder.File("good.csv");
    std::ofstream(good) << lumodialog::ExportLutCsv(wanted);
    std::string text = lumodialog::ExportLutCsv(wanted);
    text.replace(text.find("\n15,1275,"), 9, "\n15,70000,");
    const std::string bad = folder.File("bad.csv");
    std::ofstream(bad) << text;

    QStringList messages;
    auto* import = Control<QPushButton>("importCsv");
    ASSERT_TRUE(import);
    AnswerModals(QString::fromStdString(bad), messages, [&] { import->click(); });
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("line 17: value 70000 out of range"))
        << messages[0].toStdString();
    EXPECT_EQ(ChangedEvents(), 0u);

    AnswerModals(QString::fromStdString(good), messages, [&] { import->click(); });
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(Points(), wanted);
    EXPECT_EQ(ChangedEvents(), 1u);

    const std::string exported = folder.File("out.csv");
    AnswerModals(QString::fromStdString(exported), messages,
                 [&] { Control<QPushButton>("exportCsv")->click(); });
    std::ifstream in(exported);
    const std::string written((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(written, lumodialog::ExportLutCsv(wanted));
}

TEST_F(PlotDialogsTest, HistogramShowsTheBinsOfTheLastAnalysis) {
    ASSERT_NO_FATAL_FAILURE(Open(LUMO_ID_HISTOGRAM));
    ASSERT_NO_FATAL_FAILURE(Feed(16, 4));
    CPlotWidget* plot = Plot("histogram");
    ASSERT_TRUE(plot);
    RunFor(SETTLE_MS);
    ASSERT_EQ(plot->SeriesCount(), 1);
    std::vector<uint64_t> bins(256);
    ASSERT_EQ(m_module->GetParam(LUMO_PARAM_RESULT, 0, LumoArg(bins.data())), LUMO_OK);
    EXPECT_EQ(plot->Series(0), std::vector<double>(bins.begin(), bins.end()));
    EXPECT_EQ(plot->Series(0)[63], 1.0);
    EXPECT_EQ(plot->Series(0)[64], 0.0);

    ASSERT_NO_FATAL_FAILURE(Feed(16, 4, 100));
    RunFor(SETTLE_MS);
    EXPECT_EQ(plot->Series(0)[0], 0.0);
    EXPECT_EQ(plot->Series(0)[163], 1.0);

    EXPECT_EQ(plot->SeriesColour(0), QColor(Qt::black)); // no colours set: black
    // The chain's colour pairs are (background, drawing colour): white behind red, never a
    // white line on white.
    LumoLinePlotColourBlock colours{};
    ASSERT_EQ(m_module->GetParam(LUMO_PARAM_BLOCK13, LumoArg(&colours), sizeof colours), LUMO_OK);
    for (int c = 0; c < 3; ++c)
        colours.colours.first[c] = 0xFFFFFF;
    colours.colours.second[0] = 0x0000FF;
    ASSERT_EQ(m_module->SetParam(LUMO_PARAM_BLOCK13, LumoArg(&colours), sizeof colours), LUMO_OK);
    ASSERT_NO_FATAL_FAILURE(Feed(16, 4, 7));
    RunFor(SETTLE_MS);
    EXPECT_EQ(plot->SeriesColour(0), QColor(255, 0, 0));

    QTest::mouseClick(Control<QRadioButton>("logarithmic"), Qt::LeftButton);
    EXPECT_TRUE(plot->IsLogarithmic());
    QTest::mouseClick(Control<QRadioButton>("linear"), Qt::LeftButton);
    EXPECT_FALSE(plot->IsLogarithmic());
}

TEST_F(PlotDialogsTest, LineProfileFollowsTheCursorAndTheSpinBoxOtherwise) {
    ASSERT_NO_FATAL_FAILURE(Open(LUMO_ID_LINE_PROFILE));
    ASSERT_NO_FATAL_FAILURE(Feed(16, 8));
    CPlotWidget* plot = Plot("profile");
    auto* follow = Control<QCheckBox>("followCursor");
    auto* index = Control<QSpinBox>("index");
    ASSERT_TRUE(plot && follow && index);
    EXPECT_TRUE(follow->isChecked());

    ASSERT_EQ(m_module->SetParam(LUMO_PARAM_CURSOR, 5, 3), LUMO_OK);
    RunFor(SETTLE_MS);
    EXPECT_EQ(ChangedEvents(), 1u) << "one change for one new row";
    EXPECT_EQ(index->value(), 3);
    EXPECT_EQ(plot->Marker(), 5.0);
    Analyse(); // what the view does on the change
    RunFor(SETTLE_MS);
    ASSERT_EQ(plot->SeriesCount(), 1);
    ASSERT_EQ(plot->Series(0).size(), 16u);
    EXPECT_EQ(plot->Series(0)[0], 48.0);
    EXPECT_EQ(plot->Series(0)[15], 63.0);

    // Outside the image: the row stays.
    ASSERT_EQ(m_module->SetParam(LUMO_PARAM_CURSOR, LUMO_CURSOR_OUTSIDE, LUMO_CURSOR_OUTSIDE),
              LUMO_OK);
    RunFor(SETTLE_MS);
    EXPECT_EQ(ChangedEvents(), 1u);
    EXPECT_EQ(index->value(), 3);

    follow->setChecked(false);
    ASSERT_TRUE(index->isEnabled());
    index->setValue(6);
    EXPECT_EQ(ChangedEvents(), 2u);
    ASSERT_EQ(m_module->SetParam(LUMO_PARAM_CURSOR, 1, 1), LUMO_OK);
    Analyse();
    RunFor(SETTLE_MS);
    EXPECT_EQ(index->value(), 6) << "the cursor is not followed any more";
    EXPECT_EQ(plot->Series(0)[0], 96.0);
}

TEST_F(PlotDialogsTest, ColumnProfileFollowsTheCursorColumn) {
    ASSERT_NO_FATAL_FAILURE(Open(LUMO_ID_COLUMN_PROFILE));
    ASSERT_NO_FATAL_FAILURE(Feed(16, 8));
    ASSERT_EQ(m_module->SetParam(LUMO_PARAM_CURSOR, 5, 3), LUMO_OK);
    RunFor(SETTLE_MS);
    EXPECT_EQ(ChangedEvents(), 1u);
    Analyse();
    RunFor(SETTLE_MS);
    CPlotWidget* plot = Plot("profile");
    ASSERT_TRUE(plot);
    ASSERT_EQ(plot->Series(0).size(), 8u);
    EXPECT_EQ(plot->Series(0)[0], 5.0);
    EXPECT_EQ(plot->Series(0)[7], 7 * 16 + 5.0);
    EXPECT_EQ(plot->Marker(), 3.0);
}
