#include "app/CKavrinDemoView.h"

#include "acquisition/CCamera.h"
#include "acquisition/CSequenceBase.h"
#include "app/CKavrinDemoApp.h"
#include "app/CKavrinDemoDoc.h"
#include "app/CMainFrame.h"
#include "app/CMainStatusBar.h"
#include "app/CSequenceBar.h"
#include "app/CommandIds.h"
#include "app/ViewStatusTexts.h"
#include "app/ViewZoom.h"
#include "external/DebugLog.h"
#include "external/LumoModule.h"
#include "external/LumoModuleIds.h"
#include "external/LumoParamBlocks.h"
#include "processing/CImgProcessChain.h"

#include <QClipboard>
#include <QCursor>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QThread>

namespace {

// One axis of the part of the displayed image that an exposed span [t0, t1) of the client shows:
// the image pixels [i0, i1) and where they land, [d0, d1), both whole pixels.
struct AxisSpan {
    int64_t i0 = 0;
    int64_t i1 = 0;
    int64_t d0 = 0;
    int64_t d1 = 0;
};

AxisSpan ExposedSpan(int64_t t0, int64_t t1, int64_t scroll, int32_t zoom, uint32_t length) {
    const int64_t a0 = t0 + scroll; // displayed coordinates
    const int64_t a1 = t1 + scroll;
    AxisSpan s;
    if (zoom >= 2) {
        s.i0 = a0 / zoom;
        s.i1 = std::min<int64_t>((a1 + zoom - 1) / zoom, length);
        s.d0 = s.i0 * zoom - scroll;
        s.d1 = s.i1 * zoom - scroll;
    } else if (zoom <= -2) {
        s.i0 = a0 * -int64_t(zoom);
        s.i1 = std::min<int64_t>(a1 * -int64_t(zoom), length);
        s.d0 = t0;
        s.d1 = t1;
    } else {
        s = {a0, a1, t0, t1};
    }
    return s;
}

// Where a triggered grab's trigger frame is in the camera's sequence; -1 for anything else.
int64_t TriggerIndex(CSequenceBase* sequence) {
    auto* camera = dynamic_cast<CCamera*>(sequence);
    return camera ? camera->GetTriggerIndex() : -1;
}

} // namespace

void CKavrinDemoView::DebugSinkDeleter::operator()(CDebugSink* sink) const {
    app->Libraries().DeleteDebugSink(sink);
}

CKavrinDemoView::CKavrinDemoView(CKavrinDemoApp& app, CKavrinDemoDoc& doc, CMainFrame& frame)
    : QAbstractScrollArea(&frame), m_app(app), m_doc(doc), m_frame(frame),
      m_pIniStore(MakeIniFile(0)), m_pRegStore(MakeIniFile(2)),
      m_pLog(nullptr, DebugSinkDeleter{&app}) {
    CreateDebugSink();
    CLumoInstance* lumo = app.GetLumo();
    m_pChain = std::make_unique<CImgProcessChain>(lumo, m_pLog.get());
    m_pDisplay = MakeLumoModule(lumo, LUMO_ID_DISPLAY);
    m_pRawImage = MakeLumoImage(lumo);
    m_pExportCopy = MakeLumoImage(lumo);
    m_pExportImage = MakeLumoImage(lumo);
    // The display conversion runs in the ready callback on the update thread, after the chain:
    // it splits its rows over the chain's workers too.
    if (m_pDisplay &&
        (m_pDisplay->SetParam(LUMO_PARAM_LOG, LumoArg(m_pLog.get()), 0) != 0 ||
         m_pDisplay->SetParam(LUMO_DISPLAY_PARAM_METHOD, LUMO_DISPLAY_METHOD_DIB, 0) != 0 ||
         m_pDisplay->SetParam(LUMO_PARAM_ROW_BANDS, LumoArg(m_pChain->RowBands()), 0) != 0))
        KAVRIN_LOG(m_pLog.get(), 0, "CKavrinDemoView::CKavrinDemoView",
                   "display module refused its settings");

    setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAttribute(Qt::WA_NoSystemBackground);
    viewport()->setMouseTracking(true);
    setFrameShape(QFrame::NoFrame);
    RegisterCommands();
    connect(&doc, &CKavrinDemoDoc::updateViews, this,
            [this](int hint, qint64 value) { OnUpdate(hint, value); });
    connect(&doc, &CKavrinDemoDoc::sequenceGoing, this,
            [this](CSequenceBase* sequence) { ForgetSequence(sequence); });
}

