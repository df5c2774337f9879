// The view's "Application Options" command: fills the options dialog from the document's
// sequence (or a temporary camera of the selected type), the grabber boards and the display
// module, runs it, and applies what it returns.
#include "acquisition/CCamera.h"
#include "acquisition/CSiliconAPI.h"
#include "acquisition/CameraCatalogue.h"
#include "app/AppOptionsFigures.h"
#include "app/CAppOptionsDlg.h"
#include "app/CKavrinDemoApp.h"
#include "app/CKavrinDemoView.h"
#include "app/CMainFrame.h"
#include "app/CommandIds.h"
#include "external/LumoModule.h"
#include "external/LumoPaintSurface.h"

namespace {

constexpr uint32_t CAMERA_SEQUENCE = 2;

appoptions::CameraFigures FiguresOf(CSequenceBase& sequence) {
    appoptions::CameraFigures figures;
    const char* name = sequence.GetName();
    figures.name = name ? name : "";
    figures.width = sequence.GetWidth();
    figures.height = sequence.GetHeight();
    figures.bytesPerPixel = appoptions::BytesPerPixel(sequence.GetImageFormat());
    figures.buffersHeld = sequence.GetBufferCount();
    return figures;
}

// The rate the recording time is given for: the grab rate once a grab measured one, else the
// camera model's nominal rate.
void SetRecordingRate(CAppOptionsDlg& dialog, CSequenceBase& sequence) {
    if (sequence.GetSequenceType() != CAMERA_SEQUENCE)
        return;
    auto* camera = static_cast<CCamera*>(&sequence);
    const double measured = camera->GetFrameRate(1);
    if (measured > 0.0)
        dialog.SetFrameRate(measured, true);
    else
        dialog.SetFrameRate(camera->GetNominalFrameRate(), false);
}

std::vector<CAppOptionsDlg::Board> GrabberBoards() {
    std::vector<CAppOptionsDlg::Board> boards;
    for (const CSiliconAPI::BoardRecord& board : TheSiliconAPI().Boards())
        boards.push_back({board.boardName, board.serialNumber});
    return boards;
}

} // namespace

void CKavrinDemoView::OnAppOptions() {
    uint32_t method = CAppOptionsDlg::METHOD_AUTOMATIC;
    uint32_t state = 0;
    if (m_pDisplay &&
        m_pDisplay->GetParam(LUMO_DISPLAY_PARAM_METHOD, LumoArg(&method), LumoArg(&state)) != 0)
        state = 0xFFFFFFFF; // shown as unknown
    CAppOptionsDlg dialog(this);
    CSequenceBase* sequence = DocumentSequence();
    // Without a sequence the dialog gets a camera of the selected type, made for it alone.
    CameraPtr temporary{nullptr, CameraDestroyer{nullptr}};
    if (!sequence) {
        temporary = CreateCatalogueCamera(m_app.GetCameraType());
        if (temporary)
            temporary->SetHeight(m_app.GetImageHeight());
        sequence = temporary.get();
    }
    if (sequence) {
        dialog.SetCamera(FiguresOf(*sequence));
        SetRecordingRate(dialog, *sequence);
    }
    dialog.SetBoards(GrabberBoards());
    dialog.SetReorderBoards(
        [](const std::vector<uint32_t>& serials) { TheSiliconAPI().ReorderBoards(serials); });
    dialog.SetNewHeight(m_app.GetImageHeight());
    dialog.SetBufferCount(m_app.GetBufferCount());
    dialog.SetPostTriggerPercent(m_app.GetPostTriggerPercent());
    dialog.SetDisplayMethod(method);
    dialog.SetDisplayState(state);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_app.SetImageHeight(dialog.GetNewHeight());
    m_app.SetBufferCount(dialog.GetBufferCount());
    m_app.SetPostTriggerPercent(dialog.GetPostTriggerPercent());
    CSequenceBase* current = DocumentSequence();
    if (current && current->GetSequenceType() == CAMERA_SEQUENCE)
        static_cast<CCamera*>(current)->SetHeight(dialog.GetNewHeight());
    if (m_pDisplay && dialog.GetDisplayMethod() != method) {
        if (m_pDisplay->SetParam(LUMO_DISPLAY_PARAM_METHOD, dialog.GetDisplayMethod(), 0) != 0)
            m_frame.ShowStatusMessage(QStringLiteral("The display refused the display method"));
        OnUpdate(cmd::HINT_SHOW_POSITION, 0);
    }
}
