// The view: its zoom and scroll arithmetic, the status pane texts, and the view inside the real
// main frame with the simulated grabber: chain choice by image class, painting and commands.
#include "AppFixture.h"

#include "acquisition/CCamera.h"
#include "acquisition/CFileSequence.h"
#include "acquisition/RuntimeLibraries.h"
#include "app/CKavrinDemoView.h"
#include "app/CMainStatusBar.h"
#include "app/CSequenceBar.h"
#include "app/CommandIds.h"
#include "app/ViewStatusTexts.h"
#include "app/ViewZoom.h"
#include "external/ImageFormat.h"
#include "processing/CImgProcessChain.h"

#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QScrollBar>
#include <QtTest>

#include <vector>

namespace {

// A camera whose counters the test sets: lost images per channel and the two rates.
class CountingCamera final : public CCamera {
public:
    CountingCamera() : CCamera(32, ImageFormat::GREY8, 0) {}
    std::vector<int64_t> lost{0};
    double displayRate = 0;
    double grabRate = 0;
    uint32_t GetChannelCount() override { return uint32_t(lost.size()); }
    int64_t GetLostImages(uint32_t channel) override { return lost.at(channel); }
    double GetFrameRate(uint64_t which) override { return which == 0 ? displayRate : grabRate; }
};

// An image of the library with the given format and samples (row by row, channel by channel).
LumoImagePtr MakeImage(CLumoInstance* lumo, uint32_t width, uint32_t height, uint64_t format,
                       const std::vector<uint8_t>& samples) {
    LumoImagePtr image = MakeLumoImage(lumo);
    if (!image || image->Allocate(width, height, format, 0, 1) != 0)
        return nullptr;
    auto* data = static_cast<uint8_t*>(image->GetFrameData(0, -1, 0));
    if (samples.size() != image->GetFrameSize() || !data)
        return nullptr;
    std::copy(samples.begin(), samples.end(), data);
    return image;
}

// A binary 8-bit PPM of w x h pixels of one colour: the file reader takes it as an RGB image.
bool WritePpm(const QString& path, uint32_t w, uint32_t h) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray data =
        QByteArray("P6\n") + QByteArray::number(w) + " " + QByteArray::number(h) + "\n255\n";
    for (uint32_t i = 0; i < w * h; ++i)
        data.append("\x40\x80\xC0", 3);
    return file.write(data) == data.size();
}

std::vector<uint32_t> ModuleIds(CImgProcessChain& chain) {
    platform::RecursiveLock lock(chain.ChainLock());
    std::vector<uint32_t> ids;
    for (uint64_t i = 0; i < chain.GetModuleCount(); ++i)
        ids.push_back(chain.GetModule(i)->GetObjectId());
    return ids;
}

uint32_t PrimaryClass(CImgProcessChain& chain) {
    platform::RecursiveLock lock(chain.ChainLock());
    return chain.GetPrimaryImageClass();
}

uint64_t AnalyzeSource(CImgProcessChain& chain) {
    platform::RecursiveLock lock(chain.ChainLock());
    return chain.GetAnalyzeSource();
}

// A small recording of the simulated camera: a single sequence of `buffers` frames.
// With KAVRIN_VIEW_SNAPSHOTS set to a folder, the view as the user sees it is kept there as
// <name>.png, for looking at, not for comparing.
void Snapshot(CKavrinDemoView& view, const char* name) {
    const QString folder = qEnvironmentVariable("KAVRIN_VIEW_SNAPSHOTS");
    if (folder.isEmpty())
        return;
    QTest::qWait(200); // the update thread's frame reaches the screen
    view.grab().save(folder + "/" + name + ".png");
}

} // namespace

class ViewTest : public QObject {
    Q_OBJECT

private slots:
    void zoomStepsAndTheirTexts();
    void displayedSizeAndScrollLimits();
    void zoomKeepsTheCentre();
    void pixelNamesByClassAndFilterPhase();
    void pixelTextInsideAndOutsideTheImage();
    void statusTextsBySequenceAndState();
    void chainFollowsTheImageClassAndComesBack();
    void framesArePaintedAndZoomCommandsWork();
    void imageProcessingPopupListsDialogsAndSources();
    void currentImageIsSavedWhenIdle();
};

