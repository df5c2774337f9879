// The one document: owns the current sequence (a camera of the selected type after "New", a
// file sequence after "Open"), turns the grab, stop, open and save commands into calls on it,
// refuses them while another long operation runs, receives the sequence's notifications,
// drives the status bar's progress bar, tells the view what changed (updateViews), and shows
// the outcome of loads and saves.
//
// Threads and locks. Every member function runs on the user-interface thread. Sequence threads
// reach the document only through its SequenceNotifier over the application's one Qt
// notification receiver: ordinary notifications are queued to the UI thread; a synchronous one
// blocks the sending thread until the UI thread has handled it (a direct call when raised on
// the UI thread). The sequences raise synchronous notifications only from
// PrepareFrameBuffers, which the document calls on the UI thread, so that path never blocks.
// A sender may hold no lock while it notifies: the sequence mutex is released first (the
// compiler checks this), and the chain lock belongs to the update thread and the UI thread,
// never to a sequence thread. The UI thread never joins a sequence thread that may still send
// a synchronous notification (Stop joins only the grab monitor, the load worker or the save,
// which notify asynchronously), so stopping a grab while the view paints or a save runs
// cannot deadlock.
#pragma once

#include "acquisition/CSequenceBase.h"
#include "acquisition/SequenceNotifier.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class CCamera;
class CDebugSink;
class CFileSequence;
class CKavrinDemoApp;
class CMainFrame;

class CKavrinDemoDoc final : public QObject {
    Q_OBJECT

public:
    enum State : uint32_t { IDLE = 0, GRABBING = 1, REPLAYING = 2, LOADING = 3, SAVING = 4 };

    // Creates the log sink "Doc debug" and registers the document's commands with the frame.
    CKavrinDemoDoc(CKavrinDemoApp& app, CMainFrame& frame);
    // Stops and deletes the sequence, stores "DebugDoc", releases the sink.
    ~CKavrinDemoDoc() override;
    CKavrinDemoDoc(const CKavrinDemoDoc&) = delete;
    CKavrinDemoDoc& operator=(const CKavrinDemoDoc&) = delete;

    // A new camera sequence of the application's camera type; false (old sequence kept) when
    // the camera cannot be made.
    [[nodiscard]] bool OnNewDocument();
    // True when nothing is modified or the user agrees to discard it.
    bool QueryDiscardChanges();

    // Commands (also reachable through the frame's router).
    void OnFileNew();
    void OnFileOpen();
    void OnFileSave();
    void OnGrab(bool continuous);
    void OnStopGrab();
    // Triggers the running continuous grab with the application's post-trigger share.
    void OnTrigger();
    void OnDebugDoc();
    // Opens `path` as a file sequence without a dialog (command line, drop). False when the
    // load did not start.
    bool OpenFile(const QString& path);

    // Enable rules.
    bool CanNew() const;
    bool CanOpen() const;
    bool CanSave() const;
    bool CanGrab() const;
    bool CanStop() const;
    // During a continuous grab whose trigger has not been given yet.
    bool CanTrigger() const;

    // The sequence's notifications, on the UI thread.
    void OnSequenceNotify(uint32_t code, int64_t value);
    // The camera control pane's message (command 0: the lines' new state).
    void OnCameraControl(uint32_t command, uint32_t value);
    void HandleSequenceStop(int64_t result);

    CSequenceBase* GetSequence() const { return m_pSequence.get(); }
    uint32_t GetState() const { return m_uState; }
    bool IsBusy() const { return m_uState != IDLE; }
    // The view sets replaying (2) and saving an image (4) and returns to idle.
    void SetState(uint32_t state);
    bool IsModified() const { return m_bModified; }
    void SetModifiedFlag(bool modified);
    const QString& GetTitle() const { return m_title; }
    CDebugSink* GetLog() const { return m_pLog; }
    // Whether the sink's output window is on.
    bool IsDebugOutputOn() const;

signals:
    // hint (1 new sequence or buffers, 2 new images, 4 grab started, 5 grab or load ended,
    // 6 save ended) with its value.
    void updateViews(int hint, qint64 value);
    // Title or modified flag changed.
    void titleChanged();
    // The current sequence is about to be deleted (replaced by a new one, or the document
    // ends): whoever still points at it lets go now. Emitted on the UI thread, direct.
    void sequenceGoing(CSequenceBase* sequence);

private:
    using SequencePtr = std::unique_ptr<CSequenceBase, std::function<void(CSequenceBase*)>>;

    void RegisterCommands();
    void InstallSequence(SequencePtr sequence);
    void FillCameraPane();
    bool StartOpen(const std::function<bool(CFileSequence&)>& startLoad);
    void DeleteSequence(SequencePtr sequence);
    void SetTitle(const QString& title);
    void ShowError(const char* text);
    CCamera* Camera() const;

    CKavrinDemoApp& m_app;
    CMainFrame& m_frame;
    CDebugSink* m_pLog = nullptr;
    std::unique_ptr<NotificationReceiver> m_pReceiver;
    std::unique_ptr<SequenceNotifier> m_pNotifier;
    SequencePtr m_pSequence;
    uint32_t m_uState = IDLE;
    bool m_bModified = false;
    bool m_bSavingSequence = false; // the save under way writes the whole sequence
    QString m_title;
};