CKavrinDemoView::~CKavrinDemoView() {
    for (uint32_t id : {cmd::ID_ZOOM_IN, cmd::ID_ZOOM_OUT, cmd::ID_ZOOM_1_1, cmd::ID_ZOOM_HARD_SOFT,
                        cmd::ID_APP_OPTIONS, cmd::ID_IMG_PROCESS, cmd::ID_SAVE_CURRENT_IMAGE,
                        cmd::ID_DEBUG_VIEW, cmd::ID_EDIT_COPY})
        m_frame.Commands().Remove(id); // the handlers point at this view
    if (m_pSequenceBar)
        m_pSequenceBar->SetNotify({});
    BecomeExportStage(nullptr); // the window stops a save before the view goes
    if (m_pChain) {
        platform::RecursiveLock lock(m_pChain->ChainLock());
        if (m_pChain->GetPrimaryImageClass() != 0)
            (void)m_pChain->Save(m_pIniStore.get(), m_pRegStore.get()); // always true
    }
    if (m_pDisplay)
        (void)m_pDisplay->SetParam(LUMO_PARAM_ROW_BANDS, 0, 0); // always taken; the workers go
    m_pChain.reset();                                           // the update thread ends here
    if (m_pDisplay && m_pDisplay->SetParam(LUMO_DISPLAY_PARAM_WINDOW, 0, 0) != 0)
        KAVRIN_LOG(m_pLog.get(), 0, "CKavrinDemoView::~CKavrinDemoView", "window not released");
    m_pDisplay.reset();
    m_pRawImage.reset();
    m_pExportCopy.reset();
    m_pExportImage.reset();
    CDebugSink* log = m_pLog.get();
    for (CIniFile_0* store : {m_pIniStore.get(), m_pRegStore.get()})
        if (store && store->Save() != INI_OK)
            KAVRIN_LOG(log, 0, "CKavrinDemoView::~CKavrinDemoView", "chain settings not saved");
    if (log) {
        uintptr_t shown = 0;
        if (log->GetSinkParam(CDebugSink::PARAM_OUTPUT, &shown, 0) != 0)
            shown = 0;
        if (CIniFile_0* settings = m_app.GetSettings())
            (void)settings->SetUInt32("COMMON", "DebugView", shown ? 1 : 0); // saved by the app
    }
}

void CKavrinDemoView::CreateDebugSink() {
    m_pLog.reset(m_app.Libraries().CreateDebugSink());
    CDebugSink* log = m_pLog.get();
    if (!log)
        return;
    if (log->SetSinkParam(CDebugSink::PARAM_NAME, LumoArg("View debug"), 0) != 0)
        KAVRIN_LOG(log, 0, "CKavrinDemoView::CKavrinDemoView", "sink refused its name");
    CIniFile_0* settings = m_app.GetSettings();
    if (settings && settings->GetUInt32("COMMON", "DebugView", 0) != 0)
        log->ActivateOutput(1);
}

