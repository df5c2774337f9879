// The document's one view: owns the process chain and its update thread, the raw image the
// current frame is copied into, and the display module that turns the processed image into
// the picture on screen with a zoom factor. It reacts to the document's update hints, to the
// sequence control pane, to scrolling and the mouse, picks the chain by image class, and
// writes the status panes 118-122.
//
// Threads: every member function runs on the user-interface thread except the base-image
// provider and the ready callback, which run on the chain's update thread with the chain lock
// held. The update thread reaches the UI thread only by one queued "new frame" call at a time
// (an atomic pending flag; repaints merge), so a slow display skips frames instead of
// building a backlog. The view takes the chain lock for drawing, zooming, pane 118, chain
// selection and the final save; the display buffer is painted in place under that lock.
//
// The view is also the export stage of its document's sequence (frames saved as displayed):
// Process runs on the sequence's save thread and takes the chain lock for one frame's run of
// the chain and its copy, never while the writer encodes. It registers with the sequence when
// the document shows it and lets go when the sequence goes or the view is destroyed.
#pragma once

#include "acquisition/ExportStage.h"
#include "external/LumoPaintSurface.h"
#include "external/LumoParamBlocks.h"
#include "external/LumoPtr.h"
#include "settings/IniFile.h"

#include <QAbstractScrollArea>
#include <QImage>
#include <QRect>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <utility>

class CDebugSink;
class CImgProcessChain;
class CKavrinDemoApp;
class CKavrinDemoDoc;
class CMainFrame;
class CMainStatusBar;
class CSequenceBar;
class CSequenceBase;
class QMenu;
class QPainter;