void ViewTest::zoomStepsAndTheirTexts() {
    using namespace viewzoom;
    QCOMPARE(ZoomIn(1), 2);
    QCOMPARE(ZoomIn(-2), 1);
    QCOMPARE(ZoomIn(-3), -2);
    QCOMPARE(ZoomOut(1), -2);
    QCOMPARE(ZoomOut(2), 1);
    QCOMPARE(ZoomOut(-2), -3);
    int32_t zoom = 1;
    for (int i = 0; i < 100; ++i)
        zoom = ZoomIn(zoom);
    QCOMPARE(zoom, 64);
    for (int i = 0; i < 200; ++i)
        zoom = ZoomOut(zoom);
    QCOMPARE(zoom, -64);
    QCOMPARE(ZoomIn(-64), -63);
    QCOMPARE(ClampZoom(1000), 64);
    QCOMPARE(ClampZoom(INT32_MIN), -64);
    QCOMPARE(viewtext::ZoomText(1), QString("1 : 1"));
    QCOMPARE(viewtext::ZoomText(2), QString("2 : 1"));
    QCOMPARE(viewtext::ZoomText(64), QString("64 : 1"));
    QCOMPARE(viewtext::ZoomText(-2), QString("1 : 2"));
    QCOMPARE(viewtext::ZoomText(0), QString("1 : 1"));
}

void ViewTest::displayedSizeAndScrollLimits() {
    using namespace viewzoom;
    QCOMPARE(DisplayedLength(2320, 3), int64_t(6960));
    QCOMPARE(DisplayedLength(2320, -3), int64_t(773));
    for (int32_t oneToOne : {-1, 0, 1})
        QCOMPARE(DisplayedLength(2320, oneToOne), int64_t(2320));
    QCOMPARE(DisplayedLength(0xFFFFFFFFu, 64), int64_t(0xFFFFFFFFu) * 64); // no 32-bit overflow
    QCOMPARE(MaxScrollPosition(1000, 300), 700);
    QCOMPARE(MaxScrollPosition(200, 300), 0);
    QCOMPARE(MaxScrollPosition(DisplayedLength(0xFFFFFFFFu, 64), 300), INT32_MAX);
    QCOMPARE(ClampScrollPosition(350, 1000, 300), 350);
    QCOMPARE(ClampScrollPosition(800, 1000, 300), 700); // the end at the far edge
    QCOMPARE(ClampScrollPosition(-5, 1000, 300), 0);
    QCOMPARE(ClampScrollPosition(120, 200, 300), 0); // everything fits
    QCOMPARE(LineStep(4), 4);
    QCOMPARE(LineStep(-4), 1);
    QCOMPARE(ImageCoordinate(10, 30, 4), int64_t(10));
    QCOMPARE(ImageCoordinate(10, 30, -4), int64_t(160));
    QCOMPARE(ImageCoordinate(10, 30, 1), int64_t(40));
}

void ViewTest::zoomKeepsTheCentre() {
    using namespace viewzoom;
    // 1000 pixels wide, 400 shown from 300: image pixel 500 is in the middle.
    QCOMPARE(CentreOf(400, 300, 1000, 1), int64_t(500));
    const int64_t x2 = ScrollForCentre(500, 2, 400);
    QCOMPARE(x2, int64_t(800));
    QCOMPARE(CentreOf(400, int32_t(x2), 1000, 2), int64_t(500)); // and back at 1:1
    QCOMPARE(ScrollForCentre(500, 1, 400), int64_t(300));
    QCOMPARE(ScrollForCentre(500, -2, 400), int64_t(50));
    QCOMPARE(CentreOf(400, 50, 1000, -2), int64_t(500));
    // An image that fits keeps its own middle; the new position is clamped to the start later.
    QCOMPARE(CentreOf(400, 0, 100, 2), int64_t(50));
    QCOMPARE(ScrollForCentre(50, 3, 400), int64_t(-50));
    QCOMPARE(ClampScrollPosition(ScrollForCentre(50, 3, 400), DisplayedLength(100, 3), 400), 0);
}

