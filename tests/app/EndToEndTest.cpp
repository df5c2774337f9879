// The desktop program end to end, as a user drives it: the real main window with the simulated
// grabber, a dual-channel camera, a single sequence into 20 buffers with one frame the camera
// dropped, every image stepped through and looked at on screen, zoom, save to a multi-page
// TIFF, open it again and compare the pixels.
#include "AppFixture.h"

#include "acquisition/CCamera.h"
#include "app/CKavrinDemoView.h"
#include "app/CMainStatusBar.h"
#include "app/CSequenceBar.h"
#include "app/CommandIds.h"
#include "external/LumoImage.h"
#include "external/LumoModule.h"
#include "external/LumoPaintSurface.h"
#include "external/LumoPtr.h"
#include "processing/CImgProcessChain.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QtTest>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Whether the display buffer the view paints shows a black frame (nothing above 0), read
// under the chain lock as the view reads it.
bool DisplayIsBlack(CKavrinDemoView& view, bool& hasFrame) {
    platform::RecursiveLock lock(view.Chain()->ChainLock());
    const LumoDisplayFrame* frame = nullptr;
    hasFrame = view.DisplayModule()->GetParam(LUMO_DISPLAY_PARAM_FRAME,
                                              reinterpret_cast<uintptr_t>(&frame), 0) == 0 &&
               frame && frame->pixels;
    if (!hasFrame)
        return false;
    const size_t bytes = size_t(frame->width) * frame->height * frame->bytesPerPixel;
    for (size_t i = 0; i < bytes; ++i) {
        // BGRX: the fourth byte of each pixel is 0xFF, whatever the colour.
        if (frame->bytesPerPixel == 4 && i % 4 == 3)
            continue;
        if (frame->pixels[i] != 0)
            return false;
    }
    return true;
}

// The pixels of every image of `sequence`, as the sequence hands them out.
std::vector<std::vector<uint8_t>> Frames(CSequenceBase& sequence, CLumoInstance* lumo) {
    std::vector<std::vector<uint8_t>> frames;
    LumoImagePtr image = MakeLumoImage(lumo);
    for (uint64_t i = 0; image && i < sequence.GetImageCount(); ++i) {
        sequence.Lock();
        const bool copied = sequence.CopyValidToImage(i, image.get(), true, true);
        sequence.Unlock();
        if (!copied)
            return {};
        const auto* data = static_cast<const uint8_t*>(image->GetFrameData(0, 0, 0));
        frames.emplace_back(data, data + image->GetFrameSize());
    }
    return frames;
}

} // namespace

class EndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void grabStepZoomSaveAndOpenAgain();
};

