// Saving "as displayed" from the desktop: a colour camera's raw frames go through the view's
// chain (demosaiced, table applied) into the file, each one equal to what the chain shows for
// that frame; the view shows the current frame again afterwards.
#include "app/CKavrinDemoView.h"
#include "app/CSequenceBar.h"
#include "external/ImageFormat.h"
#include "external/LumoFileModules.h"
#include "external/LumoImage.h"
#include "external/LumoModule.h"
#include "external/LumoModuleIds.h"
#include "external/LumoPtr.h"
#include "processing/CImgProcessChain.h"
#include "tests/app/AppFixture.h"

#include <vector>

namespace {

using Pixels = std::vector<uint32_t>; // three values per pixel, row by row

// Red, green and blue of every pixel of frame 0 of `image`; empty for an image that is not
// RGB.
Pixels RgbOf(const CLumoImage& image) {
    const uint64_t format = image.GetFormat(nullptr);
    const uint32_t channels = ImageFormat::Channels(format);
    if (ImageFormat::ImageClass(format) != ImageFormat::CLASS_RGB || channels < 3)
        return {};
    Pixels pixels;
    for (uint32_t y = 0; y < image.GetHeight(); ++y)
        for (uint32_t x = 0; x < image.GetWidth(); ++x) {
            uint32_t values[4] = {};
            if (image.GetPixel(x, y, values, 4, -1, 0, 0) != 0)
                return {};
            pixels.insert(pixels.end(), values, values + 3);
        }
    return pixels;
}

// Frame `frame` of the file at `path`, as RGB pixels; empty when it does not read.
Pixels FileFrame(CLumoInstance* lumo, const QString& path, uint64_t frame) {
    const LumoModulePtr reader = MakeLumoModule(lumo, LUMO_ID_FILE_READER);
    const LumoImagePtr image = MakeLumoImage(lumo);
    if (!reader || !image)
        return {};
    const std::string name = path.toStdString();
    CLumoImage* into = image.get();
    if (reader->SetParam(LUMO_PARAM_FILE_NAME, LumoArg(name.c_str()), 0) != 0 ||
        reader->SetParam(LUMO_PARAM_FRAME, frame, 0) != 0 || reader->SetImages(1, &into) != 0 ||
        reader->Execute(0) != 0)
        return {};
    return RgbOf(*image);
}

// What the view's chain shows for image `index`, once the view has painted it.
Pixels ShownFrame(AppRun& run, CKavrinDemoView& view, int64_t index) {
    const uint64_t painted = view.PaintedFrames();
    run.Frame().SequenceBar()->SetPosition(index);
    view.OnUpdate(cmd::HINT_SHOW_POSITION, 0);
    QElapsedTimer clock;
    clock.start();
    while (view.PaintedFrames() == painted && clock.elapsed() < 10000)
        QTest::qWait(10);
    CImgProcessChain& chain = *view.Chain();
    platform::RecursiveLock lock(chain.ChainLock());
    const uint64_t modules = chain.GetModuleCount();
    const CLumoImage* output = modules ? chain.GetImage(modules - 1) : nullptr;
    return output ? RgbOf(*output) : Pixels{};
}

} // namespace

class ProcessedSaveTest : public QObject {
    Q_OBJECT

private slots:
    void colourFramesAreSavedAsTheChainShowsThem();
};

void ProcessedSaveTest::colourFramesAreSavedAsTheChainShowsThem() {
    AppHome home;
    AppRun run(true);
    ModalWatcher watcher;
    QVERIFY(run.Started());
    QVERIFY(run.Trigger(cmd::ID_CAMERA_FIRST + 1)); // a colour-filter-array camera
    QVERIFY(GrabSmallSequence(run, 4));
    CKavrinDemoView& view = *run.Frame().GetActiveView();
    CSequenceBase& sequence = *run.Doc().GetSequence();
    QCOMPARE(ImageFormat::ImageClass(sequence.GetImageFormat()), ImageFormat::CLASS_CFA);
    QCOMPARE(sequence.GetExportStage(), static_cast<CExportStage*>(&view));
    const int64_t count = int64_t(sequence.GetImageCount());
    QVERIFY(count >= 2);

    watcher.fileName = home.Path() + "/shown.tif";
    watcher.processed = true;
    watcher.verify = true; // the records' checksums are those of the processed frames
    QVERIFY(run.Trigger(cmd::ID_FILE_SAVE));
    QTRY_COMPARE_WITH_TIMEOUT(run.Doc().GetState(), uint32_t(CKavrinDemoDoc::IDLE), 30000);
    QCOMPARE(watcher.texts, QStringList{});
    uint32_t processed = 0;
    QCOMPARE(sequence.GetFileModule()->GetParam(LUMO_PARAM_PROCESSED, LumoArg(&processed), 0), 0u);
    QCOMPARE(processed, 1u);

    for (int64_t k = 0; k < count; ++k) {
        const Pixels saved = FileFrame(run.App().GetLumo(), watcher.fileName, uint64_t(k));
        QVERIFY2(!saved.empty(), qPrintable(QString("frame %1 is not RGB").arg(k)));
        QVERIFY2(saved == ShownFrame(run, view, k),
                 qPrintable(QString("frame %1 differs from the chain's").arg(k)));
    }

    // Frames as recorded again: the raw colour-filter-array data.
    watcher.processed = false;
    watcher.verify = false;
    watcher.fileName = home.Path() + "/raw.tif";
    QVERIFY(run.Trigger(cmd::ID_FILE_SAVE));
    QTRY_COMPARE_WITH_TIMEOUT(run.Doc().GetState(), uint32_t(CKavrinDemoDoc::IDLE), 30000);
    QVERIFY(FileFrame(run.App().GetLumo(), watcher.fileName, 0).empty()); // not RGB
}

QTEST_MAIN(ProcessedSaveTest)
#include "ProcessedSaveTest.moc"