void CKavrinDemoView::RegisterCommands() {
    CommandRouter& commands = m_frame.Commands();
    commands.Add(cmd::ID_ZOOM_IN, [this] { OnZoomIn(); });
    commands.Add(cmd::ID_ZOOM_OUT, [this] { OnZoomOut(); });
    commands.Add(cmd::ID_ZOOM_1_1, [this] { OnZoom1To1(); });
    commands.Add(
        cmd::ID_ZOOM_HARD_SOFT, [this] { OnToggleHardZoom(); },
        [this] {
            uint32_t flag = 0;
            const bool known = m_pDisplay && m_pDisplay->GetParam(LUMO_DISPLAY_PARAM_HARD_ZOOM,
                                                                  LumoArg(&flag), 0) == 0;
            return CommandState{known, known && flag != 0};
        });
    commands.Add(
        cmd::ID_APP_OPTIONS, [this] { OnAppOptions(); },
        [this] {
            return CommandState{!m_doc.IsBusy(), false};
        });
    commands.Add(
        cmd::ID_IMG_PROCESS, [this] { OnImgProcess(); },
        // The count the last chain selection found: the menus are refreshed ten times a second
        // and must not wait for a chain run.
        [this] {
            return CommandState{m_ullDialogCount.load() != 0, false};
        });
    commands.Add(
        cmd::ID_EDIT_COPY, [this] { OnEditCopy(); },
        [this] {
            CSequenceBase* sequence = DocumentSequence();
            return CommandState{sequence && sequence->GetImageCount() != 0, false};
        });
    commands.Add(
        cmd::ID_SAVE_CURRENT_IMAGE, [this] { OnSaveCurrentImage(); },
        [this] {
            CSequenceBase* sequence = DocumentSequence();
            return CommandState{!m_doc.IsBusy() && sequence && sequence->GetImageCount() != 0,
                                false};
        });
    commands.Add(
        cmd::ID_DEBUG_VIEW, [this] { OnDebugView(); },
        [this] {
            uintptr_t shown = 0;
            CDebugSink* log = m_pLog.get();
            const bool known = log && log->GetSinkParam(CDebugSink::PARAM_OUTPUT, &shown, 0) == 0;
            return CommandState{log != nullptr, known && shown != 0};
        });
}

CSequenceBase* CKavrinDemoView::DocumentSequence() const {
    return m_doc.GetSequence();
}

uint32_t CKavrinDemoView::DocumentState() const {
    return m_doc.GetState();
}

void CKavrinDemoView::OnInitialUpdate() {
    m_pSequenceBar = m_frame.SequenceBar();
    m_pStatusBar = m_frame.StatusBar();
    if (m_pSequenceBar)
        m_pSequenceBar->SetNotify(
            [this](uint32_t code, int64_t value) { return OnSequencePaneNotify(code, value); });
    if (m_pDisplay && m_pRawImage) {
        CLumoImage* images[1] = {m_pRawImage.get()};
        CLumoPaintSurface* surface = this;
        if (m_pDisplay->SetImages(1, images) != 0 ||
            m_pDisplay->SetParam(LUMO_DISPLAY_PARAM_WINDOW, LumoArg(surface), 0) != 0)
            KAVRIN_LOG(m_pLog.get(), 0, "CKavrinDemoView::OnInitialUpdate",
                       "display module refused the raw image or the window");
    }
    if (!m_pChain->SetBaseImageProvider(&CKavrinDemoView::InitBaseImg, this) ||
        !m_pChain->SetReadyCallback(&CKavrinDemoView::NotifyReady, this))
        KAVRIN_LOG(m_pLog.get(), 0, "CKavrinDemoView::OnInitialUpdate", "no update thread");
    RefreshZoomPane();
    OnUpdate(cmd::HINT_NEW_SEQUENCE, 0);
}

void CKavrinDemoView::OnUpdate(int hint, int64_t value) {
    CSequenceBase* sequence = DocumentSequence();
    switch (hint) {
    case cmd::HINT_NEW_SEQUENCE:
        BecomeExportStage(sequence);
        SelectChain();
        [[fallthrough]];
    case cmd::HINT_NEW_IMAGES:
        if (sequence && m_pSequenceBar) {
            const uint64_t count = sequence->GetImageCount();
            int64_t position = value - 1;
            if (position < 0)
                position = int64_t(count) - 1;
            m_pSequenceBar->SetCount(count);
            m_pSequenceBar->SetPosition(position);
        }
        RefreshLostPane();
        RefreshGrabRatePane();
        [[fallthrough]];
    case cmd::HINT_SAVE_ENDED: // frames saved as displayed went through the chain meanwhile
    case cmd::HINT_SHOW_POSITION:
        if (sequence) {
            m_pCurrentSequence.store(sequence);
            m_llCurrentFrame.store(m_pSequenceBar ? m_pSequenceBar->GetPosition() : 0);
            // False only without an update thread: then nothing is shown anyway.
            (void)m_pChain->RequestUpdate(value != 0 && hint == cmd::HINT_SHOW_POSITION);
            RefreshDisplayRatePane();
        }
        break;
    case cmd::HINT_GRAB_STARTED:
        if (m_pSequenceBar) {
            m_pSequenceBar->SetMarker(-1); // a new grab has no trigger yet
            m_pSequenceBar->SetEnabled(false);
        }
        break;
    case cmd::HINT_ENDED:
        RefreshLostPane();
        RefreshDisplayRatePane();
        RefreshGrabRatePane();
        if (m_pSequenceBar) {
            m_pSequenceBar->SetMarker(TriggerIndex(sequence));
            m_pSequenceBar->SetEnabled(true);
        }
        OnUpdate(cmd::HINT_NEW_IMAGES, 0);
        break;
    default:
        break;
    }
}

