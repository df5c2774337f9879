// Live display of the desktop program: the real main window, shown (run it under Xvfb:
// scripts/bench-live-display.sh), grabbing continuously from the simulated grabber at
// 2320 x 1726 and 200 fps, for a greyscale and a colour (Bayer) camera, the colour camera again
// with every module of its chain doing work (bench/WorkingChain.h), then replaying the colour
// recording at 1000 fps. For each run it reports the frames the view actually painted
// per second against the frames the camera delivered (the baseline of the same run), and the
// longest stall of the user-interface thread, measured by a 1 ms probe timer as the longest
// gap between two of its ticks.
//
//   bench_live_display [seconds per run, default 20]
#include "acquisition/CCamera.h"
#include "app/CKavrinDemoApp.h"
#include "app/CKavrinDemoDoc.h"
#include "app/CKavrinDemoView.h"
#include "app/CMainFrame.h"
#include "app/CSequenceBar.h"
#include "app/CommandIds.h"
#include "bench/WorkingChain.h"
#include "processing/CImgProcessChain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

namespace {

struct Figures {
    double paintedPerSecond = 0;
    double deliveredPerSecond = 0;
    double longestStallMs = 0;
};

// Runs the event loop for `seconds` with the 1 ms probe, counting painted frames.
Figures Measure(CKavrinDemoView& view, double seconds, const std::function<uint64_t()>& delivered) {
    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = 0;
    qint64 longest = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - lastTick);
        lastTick = now;
    });
    const uint64_t painted0 = view.PaintedFrames();
    const uint64_t delivered0 = delivered();
    lastTick = clock.nsecsElapsed();
    probe.start(1);
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
    probe.stop();
    const double elapsed = double(clock.nsecsElapsed()) / 1e9;
    Figures f;
    f.paintedPerSecond = double(view.PaintedFrames() - painted0) / elapsed;
    f.deliveredPerSecond = double(delivered() - delivered0) / elapsed;
    f.longestStallMs = double(longest) / 1e6;
    return f;
}

void Report(const char* name, const Figures& f) {
    const double target = std::min(60.0, f.deliveredPerSecond);
    std::printf("%-34s painted %7.1f fps  delivered %7.1f fps  painted/delivered %5.2f  "
                "longest stall %6.1f ms  [%s >= %.0f fps, %s stall <= 50 ms]\n",
                name, f.paintedPerSecond, f.deliveredPerSecond,
                f.deliveredPerSecond > 0 ? f.paintedPerSecond / f.deliveredPerSecond : 0.0,
                f.longestStallMs, f.paintedPerSecond >= target ? "ok" : "MISSED", target,
                f.longestStallMs <= 50 ? "ok" : "MISSED");
    std::fflush(stdout);
}

bool WaitIdle(CKavrinDemoDoc& doc) {
    QElapsedTimer clock;
    clock.start();
    while (doc.GetState() != CKavrinDemoDoc::IDLE && clock.elapsed() < 30000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    return doc.GetState() == CKavrinDemoDoc::IDLE;
}

// Every module of the view's chain at its working setting.
void SetWorkingChain(CKavrinDemoView& view) {
    CImgProcessChain* chain = view.Chain();
    if (!chain) {
        std::fprintf(stderr, "the view has no chain\n");
        std::exit(1);
    }
    platform::RecursiveLock lock(chain->ChainLock());
    for (uint64_t i = 0; i < chain->GetModuleCount(); ++i)
        if (!bench::SetWorking(chain->GetModule(i))) {
            std::fprintf(stderr, "module settings refused\n");
            std::exit(1);
        }
}

Figures LiveGrab(CKavrinDemoApp& app, uint32_t cameraType, double seconds, bool working = false) {
    CMainFrame& frame = *app.GetMainFrame();
    CKavrinDemoDoc& doc = *frame.GetActiveDocument();
    doc.SetModifiedFlag(false); // the previous recording goes without asking
    app.OnCameraType(cmd::ID_CAMERA_FIRST + cameraType);
    doc.OnGrab(true);
    if (doc.GetState() != CKavrinDemoDoc::GRABBING) {
        std::fprintf(stderr, "the grab did not start\n");
        std::exit(1);
    }
    // One second to settle (buffers registered, chain built), then the measurement.
    QEventLoop settle;
    QTimer::singleShot(1000, &settle, &QEventLoop::quit);
    settle.exec();
    if (working)
        SetWorkingChain(*frame.GetActiveView());
    auto* camera = dynamic_cast<CCamera*>(doc.GetSequence());
    const Figures f = Measure(*frame.GetActiveView(), seconds, [camera] {
        return uint64_t(std::max<int64_t>(0, camera->GetGrabbedCount()));
    });
    doc.OnStopGrab();
    WaitIdle(doc);
    return f;
}

Figures Replay(CKavrinDemoApp& app, double seconds) {
    CMainFrame& frame = *app.GetMainFrame();
    CSequenceBar& pane = *frame.SequenceBar();
    pane.SetRate(1000);
    pane.OnReplayForward();
    uint64_t ticks = 0;
    // The baseline is the replay timer itself: positions stepped per second.
    QTimer counter;
    int64_t last = pane.GetPosition();
    QObject::connect(&counter, &QTimer::timeout, [&] {
        const int64_t now = pane.GetPosition();
        const int64_t count = int64_t(pane.GetCount());
        if (count > 0)
            ticks += uint64_t(((now - last) % count + count) % count);
        last = now;
    });
    counter.start(5);
    const Figures f = Measure(*frame.GetActiveView(), seconds, [&ticks] { return ticks; });
    pane.OnReplayForward(); // unchecks: replay stops
    return f;
}

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 20.0;
    QTemporaryDir home;
    setenv("KAVRIN_DATA_HOME", (home.path() + "/data").toUtf8().constData(), 1);
    setenv("KAVRIN_REGISTRY_DIR", (home.path() + "/registry").toUtf8().constData(), 1);
    setenv("XDG_STATE_HOME", (home.path() + "/state").toUtf8().constData(), 1);
    setenv("FGSIM_FPS", "200", 1);
    QApplication application(argc, argv);
    CKavrinDemoApp app;
    if (!app.InitInstance({}, true)) {
        std::fprintf(stderr, "the program did not start\n");
        return 1;
    }
    app.GetMainFrame()->resize(1600, 1000);
    app.SetBufferCount(100);
    std::printf("live display, 2320 x 1726 at 200 fps, %.0f s per run, platform %s\n", seconds,
                qPrintable(QApplication::platformName()));
    Report("grab, greyscale camera", LiveGrab(app, 0, seconds));
    Report("grab, colour (Bayer) camera", LiveGrab(app, 1, seconds));
    Report("grab, colour camera, working chain", LiveGrab(app, 1, seconds, true));
    Report("replay at 1000 fps, colour", Replay(app, seconds));
    app.ExitInstance();
    return 0;
}