void ViewTest::pixelNamesByClassAndFilterPhase() {
    using viewtext::NamesFor;
    QCOMPARE(QString(NamesFor(1, 0, 0, 3, 5).format), QString("Greyscale"));
    QCOMPARE(QString(NamesFor(1, 0, 0, 3, 5).channel), QString("Grey"));
    const char* phases[4] = {"Green", "Red", "Blue", "Green"};
    for (uint32_t y = 0; y < 2; ++y)
        for (uint32_t x = 0; x < 2; ++x) {
            QCOMPARE(QString(NamesFor(2, 0, 0, x, y).format), QString("RGB-CFA"));
            QCOMPARE(QString(NamesFor(2, 0, 0, x, y).channel), QString(phases[2 * y + x]));
            // The origin shifts the phase: (1, 1) turns red into blue and green stays green.
            QCOMPARE(QString(NamesFor(2, 1, 1, x, y).channel), QString(phases[3 - (2 * y + x)]));
        }
    QCOMPARE(QString(NamesFor(2, 1, 0, 0, 0).channel), QString("Red"));
    QCOMPARE(QString(NamesFor(2, 0, 1, 10, 0).channel), QString("Blue"));
    QCOMPARE(QString(NamesFor(4, 0, 0, 0, 0).format), QString("RGB"));
    QCOMPARE(QString(NamesFor(4, 0, 0, 0, 0).channel), QString("RGB"));
    for (uint32_t unknown : {0u, 3u, 5u, 255u}) {
        QCOMPARE(QString(NamesFor(unknown, 0, 0, 0, 0).format), QString("- unknown format -"));
        QCOMPARE(QString(NamesFor(unknown, 0, 0, 0, 0).channel), QString("Value"));
    }
}

void ViewTest::pixelTextInsideAndOutsideTheImage() {
    RuntimeLibraries libraries;
    QVERIFY(libraries.LoadImageLibrary());
    CLumoInstance* lumo = libraries.GetLumoInstance();
    using viewtext::PixelText;
    QCOMPARE(PixelText(nullptr, 0, 0), QString("- No image available -"));
    LumoImagePtr empty = MakeLumoImage(lumo);
    QCOMPARE(PixelText(empty.get(), 0, 0), QString("- No image available -"));

    LumoImagePtr grey = MakeImage(lumo, 3, 2, ImageFormat::GREY8, {1, 2, 3, 4, 77, 6});
    QVERIFY(grey);
    QCOMPARE(PixelText(grey.get(), 1, 1), QString("Greyscale [1/1], Grey = 77"));
    QCOMPARE(PixelText(grey.get(), 3, 0), QString("Greyscale [3x2]")); // right of the image
    QCOMPARE(PixelText(grey.get(), 0, 2), QString("Greyscale [3x2]")); // below it
    QCOMPARE(PixelText(grey.get(), -1, 0), QString("Greyscale [3x2]"));

    LumoImagePtr cfa = MakeImage(lumo, 2, 2, ImageFormat::CFA8, {10, 20, 30, 40});
    QVERIFY(cfa);
    cfa->SetOrigin(1, 0);
    QCOMPARE(PixelText(cfa.get(), 0, 0), QString("RGB-CFA [0/0], Red = 10"));
    QCOMPARE(PixelText(cfa.get(), 1, 0), QString("RGB-CFA [1/0], Green = 20"));
    QCOMPARE(PixelText(cfa.get(), 0, 1), QString("RGB-CFA [0/1], Green = 30"));
    QCOMPARE(PixelText(cfa.get(), 1, 1), QString("RGB-CFA [1/1], Blue = 40"));

    LumoImagePtr rgb = MakeImage(lumo, 2, 1, ImageFormat::Make(8, 8, 3, 0, ImageFormat::CLASS_RGB),
                                 {1, 2, 3, 10, 20, 30});
    QVERIFY(rgb);
    QCOMPARE(PixelText(rgb.get(), 1, 0), QString("RGB [1/0], RGB = 10/20/30"));

    LumoImagePtr other = MakeImage(lumo, 1, 1, ImageFormat::Make(8, 8, 1, 0, 0), {9});
    QVERIFY(other);
    QCOMPARE(PixelText(other.get(), 0, 0), QString("- unknown format - [0/0], Value = "));
    QCOMPARE(PixelText(other.get(), 5, 5), QString("- unknown format - [1x1]"));
}