void CKavrinDemoView::ForgetSequence(CSequenceBase* sequence) {
    // Under the chain lock: the base-image provider is not inside the sequence afterwards.
    if (sequence == m_pStageSequence)
        BecomeExportStage(nullptr);
    platform::RecursiveLock lock(m_pChain->ChainLock());
    if (m_pCurrentSequence.load() == sequence) {
        m_pCurrentSequence.store(nullptr);
        m_llCurrentFrame.store(-1);
    }
}

CLumoImage* CKavrinDemoView::InitBaseImg(void* context) {
    auto* view = static_cast<CKavrinDemoView*>(context);
    CLumoImage* raw = view->m_pRawImage.get();
    if (!raw)
        return nullptr;
    const int64_t index = view->m_llCurrentFrame.load();
    CSequenceBase* sequence = view->m_pCurrentSequence.load();
    bool copied = false;
    if (index >= 0 && sequence) {
        CSequenceLock lock(*sequence);
        copied = sequence->CopyValidToImage(uint64_t(index), raw, 1, 1);
        if (copied)
            KAVRIN_LOG(view->m_pLog.get(), 1, "CKavrinDemoView::InitBaseImg",
                       "Reinitialized raw image: %ux%u, fmt=%16llX", raw->GetWidth(),
                       raw->GetHeight(), static_cast<unsigned long long>(raw->GetFormat(nullptr)));
    }
    if (!copied && raw->Allocate(0, 0, 0, 0, 1) != 0)
        KAVRIN_LOG(view->m_pLog.get(), 0, "CKavrinDemoView::InitBaseImg",
                   "raw image could not be emptied");
    return raw;
}

void CKavrinDemoView::NotifyReady(void* context, CLumoImage* image, bool) {
    auto* view = static_cast<CKavrinDemoView*>(context);
    CDebugSink* log = view->m_pLog.get();
    KAVRIN_LOG_PLAIN(log, 1, "CKavrinDemoView::NotifyReady");
    if (CLumoModule* display = view->m_pDisplay.get()) {
        CLumoImage* images[1] = {image};
        if (display->SetImages(1, images) != 0 ||
            display->Execute(CLumoModule::EXECUTE_TAKE_IMAGE) != 0)
            KAVRIN_LOG(log, 0, "CKavrinDemoView::NotifyReady", "display did not take the image");
        ++view->m_ullTakenFrames;
    } else {
        KAVRIN_LOG(log, 1, "CKavrinDemoView::NotifyReady", "No display class available");
    }
    // The whole window is shown anew: the background outside the image is always painted, so
    // the erase flag asks for nothing more. At most one call waits in the UI thread's queue.
    if (!view->m_bNewFramePending.exchange(true))
        QMetaObject::invokeMethod(
            view, [view] { view->OnNewFrame(); }, Qt::QueuedConnection);
}

void CKavrinDemoView::OnNewFrame() {
    m_bNewFramePending.store(false);
    UpdateScrollBars(-1, -1);
    viewport()->update();
}

uint32_t CKavrinDemoView::OnDialogEvent(void* context, uint32_t code) {
    auto* view = static_cast<CKavrinDemoView*>(context);
    if ((code & 0xFFFF) == 3) {
        // Never waits for the UI thread: that one may be waiting for the chain lock.
        if (QThread::currentThread() == view->thread())
            view->OnUpdate(cmd::HINT_SHOW_POSITION, 0);
        else
            QMetaObject::invokeMethod(
                view, [view] { view->OnUpdate(cmd::HINT_SHOW_POSITION, 0); }, Qt::QueuedConnection);
    }
    return 1;
}

