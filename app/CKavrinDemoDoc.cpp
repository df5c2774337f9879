#include "app/CKavrinDemoDoc.h"

#include "acquisition/CCamera.h"
#include "acquisition/CFileSequence.h"
#include "acquisition/CameraCatalogue.h"
#include "app/CCamCntrlBar.h"
#include "app/CKavrinDemoApp.h"
#include "app/CMainFrame.h"
#include "app/CMainStatusBar.h"
#include "app/CommandIds.h"
#include "app/QtMessageHook.h"
#include "app/QtNotificationReceiver.h"
#include "external/DebugLog.h"
#include "external/DebugSink.h"

CKavrinDemoDoc::CKavrinDemoDoc(CKavrinDemoApp& app, CMainFrame& frame)
    : m_app(app), m_frame(frame), m_pLog(app.Libraries().CreateDebugSink()) {
    if (m_pLog) {
        (void)m_pLog->SetSinkParam(CDebugSink::PARAM_NAME, reinterpret_cast<uintptr_t>("Doc debug"),
                                   0); // a name is always taken
        CIniFile_0* settings = app.GetSettings();
        if (settings && settings->GetUInt32("COMMON", "DebugDoc", 0, nullptr) != 0)
            m_pLog->ActivateOutput(1);
    }
    m_pReceiver = std::make_unique<QtNotificationReceiver>(this);
    m_pNotifier = std::make_unique<SequenceNotifier>(
        *m_pReceiver, [this](uint32_t code, int64_t value) { OnSequenceNotify(code, value); });
    RegisterCommands();
}

CKavrinDemoDoc::~CKavrinDemoDoc() {
    for (uint32_t id : {cmd::ID_FILE_NEW, cmd::ID_FILE_OPEN, cmd::ID_FILE_SAVE,
                        cmd::ID_FILE_SAVE_AS, cmd::ID_GRAB_CONTINUOUS, cmd::ID_GRAB_SINGLE,
                        cmd::ID_GRAB_STOP, cmd::ID_GRAB_TRIGGER, cmd::ID_DEBUG_DOC})
        m_frame.Commands().Remove(id);
    m_pNotifier->Detach();
    DeleteSequence(std::move(m_pSequence));
    if (m_pLog) {
        if (CIniFile_0* settings = m_app.GetSettings())
            (void)settings->SetUInt32("COMMON", "DebugDoc", IsDebugOutputOn() ? 1 : 0);
        m_app.Libraries().DeleteDebugSink(m_pLog);
    }
}

void CKavrinDemoDoc::RegisterCommands() {
    CommandRouter& commands = m_frame.Commands();
    const auto rule = [](bool (CKavrinDemoDoc::*can)() const, CKavrinDemoDoc* doc) {
        return [doc, can] { return CommandState{(doc->*can)(), false}; };
    };
    commands.Add(
        cmd::ID_FILE_NEW, [this] { OnFileNew(); }, rule(&CKavrinDemoDoc::CanNew, this));
    commands.Add(
        cmd::ID_FILE_OPEN, [this] { OnFileOpen(); }, rule(&CKavrinDemoDoc::CanOpen, this));
    commands.Add(
        cmd::ID_FILE_SAVE, [this] { OnFileSave(); }, rule(&CKavrinDemoDoc::CanSave, this));
    commands.Add(
        cmd::ID_FILE_SAVE_AS, [this] { OnFileSave(); }, rule(&CKavrinDemoDoc::CanSave, this));
    commands.Add(
        cmd::ID_GRAB_CONTINUOUS, [this] { OnGrab(true); }, rule(&CKavrinDemoDoc::CanGrab, this));
    commands.Add(
        cmd::ID_GRAB_SINGLE, [this] { OnGrab(false); }, rule(&CKavrinDemoDoc::CanGrab, this));
    commands.Add(
        cmd::ID_GRAB_STOP, [this] { OnStopGrab(); }, rule(&CKavrinDemoDoc::CanStop, this));
    commands.Add(
        cmd::ID_GRAB_TRIGGER, [this] { OnTrigger(); }, rule(&CKavrinDemoDoc::CanTrigger, this));
    commands.Add(
        cmd::ID_DEBUG_DOC, [this] { OnDebugDoc(); },
        [this] {
            return CommandState{m_pLog != nullptr, IsDebugOutputOn()};
        });
}

void CKavrinDemoDoc::DeleteSequence(SequencePtr sequence) {
    if (!sequence)
        return;
    emit sequenceGoing(sequence.get());
    sequence.reset();
}

void CKavrinDemoDoc::InstallSequence(SequencePtr sequence) {
    SequencePtr old = std::move(m_pSequence);
    m_pSequence = std::move(sequence);
    DeleteSequence(std::move(old));
}

bool CKavrinDemoDoc::OnNewDocument() {
    CameraPtr camera = CreateCatalogueCamera(m_app.GetCameraType());
    if (!camera)
        return false; // the old sequence stays
    camera->SetLog(m_pLog);
    m_pNotifier->Attach(*camera);
    camera->SetHeight(m_app.GetImageHeight());
    const auto destroy = camera.get_deleter().destroy;
    InstallSequence(SequencePtr(camera.release(), [destroy](CSequenceBase* sequence) {
        destroy(static_cast<CCamera*>(sequence));
    }));
    SetModifiedFlag(false);
    FillCameraPane();
    SetTitle(QString::fromUtf8(m_pSequence->GetName()));
    return true;
}