void ViewTest::statusTextsBySequenceAndState() {
    using namespace viewtext;
    const uint32_t states[] = {CKavrinDemoDoc::IDLE, CKavrinDemoDoc::GRABBING,
                               CKavrinDemoDoc::REPLAYING, CKavrinDemoDoc::LOADING,
                               CKavrinDemoDoc::SAVING};
    for (uint32_t state : states) {
        QCOMPARE(LostImagesText(nullptr), QString());
        QCOMPARE(DisplayRateText(nullptr, state), QString("Display: ----.-- FPS"));
        QCOMPARE(GrabRateText(nullptr, state), QString());
    }

    RuntimeLibraries libraries;
    QVERIFY(libraries.LoadImageLibrary());
    libraries.MakeCurrent();
    CFileSequence file;
    CountingCamera camera;
    camera.lost = {3, -1};
    camera.displayRate = 12.5;
    camera.grabRate = 199.999;
    QCOMPARE(LostImagesText(&file), QString("Lost Images: -"));
    QCOMPARE(LostImagesText(&camera), QString("Lost Images: 3/-"));
    camera.lost = {0};
    QCOMPARE(LostImagesText(&camera), QString("Lost Images: 0"));
    for (uint32_t state : states) {
        const bool shown = state == CKavrinDemoDoc::GRABBING || state == CKavrinDemoDoc::REPLAYING;
        QCOMPARE(DisplayRateText(&camera, state),
                 QString(shown ? "Display: 12.50 FPS" : "Display: ----.-- FPS"));
        QCOMPARE(DisplayRateText(&file, state),
                 QString(shown ? "Display: 0.00 FPS" : "Display: ----.-- FPS"));
        const bool grabbing = state == CKavrinDemoDoc::GRABBING;
        QCOMPARE(GrabRateText(&camera, state),
                 QString(grabbing ? "Grab: 200.00 FPS" : "Grab: ----.-- FPS"));
        QCOMPARE(GrabRateText(&file, state), QString(grabbing ? "Grab: 0.00 FPS" : ""));
    }
}

void ViewTest::chainFollowsTheImageClassAndComesBack() {
    AppHome home;
    AppRun run(true);
    ModalWatcher watcher;
    QVERIFY(run.Started());
    CKavrinDemoView* view = run.Frame().GetActiveView();
    QVERIFY(view);
    CImgProcessChain& chain = *view->Chain();
    // A camera without frame buffers has no image format yet: no chain.
    QCOMPARE(PrimaryClass(chain), 0u);
    QCOMPARE(ModuleIds(chain), std::vector<uint32_t>{});
    // Camera type 0 grabs greyscale frames.
    QVERIFY(GrabSmallSequence(run));
    QCOMPARE(PrimaryClass(chain), 1u);
    QCOMPARE(ModuleIds(chain), (std::vector<uint32_t>{514, 515, 96}));
    // A choice the user made on the greyscale chain: analyze the second module's output.
    chain.SetAnalyzeSource(2, nullptr);
    QCOMPARE(AnalyzeSource(chain), 2u);

    const QString folder = QString::fromStdString(run.App().GetSettingsFolder());
    const QString ppm = home.Path() + "/colour.ppm";
    QVERIFY(WritePpm(ppm, 16, 8));
    run.Doc().SetModifiedFlag(false); // nothing to ask about
    QVERIFY(run.Doc().OpenFile(ppm));
    QTRY_COMPARE_WITH_TIMEOUT(run.Doc().GetState(), uint32_t(CKavrinDemoDoc::IDLE), 10000);
    QCOMPARE(watcher.texts.join(" "), QString());
    QCOMPARE(PrimaryClass(chain), 4u);
    QCOMPARE(ModuleIds(chain), (std::vector<uint32_t>{514, 515, 32}));
    QCOMPARE(AnalyzeSource(chain), 0u);
    view->OnUpdate(cmd::HINT_SHOW_POSITION, 0);
    view->SetDisplayZoom(8, 8);
    Snapshot(*view, "rgb-8-1");
    QVERIFY(QFileInfo::exists(folder + "/Greyscale.ini"));
    QVERIFY(!QFileInfo::exists(folder + "/RGB.ini"));

    // The greyscale camera again: its chain comes back from its stores once it has frames.
    QVERIFY(GrabSmallSequence(run));
    QVERIFY(QFileInfo::exists(folder + "/RGB.ini"));
    QCOMPARE(PrimaryClass(chain), 1u);
    QCOMPARE(ModuleIds(chain), (std::vector<uint32_t>{514, 515, 96}));
    QCOMPARE(AnalyzeSource(chain), 2u);
}