class CKavrinDemoView final : public QAbstractScrollArea,
                              public CLumoPaintSurface,
                              public CExportStage {
    Q_OBJECT

public:
    CKavrinDemoView(CKavrinDemoApp& app, CKavrinDemoDoc& doc, CMainFrame& frame);
    ~CKavrinDemoView() override;

    // Registers with the sequence pane, hands the display module its window, starts the
    // chain's provider and ready callback, then acts as for hint 1.
    void OnInitialUpdate();
    // The document's update hints (1 ... 6) with their value.
    void OnUpdate(int hint, int64_t value);

    // Commands.
    void OnZoomIn();
    void OnZoomOut();
    void OnZoom1To1();
    void OnToggleHardZoom();
    void OnImgProcess();
    void OnSaveCurrentImage();
    void OnDebugView();
    // "Application Options": runs the options dialog and applies what it returns.
    void OnAppOptions();
    // Sets the zoom, keeping the centre of what is shown.
    void SetDisplayZoom(int32_t zoomX, int32_t zoomY);
    int32_t ZoomX() const;
    int32_t ZoomY() const;

    // The sequence pane's notifications (0 position, 1 replay start, 2 replay stop).
    int64_t OnSequencePaneNotify(uint32_t code, int64_t value);

    // Edit > Copy: the displayed image on the clipboard.
    void OnEditCopy();
    // A copy of the image the display module shows (the processed frame, before zoom); null
    // when there is none. Takes the chain lock.
    QImage DisplayedImage();
    // Frames painted since construction (benchmarks and tests); a frame painted again (a
    // scroll, an uncovered window) counts once.
    uint64_t PaintedFrames() const;

    // Pane 118's text for a cursor at `cursor` in the view's client area (viewport
    // coordinates), whether or not the cursor is there. Takes the chain lock.
    QString PixelTextAt(const QPoint& cursor);
    // The image-processing popup without showing it: the menu (dialog entries 1 ... N, then
    // "Analyze Source"), and the action of a chosen id.
    std::unique_ptr<QMenu> BuildImgProcessMenu(uint64_t& dialogCount);
    void ApplyImgProcessChoice(uint32_t id, uint64_t dialogCount);
    // The chain, the display module and the raw image (tests).
    CImgProcessChain* Chain() const { return m_pChain.get(); }
    CLumoModule* DisplayModule() const { return m_pDisplay.get(); }
    // The displayed size of the image the display module holds under the current zoom; 0 x 0
    // without one. Takes the chain lock.
    QSize DisplayedSize();

    // CLumoPaintSurface: paints the display module's buffer during paintEvent.
    void PaintDisplayFrame(const LumoDisplayFrame& frame, int32_t zoomX, int32_t zoomY,
                           bool hardZoom) override;

    // CExportStage, on the save thread: `raw` through the chain as the view shows it, as packed
    // samples (8-bit RGB without its padding channel, which files do not keep). Takes the chain
    // lock for the run and one copy; null when the chain fails. ViewExportStage.cpp.
    CLumoImage* Process(CLumoImage& raw) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    struct DebugSinkDeleter {
        const CKavrinDemoApp* app;
        void operator()(CDebugSink* sink) const;
    };

    // Update thread, chain lock held: the raw image filled with the current frame.
    static CLumoImage* InitBaseImg(void* context);
    // Update thread, chain lock held: the processed image (null when processing failed).
    static void NotifyReady(void* context, CLumoImage* image, bool erase);
    // Any thread: a module dialog's event.
    static uint32_t OnDialogEvent(void* context, uint32_t code);
    // UI thread: the queued "new frame" call of the update thread.
    void OnNewFrame();

    // The document is about to delete `sequence`: the provider and the export stage let go.
    void ForgetSequence(CSequenceBase* sequence);
    // The view becomes the export stage of `sequence` (null: of none), letting go of the one
    // before. UI thread, no save running. ViewExportStage.cpp.
    void BecomeExportStage(CSequenceBase* sequence);
    // Save thread. Under the chain lock: `raw` copied into the raw image, run through the
    // chain, and its output (the raw image for an empty chain) copied into `shown`. False when
    // the chain or a copy fails.
    bool RenderForExport(CLumoImage& raw, CLumoImage& shown);
    void RegisterCommands();
    void CreateDebugSink();
    void UpdateScrollBars(int64_t x, int64_t y);
    void PaintBackground(QPainter& painter, const QRect& exposed, const QRect& image);
    // Chain selection for the document's sequence (hint 1); ViewChainSelection.cpp.
    void SelectChain();
    CSequenceBase* DocumentSequence() const;
    uint32_t DocumentState() const;

    void RefreshPixelPane();
    // The image position under `cursor` (viewport coordinates); it may lie outside the image.
    std::pair<int64_t, int64_t> ImagePositionAt(const QPoint& cursor) const;
    // Hands the image position under `cursor` (viewport coordinates; outside the image:
    // 0xFFFFFFFF, 0xFFFFFFFF) to every module of the chain that has a dialog. Takes the chain
    // lock.
    void ShareCursor(const QPoint& cursor);
    // The image position last handed to the dialog modules (UI thread).
    std::array<uint32_t, 2> m_sharedCursor{LUMO_CURSOR_OUTSIDE, LUMO_CURSOR_OUTSIDE};
    void RefreshLostPane();
    void RefreshDisplayRatePane();
    void RefreshGrabRatePane();
    void RefreshZoomPane();
    void SetPane(uint32_t id, const QString& text);

    CKavrinDemoApp& m_app;
    CKavrinDemoDoc& m_doc;
    CMainFrame& m_frame;
    IniFilePtr m_pIniStore;
    IniFilePtr m_pRegStore;
    std::unique_ptr<CDebugSink, DebugSinkDeleter> m_pLog;
    int32_t m_zoomX = 1;
    int32_t m_zoomY = 1;
    // The raw image's contents and the display module's use belong to the chain lock.
    LumoImagePtr m_pRawImage;
    LumoModulePtr m_pDisplay;
    // Last of the owned engine objects: its update thread ends before they go.
    std::unique_ptr<CImgProcessChain> m_pChain;
    CSequenceBar* m_pSequenceBar = nullptr;
    CMainStatusBar* m_pStatusBar = nullptr;
    // What the base-image provider copies; written by hint 3 on the UI thread.
    std::atomic<int64_t> m_llCurrentFrame{-1};
    std::atomic<CSequenceBase*> m_pCurrentSequence{nullptr};
    // The sequence the view is the export stage of (UI thread).
    CSequenceBase* m_pStageSequence = nullptr;
    // The export stage's images, used by the save thread only: the chain's output copied out
    // under the chain lock, and the image handed to the writer.
    LumoImagePtr m_pExportCopy;
    LumoImagePtr m_pExportImage;
    // One queued "new frame" call to the UI thread at a time.
    std::atomic<bool> m_bNewFramePending{false};
    std::atomic<uint64_t> m_ullPaintedFrames{0};
    // The chain's dialog count at the last chain selection (the menus' enable rule).
    std::atomic<uint64_t> m_ullDialogCount{0};
    // Frames the display module took (update thread) and the last of them painted (UI
    // thread); both change under the chain lock.
    uint64_t m_ullTakenFrames = 0;
    uint64_t m_ullLastPaintedFrame = 0;
    // Set while paintEvent runs the display module's Execute (1).
    QPainter* m_pPainter = nullptr;
    QRect m_exposed;
    QRect m_painted;
};