int64_t CKavrinDemoView::OnSequencePaneNotify(uint32_t code, int64_t value) {
    (void)value; // the position is read back from the pane
    int64_t result = 0;
    CSequenceBase* sequence = DocumentSequence();
    if (sequence) {
        const uint32_t state = DocumentState();
        if (code == CSequenceBar::NOTIFY_POSITION) {
            OnUpdate(cmd::HINT_SHOW_POSITION, 0);
        } else if (code == CSequenceBar::NOTIFY_PLAY_START) {
            if (state == CKavrinDemoDoc::IDLE || state == CKavrinDemoDoc::REPLAYING) {
                sequence->ResetFrameRate(0);
                m_doc.SetState(CKavrinDemoDoc::REPLAYING);
            } else {
                result = 1;
            }
        } else if (code == CSequenceBar::NOTIFY_PLAY_STOP && state == CKavrinDemoDoc::REPLAYING) {
            m_doc.SetState(CKavrinDemoDoc::IDLE);
            RefreshDisplayRatePane();
        }
    }
    viewport()->update();
    return result;
}

uint64_t CKavrinDemoView::PaintedFrames() const {
    return m_ullPaintedFrames.load();
}

int32_t CKavrinDemoView::ZoomX() const {
    return m_zoomX;
}

int32_t CKavrinDemoView::ZoomY() const {
    return m_zoomY;
}

void CKavrinDemoView::OnZoomIn() {
    const int32_t zoom = viewzoom::ZoomIn(m_zoomX);
    SetDisplayZoom(zoom, zoom);
}

void CKavrinDemoView::OnZoomOut() {
    const int32_t zoom = viewzoom::ZoomOut(m_zoomX);
    SetDisplayZoom(zoom, zoom);
    viewport()->update();
}

void CKavrinDemoView::OnZoom1To1() {
    SetDisplayZoom(1, 1);
}

void CKavrinDemoView::OnToggleHardZoom() {
    uint32_t flag = 0;
    if (!m_pDisplay || m_pDisplay->GetParam(LUMO_DISPLAY_PARAM_HARD_ZOOM, LumoArg(&flag), 0) != 0)
        return;
    if (m_pDisplay->SetParam(LUMO_DISPLAY_PARAM_HARD_ZOOM, flag ? 0 : 1, 0) != 0)
        return;
    OnUpdate(cmd::HINT_SHOW_POSITION, 0);
    viewport()->update();
}

void CKavrinDemoView::SetDisplayZoom(int32_t zoomX, int32_t zoomY) {
    zoomX = viewzoom::ClampZoom(zoomX);
    zoomY = viewzoom::ClampZoom(zoomY);
    if (!m_pDisplay || (zoomX == m_zoomX && zoomY == m_zoomY))
        return;
    const bool erase = zoomX < m_zoomX || zoomY < m_zoomY;
    CDebugSink* log = m_pLog.get();
    KAVRIN_LOG(log, 1, "SetDisplayZoom", "waiting for m_hChainSema");
    {
        platform::RecursiveLock lock(m_pChain->ChainLock());
        KAVRIN_LOG(log, 1, "SetDisplayZoom", "got m_hChainSema");
        if (m_pDisplay->SetParam(LUMO_DISPLAY_PARAM_ZOOM, uintptr_t(intptr_t(zoomX)),
                                 uintptr_t(intptr_t(zoomY))) != 0) {
            KAVRIN_LOG(log, 0, "SetDisplayZoom", "display module refused the zoom");
            return;
        }
        int64_t x = 0;
        int64_t y = 0;
        if (CLumoImage* image = m_pDisplay->GetImage(0)) {
            const int32_t cw = viewport()->width();
            const int32_t ch = viewport()->height();
            const int64_t cx =
                viewzoom::CentreOf(cw, horizontalScrollBar()->value(), image->GetWidth(), m_zoomX);
            const int64_t cy =
                viewzoom::CentreOf(ch, verticalScrollBar()->value(), image->GetHeight(), m_zoomY);
            x = viewzoom::ScrollForCentre(cx, zoomX, cw);
            y = viewzoom::ScrollForCentre(cy, zoomY, ch);
        }
        // The new zoom first: the scroll ranges follow the size it shows.
        m_zoomX = zoomX;
        m_zoomY = zoomY;
        UpdateScrollBars(x, y);
    }
    KAVRIN_LOG(log, 1, "SetDisplayZoom", "released m_hChainSema");
    RefreshZoomPane();
    OnUpdate(cmd::HINT_SHOW_POSITION, erase ? 1 : 0);
    viewport()->update();
}