void CKavrinDemoDoc::FillCameraPane() {
    auto* camera = dynamic_cast<CCamera*>(m_pSequence.get());
    CCamCntrlBar* pane = m_frame.CamCntrlBar();
    if (!camera || !pane)
        return;
    pane->SetLineCount(camera->GetCCCount());
    pane->SetState(camera->GetCCState());
    pane->SetEnabled(true);
    for (uint64_t i = 0; i < camera->GetCCCount(); ++i)
        pane->SetLineName(i, QString::fromStdString(camera->GetCCName(i)));
}

bool CKavrinDemoDoc::QueryDiscardChanges() {
    if (!m_bModified)
        return true;
    return AskQuestion(&m_frame, QStringLiteral("The sequence has been modified. Changes will be "
                                                "lost.\nDo you want to continue?"));
}

void CKavrinDemoDoc::OnFileNew() {
    if (!CanNew() || !QueryDiscardChanges())
        return;
    if (OnNewDocument())
        emit updateViews(cmd::HINT_NEW_SEQUENCE, 0);
}

bool CKavrinDemoDoc::StartOpen(const std::function<bool(CFileSequence&)>& startLoad) {
    if (m_uState != IDLE) {
        ShowError("Document is locked");
        return false;
    }
    // A grabbed sequence that was never saved is not dropped without asking.
    if (!QueryDiscardChanges())
        return false;
    auto file = std::make_unique<CFileSequence>(m_app.GetLumo());
    file->SetLog(m_pLog);
    m_pNotifier->Attach(*file);
    if (!startLoad(*file)) {
        if (m_pSequence)
            m_pNotifier->Attach(*m_pSequence); // the previous sequence stays current
        else
            m_pNotifier->Detach();
        return false;
    }
    m_uState = LOADING;
    InstallSequence(SequencePtr(file.release(), [](CSequenceBase* s) { delete s; }));
    if (CCamCntrlBar* pane = m_frame.CamCntrlBar())
        pane->SetEnabled(false);
    SetModifiedFlag(false);
    SetTitle(QString::fromUtf8(m_pSequence->GetName()));
    return true;
}

void CKavrinDemoDoc::OnFileOpen() {
    (void)StartOpen([this](CFileSequence& file) {
        return file.LoadSequenceWithDialog(static_cast<QWidget*>(&m_frame));
    });
}

bool CKavrinDemoDoc::OpenFile(const QString& path) {
    const QByteArray name = path.toUtf8();
    const bool started =
        StartOpen([&name](CFileSequence& file) { return file.LoadSequence(name.constData()); });
    if (started)
        m_frame.AddRecentFile(path);
    return started;
}

void CKavrinDemoDoc::OnFileSave() {
    if (m_uState != IDLE || !m_pSequence || m_pSequence->GetImageCount() == 0)
        return;
    if (m_pSequence->SaveSequence(static_cast<QWidget*>(&m_frame), 0, uint64_t(-1))) {
        m_uState = SAVING;
        m_bSavingSequence = true;
    }
}

void CKavrinDemoDoc::OnGrab(bool continuous) {
    if (m_uState != IDLE)
        return ShowError("Document is locked");
    if (!m_pSequence)
        return ShowError("No camera selected");
    auto* camera = dynamic_cast<CCamera*>(m_pSequence.get());
    if (m_pSequence->GetSequenceType() != 2 || !camera)
        return ShowError("Need camera sequence to start grabbing");
    // Both grabs say why they did not start: a silent single sequence left users pressing a
    // button that did nothing.
    if (!camera->PrepareFrameBuffers(m_app.GetBufferCount()))
        return ShowError("Preparing framebuffers failed");
    if (!camera->StartSnap(continuous))
        return ShowError("Starting Snap failed");
    m_uState = GRABBING;
    emit updateViews(cmd::HINT_GRAB_STARTED, 0);
}

void CKavrinDemoDoc::OnStopGrab() {
    if (CanStop())
        m_pSequence->Stop();
}

CCamera* CKavrinDemoDoc::Camera() const {
    if (!m_pSequence || m_pSequence->GetSequenceType() != 2)
        return nullptr;
    return dynamic_cast<CCamera*>(m_pSequence.get());
}

void CKavrinDemoDoc::OnTrigger() {
    CCamera* camera = Camera();
    if (!CanTrigger() || !camera)
        return;
    if (!camera->Trigger(m_app.GetPostTriggerPercent()))
        return ShowError("The grab could not be triggered");
    KAVRIN_LOG(m_pLog, 1, "CKavrinDemoDoc::OnTrigger", "trigger with %u %% after the trigger",
               m_app.GetPostTriggerPercent());
}