void ViewTest::framesArePaintedAndZoomCommandsWork() {
    AppHome home;
    AppRun run(true);
    ModalWatcher watcher;
    QVERIFY(run.Started());
    CKavrinDemoView* view = run.Frame().GetActiveView();
    QVERIFY(GrabSmallSequence(run));
    const uint64_t before = view->PaintedFrames();
    view->OnUpdate(cmd::HINT_SHOW_POSITION, 0);
    QTRY_VERIFY_WITH_TIMEOUT(view->PaintedFrames() > before, 10000);
    CMainStatusBar* status = run.Frame().StatusBar();
    Snapshot(*view, "grey-1-1");

    QVERIFY(run.Trigger(cmd::ID_ZOOM_IN));
    QCOMPARE(view->ZoomX(), 2);
    QCOMPARE(view->ZoomY(), 2);
    QCOMPARE(status->PaneText(cmd::ID_PANE_ZOOM), QString("2 : 1"));
    Snapshot(*view, "grey-2-1");
    QVERIFY(run.Trigger(cmd::ID_ZOOM_OUT));
    QVERIFY(run.Trigger(cmd::ID_ZOOM_OUT));
    QCOMPARE(view->ZoomX(), -2);
    QCOMPARE(status->PaneText(cmd::ID_PANE_ZOOM), QString("1 : 2"));
    Snapshot(*view, "grey-1-2");
    QVERIFY(run.Trigger(cmd::ID_ZOOM_1_1));
    QCOMPARE(view->ZoomX(), 1);
    QCOMPARE(status->PaneText(cmd::ID_PANE_ZOOM), QString("1 : 1"));
    for (int i = 0; i < 80; ++i)
        QVERIFY(run.Trigger(cmd::ID_ZOOM_IN));
    QCOMPARE(view->ZoomX(), 64);
    QCOMPARE(view->DisplayedSize().height(), 64 * 64);
    Snapshot(*view, "grey-64-1");

    QAction* hardSoft = run.Frame().Action(cmd::ID_ZOOM_HARD_SOFT);
    run.Frame().UpdateCommandStates();
    const bool hard = hardSoft->isChecked();
    QVERIFY(run.Trigger(cmd::ID_ZOOM_HARD_SOFT));
    run.Frame().UpdateCommandStates();
    QCOMPARE(hardSoft->isChecked(), !hard);

    // Pane 118 reads the raw frame under the cursor; at 64:1 screen pixel 64 is image pixel 1.
    QVERIFY(run.Trigger(cmd::ID_ZOOM_1_1));
    view->horizontalScrollBar()->setValue(0);
    view->verticalScrollBar()->setValue(0);
    QVERIFY(view->PixelTextAt(QPoint(3, 2)).startsWith("Greyscale [3/2], Grey = "));
    const QSize shown = view->DisplayedSize();
    QCOMPARE(view->PixelTextAt(QPoint(shown.width() + 5, 0)),
             QString("Greyscale [%1x%2]").arg(shown.width()).arg(shown.height()));
}