QSize CKavrinDemoView::DisplayedSize() {
    if (!m_pDisplay)
        return {};
    platform::RecursiveLock lock(m_pChain->ChainLock());
    CLumoImage* image = m_pDisplay->GetImage(0);
    if (!image)
        return {};
    const int64_t w = viewzoom::DisplayedLength(image->GetWidth(), m_zoomX);
    const int64_t h = viewzoom::DisplayedLength(image->GetHeight(), m_zoomY);
    return {int(std::min<int64_t>(w, INT32_MAX)), int(std::min<int64_t>(h, INT32_MAX))};
}

void CKavrinDemoView::UpdateScrollBars(int64_t x, int64_t y) {
    const QSize displayed = DisplayedSize();
    struct Axis {
        QScrollBar* bar;
        int64_t displayed;
        int32_t zoom;
        int64_t position;
    };
    Axis axes[2] = {{horizontalScrollBar(), displayed.width(), m_zoomX, x},
                    {verticalScrollBar(), displayed.height(), m_zoomY, y}};
    for (Axis& axis : axes) {
        const int32_t client =
            axis.bar == horizontalScrollBar() ? viewport()->width() : viewport()->height();
        const int32_t maximum = viewzoom::MaxScrollPosition(axis.displayed, client);
        if (axis.bar->maximum() != maximum || axis.bar->pageStep() != client) {
            axis.bar->setRange(0, maximum);
            axis.bar->setPageStep(client);
        }
        axis.bar->setSingleStep(viewzoom::LineStep(axis.zoom));
    }
    // The bars may have come or gone: the client size is read again.
    for (Axis& axis : axes) {
        const int32_t client =
            axis.bar == horizontalScrollBar() ? viewport()->width() : viewport()->height();
        const int64_t wanted = axis.position < 0 ? axis.bar->value() : axis.position;
        axis.bar->setValue(viewzoom::ClampScrollPosition(wanted, axis.displayed, client));
    }
}

void CKavrinDemoView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    m_exposed = event->rect();
    m_painted = QRect();
    if (m_pDisplay) {
        platform::RecursiveLock lock(m_pChain->ChainLock());
        m_pPainter = &painter;
        if (m_pDisplay->Execute(CLumoModule::EXECUTE_PAINT) != 0)
            KAVRIN_LOG(m_pLog.get(), 0, "CKavrinDemoView::OnDraw", "display did not paint");
        m_pPainter = nullptr;
    }
    PaintBackground(painter, m_exposed, m_painted);
    RefreshPixelPane();
}