void EndToEndTest::grabStepZoomSaveAndOpenAgain() {
    AppHome home;
    ScopedEnv drop("FGSIM_DROP", "list:5");
    AppRun run(true);
    QVERIFY(run.Started());
    ModalWatcher watcher;
    CMainFrame& frame = run.Frame();
    CKavrinDemoView& view = *frame.GetActiveView();
    CSequenceBar& pane = *frame.SequenceBar();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));

    // A dual-channel camera, 20 buffers of a short image.
    run.App().SetBufferCount(20);
    run.App().SetImageHeight(128);
    QVERIFY(run.Trigger(cmd::ID_CAMERA_FIRST + 4));
    auto* camera = dynamic_cast<CCamera*>(run.Doc().GetSequence());
    QVERIFY(camera && camera->GetChannelCount() == 2);
    QVERIFY(run.Trigger(cmd::ID_GRAB_SINGLE));
    QTRY_COMPARE_WITH_TIMEOUT(run.Doc().GetState(), uint32_t(CKavrinDemoDoc::IDLE), 30000);
    QCOMPARE(camera->GetLostImages(0), 1);
    QCOMPARE(camera->GetLostImages(1), 1);
    QCOMPARE(frame.StatusBar()->PaneText(cmd::ID_PANE_LOST), QString("Lost Images: 1/1"));
    // Every one of the 20 buffers, and the dropped frame as a gap at its place.
    const uint64_t count = camera->GetImageCount();
    QCOMPARE(count, uint64_t(21));
    QCOMPARE(pane.GetCount(), count);

    // Every image on screen; the dropped frame is the one black frame, on screen as well.
    const std::vector<std::vector<uint8_t>> grabbed = Frames(*camera, run.App().GetLumo());
    QCOMPARE(grabbed.size(), size_t(count));
    int black = 0;
    pane.OnLast();
    for (uint64_t i = 0; i < count; ++i) {
        const bool lost =
            std::all_of(grabbed[i].begin(), grabbed[i].end(), [](uint8_t v) { return v == 0; });
        black += lost ? 1 : 0;
        const uint64_t painted = view.PaintedFrames();
        pane.OnNext(); // from the last image it wraps to the first
        QCOMPARE(pane.GetPosition(), int64_t(i));
        QTRY_VERIFY_WITH_TIMEOUT(view.PaintedFrames() > painted, 10000);
        bool hasFrame = false;
        QTRY_VERIFY_WITH_TIMEOUT(DisplayIsBlack(view, hasFrame) == lost && hasFrame, 10000);
    }
    QCOMPARE(black, 1);

    // Zoom in, out past 1:1, and back.
    QVERIFY(run.Trigger(cmd::ID_ZOOM_IN));
    QCOMPARE(view.ZoomX(), 2);
    QCOMPARE(frame.StatusBar()->PaneText(cmd::ID_PANE_ZOOM), QString("2 : 1"));
    QVERIFY(run.Trigger(cmd::ID_ZOOM_OUT));
    QVERIFY(run.Trigger(cmd::ID_ZOOM_OUT));
    QCOMPARE(view.ZoomX(), -2);
    QCOMPARE(frame.StatusBar()->PaneText(cmd::ID_PANE_ZOOM), QString("1 : 2"));
    QVERIFY(run.Trigger(cmd::ID_ZOOM_1_1));
    QCOMPARE(view.ZoomX(), 1);

    // Copy puts the displayed image, whole and unzoomed, on the clipboard.
    QGuiApplication::clipboard()->clear();
    QVERIFY(run.Trigger(cmd::ID_EDIT_COPY));
    const QImage copied = QGuiApplication::clipboard()->image();
    QCOMPARE(copied.size(), QSize(int(camera->GetWidth()), int(camera->GetHeight())));

    // Save the whole sequence as a multi-page TIFF.
    watcher.fileName = home.Path() + "/recording.tif";
    QVERIFY(run.Trigger(cmd::ID_FILE_SAVE));
    QTRY_COMPARE_WITH_TIMEOUT(run.Doc().GetState(), uint32_t(CKavrinDemoDoc::IDLE), 30000);
    QCOMPARE(watcher.texts, QStringList{});
    QVERIFY(QFile::exists(watcher.fileName));
    QVERIFY(!run.Doc().IsModified());

    // Open it again: the same images, pixel for pixel.
    QVERIFY(run.Trigger(cmd::ID_FILE_OPEN));
    QTRY_COMPARE_WITH_TIMEOUT(run.Doc().GetState(), uint32_t(CKavrinDemoDoc::IDLE), 30000);
    QCOMPARE(watcher.texts, QStringList{});
    QCOMPARE(watcher.fileDialogs, 2);
    CSequenceBase* loaded = run.Doc().GetSequence();
    QCOMPARE(loaded->GetSequenceType(), 1u);
    QCOMPARE(loaded->GetImageCount(), count);
    QCOMPARE(pane.GetCount(), count);
    const std::vector<std::vector<uint8_t>> reloaded = Frames(*loaded, run.App().GetLumo());
    QCOMPARE(reloaded.size(), grabbed.size());
    for (size_t i = 0; i < grabbed.size(); ++i)
        QVERIFY2(reloaded[i] == grabbed[i], qPrintable(QString("image %1 differs").arg(i)));
    // The saved recording's frame record keeps the lost images the grab counted.
    QCOMPARE(frame.StatusBar()->PaneText(cmd::ID_PANE_LOST), QString("Lost Images: 1/1"));
}

QTEST_MAIN(EndToEndTest)
#include "EndToEndTest.moc"