void ViewTest::imageProcessingPopupListsDialogsAndSources() {
    AppHome home;
    AppRun run;
    ModalWatcher watcher;
    QVERIFY(GrabSmallSequence(run));
    CKavrinDemoView* view = run.Frame().GetActiveView();
    CImgProcessChain& chain = *view->Chain();
    uint64_t dialogs = 0;
    std::unique_ptr<QMenu> menu = view->BuildImgProcessMenu(dialogs);
    {
        platform::RecursiveLock lock(chain.ChainLock());
        QCOMPARE(dialogs, chain.GetDialogCount());
    }
    QVERIFY(dialogs >= 3);
    const QList<QAction*> items = menu->actions();
    QCOMPARE(items.first()->data().toUInt(), 1u);
    QCOMPARE(items.last()->text(), QString("Analyze Source"));
    QMenu* sources = items.last()->menu();
    QVERIFY(sources);
    const QList<QAction*> sourceItems = sources->actions();
    QCOMPARE(sourceItems.size(), 4); // the raw image and the three modules' outputs
    QCOMPARE(sourceItems[0]->text(), QString("Raw Image"));
    QVERIFY(sourceItems[0]->isChecked());
    QCOMPARE(sourceItems[0]->data().toUInt(), uint(dialogs + 1));
    view->ApplyImgProcessChoice(uint32_t(dialogs + 3), dialogs);
    QCOMPARE(AnalyzeSource(chain), 2u);
    // Entry 1 opens its module's dialog; chosen again it closes it.
    const auto isOpen = [&chain](uint64_t k) {
        platform::RecursiveLock lock(chain.ChainLock());
        const ChainDialogEntry* entry = chain.GetDialogEntry(k);
        return entry && entry->module->IsDialogOpen(entry->dialogId) != 0;
    };
    view->ApplyImgProcessChoice(1, dialogs);
    QVERIFY(isOpen(0));
    view->ApplyImgProcessChoice(1, dialogs);
    QVERIFY(!isOpen(0));
    // A dialog entry whose module has no dialog yet says so instead of doing nothing.
    view->ApplyImgProcessChoice(uint32_t(dialogs), dialogs);
    QVERIFY(isOpen(dialogs - 1) ||
            run.Frame().statusBar()->currentMessage().endsWith("dialog not available yet"));
    menu = view->BuildImgProcessMenu(dialogs);
    QVERIFY(!menu->actions().last()->menu()->actions()[0]->isChecked());
    QVERIFY(menu->actions().last()->menu()->actions()[2]->isChecked());
}

void ViewTest::currentImageIsSavedWhenIdle() {
    AppHome home;
    AppRun run;
    ModalWatcher watcher;
    QVERIFY(!run.Enabled(cmd::ID_SAVE_CURRENT_IMAGE)); // a camera without images
    QVERIFY(GrabSmallSequence(run));
    run.Frame().SequenceBar()->SetPosition(2);
    watcher.fileName = home.Path() + "/current.tif";
    QVERIFY(run.Trigger(cmd::ID_SAVE_CURRENT_IMAGE));
    QTRY_COMPARE_WITH_TIMEOUT(run.Doc().GetState(), uint32_t(CKavrinDemoDoc::IDLE), 20000);
    QCOMPARE(watcher.fileDialogs, 1);
    QCOMPARE(watcher.texts, QStringList());
    QVERIFY(QFileInfo::exists(watcher.fileName));
    // Busy documents refuse it.
    run.Doc().SetState(CKavrinDemoDoc::REPLAYING);
    QVERIFY(!run.Enabled(cmd::ID_SAVE_CURRENT_IMAGE));
    run.Doc().SetState(CKavrinDemoDoc::IDLE);
}

QTEST_MAIN(ViewTest)
#include "ViewTest.moc"