void CKavrinDemoView::PaintDisplayFrame(const LumoDisplayFrame& frame, int32_t zoomX, int32_t zoomY,
                                        bool hardZoom) {
    if (!m_pPainter || !frame.pixels || frame.width == 0 || frame.height == 0)
        return;
    QImage::Format format = QImage::Format_Invalid;
    if (frame.bytesPerPixel == LumoDisplayFrame::BGRX32)
        format = QImage::Format_RGB32;
    else if (frame.bytesPerPixel == LumoDisplayFrame::GREY8)
        format = QImage::Format_Grayscale8;
    else
        return;
    // Read in place: the const constructor wraps the module's buffer, and only const access
    // follows, so the frame is never copied.
    const QImage image(frame.pixels, int(frame.width), int(frame.height),
                       qsizetype(frame.width) * frame.bytesPerPixel, format);
    const int64_t sx = horizontalScrollBar()->value();
    const int64_t sy = verticalScrollBar()->value();
    const QRect shown(
        int(-sx), int(-sy),
        int(std::min<int64_t>(viewzoom::DisplayedLength(frame.width, zoomX), INT32_MAX / 2)),
        int(std::min<int64_t>(viewzoom::DisplayedLength(frame.height, zoomY), INT32_MAX / 2)));
    m_painted = shown & viewport()->rect();
    const QRect target = shown & m_exposed;
    if (target.isEmpty())
        return;
    const AxisSpan h = ExposedSpan(target.left(), target.right() + 1, sx, zoomX, frame.width);
    const AxisSpan v = ExposedSpan(target.top(), target.bottom() + 1, sy, zoomY, frame.height);
    if (h.i1 <= h.i0 || v.i1 <= v.i0)
        return;
    m_pPainter->setRenderHint(QPainter::SmoothPixmapTransform, !hardZoom);
    m_pPainter->drawImage(QRect(int(h.d0), int(v.d0), int(h.d1 - h.d0), int(v.d1 - v.d0)), image,
                          QRect(int(h.i0), int(v.i0), int(h.i1 - h.i0), int(v.i1 - v.i0)));
    if (m_ullLastPaintedFrame != m_ullTakenFrames) {
        m_ullLastPaintedFrame = m_ullTakenFrames;
        m_ullPaintedFrames.fetch_add(1);
    }
}

QImage CKavrinDemoView::DisplayedImage() {
    if (!m_pDisplay)
        return {};
    platform::RecursiveLock lock(m_pChain->ChainLock());
    const LumoDisplayFrame* frame = nullptr;
    if (m_pDisplay->GetParam(LUMO_DISPLAY_PARAM_FRAME, LumoArg(&frame), 0) != 0 || !frame ||
        !frame->pixels || frame->width == 0 || frame->height == 0)
        return {};
    const QImage::Format format = frame->bytesPerPixel == LumoDisplayFrame::BGRX32
                                      ? QImage::Format_RGB32
                                      : QImage::Format_Grayscale8;
    // copy(): the clipboard keeps the picture after the module's buffer has moved on.
    return QImage(frame->pixels, int(frame->width), int(frame->height),
                  qsizetype(frame->width) * frame->bytesPerPixel, format)
        .copy();
}

void CKavrinDemoView::OnEditCopy() {
    const QImage image = DisplayedImage();
    if (image.isNull())
        m_frame.ShowStatusMessage(QStringLiteral("No image to copy"));
    else
        QGuiApplication::clipboard()->setImage(image);
}

void CKavrinDemoView::PaintBackground(QPainter& painter, const QRect& exposed, const QRect& image) {
    const QRegion background = QRegion(exposed).subtracted(QRegion(image));
    if (background.isEmpty())
        return;
    const QBrush hatch(QColor(0x80, 0x80, 0x80), Qt::DiagCrossPattern);
    painter.setBrushOrigin(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
    for (const QRect& r : background) {
        painter.fillRect(r, Qt::white);
        painter.fillRect(r, hatch);
    }
}

void CKavrinDemoView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars(-1, -1);
    viewport()->update();
}

void CKavrinDemoView::scrollContentsBy(int, int) {
    // The display buffer still holds the frame: only the picture moves.
    viewport()->update();
}

void CKavrinDemoView::mouseMoveEvent(QMouseEvent* event) {
    {
        // One wait for the chain, which both the readout and the dialog modules need.
        platform::RecursiveLock lock(m_pChain->ChainLock());
        RefreshPixelPane();
        ShareCursor(event->position().toPoint());
    }
    QAbstractScrollArea::mouseMoveEvent(event);
}

void CKavrinDemoView::leaveEvent(QEvent* event) {
    ShareCursor(QPoint(-1, -1));
    QAbstractScrollArea::leaveEvent(event);
}

void CKavrinDemoView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    for (uint32_t id : {cmd::ID_ZOOM_IN, cmd::ID_ZOOM_OUT, cmd::ID_ZOOM_1_1, cmd::ID_ZOOM_HARD_SOFT,
                        cmd::ID_IMG_PROCESS, cmd::ID_SAVE_CURRENT_IMAGE})
        if (QAction* action = m_frame.Action(id))
            menu.addAction(action);
    if (!menu.isEmpty())
        menu.exec(event->globalPos());
}

