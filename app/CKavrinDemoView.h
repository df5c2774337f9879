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
#pragma once

#include "external/LumoPaintSurface.h"

#include <QAbstractScrollArea>

#include <cstdint>

class CKavrinDemoApp;
class CKavrinDemoDoc;
class CMainFrame;

class CKavrinDemoView final : public QAbstractScrollArea, public CLumoPaintSurface {
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
    // Sets the zoom, keeping the centre of what is shown.
    void SetDisplayZoom(int32_t zoomX, int32_t zoomY);
    int32_t ZoomX() const;
    int32_t ZoomY() const;

    // The sequence pane's notifications (0 position, 1 replay start, 2 replay stop).
    int64_t OnSequencePaneNotify(uint32_t code, int64_t value);

    // Frames painted since construction (benchmarks and tests).
    uint64_t PaintedFrames() const;

    // CLumoPaintSurface: paints the display module's buffer during paintEvent.
    void PaintDisplayFrame(const LumoDisplayFrame& frame, int32_t zoomX, int32_t zoomY,
                           bool hardZoom) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // Private state is the view's own; see CKavrinDemoView.cpp.
};