void CKavrinDemoDoc::OnDebugDoc() {
    if (!m_pLog)
        return;
    if (IsDebugOutputOn())
        (void)m_pLog->SetSinkParam(CDebugSink::PARAM_OUTPUT, 0, 0); // always taken
    else
        m_pLog->ActivateOutput(1);
}

bool CKavrinDemoDoc::IsDebugOutputOn() const {
    uintptr_t on = 0;
    return m_pLog && m_pLog->GetSinkParam(CDebugSink::PARAM_OUTPUT, &on, 0) == 0 && on != 0;
}

bool CKavrinDemoDoc::CanNew() const {
    return !m_pSequence || !m_pSequence->IsThreadRunning();
}

bool CKavrinDemoDoc::CanOpen() const {
    return m_uState == IDLE;
}

bool CKavrinDemoDoc::CanSave() const {
    return m_uState == IDLE && m_pSequence && m_pSequence->GetImageCount() != 0;
}

bool CKavrinDemoDoc::CanGrab() const {
    return m_uState == IDLE && m_pSequence && m_pSequence->GetSequenceType() == 2 &&
           !m_pSequence->IsThreadRunning();
}

bool CKavrinDemoDoc::CanStop() const {
    return (m_uState == GRABBING || m_uState == LOADING || m_uState == SAVING) && m_pSequence &&
           m_pSequence->IsThreadRunning();
}

bool CKavrinDemoDoc::CanTrigger() const {
    CCamera* camera = Camera();
    return m_uState == GRABBING && camera && camera->CanTrigger();
}

void CKavrinDemoDoc::OnSequenceNotify(uint32_t code, int64_t value) {
    CMainStatusBar* status = m_frame.StatusBar();
    switch (code) {
    case SEQ_NOTIFY_BUFFERS:
        emit updateViews(cmd::HINT_NEW_SEQUENCE, 0);
        break;
    case SEQ_NOTIFY_NEW_IMAGES:
        if (m_uState == GRABBING)
            SetModifiedFlag(true);
        emit updateViews(cmd::HINT_NEW_IMAGES, value);
        break;
    case SEQ_NOTIFY_ENDED:
        HandleSequenceStop(value);
        break;
    case SEQ_NOTIFY_SAVE_START:
        if (status)
            status->ProgressOn(value);
        break;
    case SEQ_NOTIFY_SAVE_STEP:
        if (status)
            status->ProgressPosition(value);
        break;
    case SEQ_NOTIFY_SAVE_END: {
        if (status)
            status->ProgressOff();
        const bool wholeSequence = m_bSavingSequence;
        HandleSequenceStop(value);
        // Only a saved sequence is no longer modified: one saved image leaves the rest unsaved.
        if (value == 0 && wholeSequence)
            SetModifiedFlag(false);
        break;
    }
    default:
        break;
    }
}

void CKavrinDemoDoc::OnCameraControl(uint32_t command, uint32_t value) {
    auto* camera = dynamic_cast<CCamera*>(m_pSequence.get());
    if (camera && m_pSequence->GetSequenceType() == 2 && command == 0)
        camera->SetCCState(value);
}

void CKavrinDemoDoc::HandleSequenceStop(int64_t result) {
    if (m_pSequence)
        m_pSequence->Stop();
    KAVRIN_LOG_PLAIN(m_pLog, 1, "CKavrinDemoDoc::HandleSequenceStop");
    const uint32_t state = m_uState;
    m_uState = IDLE;
    m_bSavingSequence = false;
    // Menus and toolbars follow at once; new-image notifications (a hundred a second while
    // grabbing) leave that to the frame's regular refresh.
    m_frame.UpdateCommandStates();
    const uint32_t code = uint32_t(result);
    if (state == GRABBING) {
        emit updateViews(cmd::HINT_ENDED, 0);
    } else if (state == LOADING) {
        if (code == SEQ_RESULT_ABORTED)
            ShowError("Loading was aborted by user. The sequence may be loaded incompletely.");
        else if (code != 0)
            ShowError("An error occured during loading. The sequence may be loaded incompletely");
        emit updateViews(cmd::HINT_ENDED, 0);
    } else if (state == SAVING) {
        if (code == SEQ_RESULT_ABORTED)
            ShowError("Saving was aborted by user. The result may be saved incompletely.");
        else if (code == SEQ_RESULT_VERIFY_FAILED)
            ShowError(("Verification after saving failed: " +
                       (m_pSequence ? m_pSequence->GetVerifyFailure() : std::string()))
                          .c_str());
        else if (code != 0)
            ShowError("An error occured during saving. The result may not be properly saved.");
        emit updateViews(cmd::HINT_SAVE_ENDED, 0);
    }
}

void CKavrinDemoDoc::SetState(uint32_t state) {
    m_uState = state;
    m_frame.UpdateCommandStates();
}

void CKavrinDemoDoc::SetModifiedFlag(bool modified) {
    if (m_bModified == modified)
        return;
    m_bModified = modified;
    emit titleChanged();
}

void CKavrinDemoDoc::SetTitle(const QString& title) {
    m_title = title;
    emit titleChanged();
}

void CKavrinDemoDoc::ShowError(const char* text) {
    ShowErrorBox(&m_frame, QString::fromUtf8(text));
}