void CKavrinDemoView::OnSaveCurrentImage() {
    CSequenceBase* sequence = DocumentSequence();
    if (m_doc.IsBusy() || !sequence || sequence->GetImageCount() == 0 || !m_pSequenceBar)
        return;
    const int64_t position = m_pSequenceBar->GetPosition();
    QWidget* window = &m_frame;
    if (position >= 0 && sequence->SaveImage(window, uint64_t(position)))
        m_doc.SetState(CKavrinDemoDoc::SAVING);
}

void CKavrinDemoView::OnDebugView() {
    CDebugSink* log = m_pLog.get();
    if (!log)
        return;
    uintptr_t shown = 0;
    if (log->GetSinkParam(CDebugSink::PARAM_OUTPUT, &shown, 0) == 0 && shown != 0) {
        if (log->SetSinkParam(CDebugSink::PARAM_OUTPUT, 0, 0) != 0)
            KAVRIN_LOG(log, 0, "CKavrinDemoView::OnDebugView", "log window stays shown");
    } else {
        log->ActivateOutput(1);
    }
}

QString CKavrinDemoView::PixelTextAt(const QPoint& cursor) {
    platform::RecursiveLock lock(m_pChain->ChainLock());
    const auto [x, y] = ImagePositionAt(cursor);
    return viewtext::PixelText(m_pRawImage.get(), x, y);
}

std::pair<int64_t, int64_t> CKavrinDemoView::ImagePositionAt(const QPoint& cursor) const {
    return {viewzoom::ImageCoordinate(cursor.x(), horizontalScrollBar()->value(), m_zoomX),
            viewzoom::ImageCoordinate(cursor.y(), verticalScrollBar()->value(), m_zoomY)};
}

void CKavrinDemoView::ShareCursor(const QPoint& cursor) {
    platform::RecursiveLock lock(m_pChain->ChainLock());
    uint32_t x = LUMO_CURSOR_OUTSIDE;
    uint32_t y = LUMO_CURSOR_OUTSIDE;
    const CLumoImage* raw = m_pRawImage.get();
    if (raw && viewport()->rect().contains(cursor)) {
        const auto [ix, iy] = ImagePositionAt(cursor);
        if (ix >= 0 && iy >= 0 && ix < int64_t(raw->GetWidth()) && iy < int64_t(raw->GetHeight())) {
            x = uint32_t(ix);
            y = uint32_t(iy);
        }
    }
    if (x == m_sharedCursor[0] && y == m_sharedCursor[1])
        return; // a move within the same image pixel
    m_sharedCursor = {x, y};
    // A module without use for the position may refuse it: nothing to do.
    const uint64_t count = m_pChain->GetDialogCount();
    for (uint64_t k = 0; k < count; ++k)
        if (CLumoModule* module = m_pChain->GetDialogModule(k))
            (void)module->SetParam(LUMO_PARAM_CURSOR, x, y);
}

void CKavrinDemoView::RefreshPixelPane() {
    if (!m_pStatusBar)
        return;
    const QPoint cursor = viewport()->mapFromGlobal(QCursor::pos());
    if (viewport()->rect().contains(cursor))
        SetPane(cmd::ID_PANE_PIXEL, PixelTextAt(cursor));
}

void CKavrinDemoView::RefreshLostPane() {
    SetPane(cmd::ID_PANE_LOST, viewtext::LostImagesText(DocumentSequence()));
}

void CKavrinDemoView::RefreshDisplayRatePane() {
    SetPane(cmd::ID_PANE_DISPLAY_RATE,
            viewtext::DisplayRateText(DocumentSequence(), DocumentState()));
}

void CKavrinDemoView::RefreshGrabRatePane() {
    SetPane(cmd::ID_PANE_GRAB_RATE, viewtext::GrabRateText(DocumentSequence(), DocumentState()));
}

void CKavrinDemoView::RefreshZoomPane() {
    SetPane(cmd::ID_PANE_ZOOM, viewtext::ZoomText(m_zoomX));
}

void CKavrinDemoView::SetPane(uint32_t id, const QString& text) {
    if (m_pStatusBar)
        m_pStatusBar->SetPaneText(id, text);
}
