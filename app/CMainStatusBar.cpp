#include "app/CMainStatusBar.h"

#include "app/CommandIds.h"

#include <QLabel>
#include <QProgressBar>

#include <limits>

const char* const CMainStatusBar::TEMPLATES[5] = {"Greyscale [8888,8888]: Grey = 888",
                                                  "Lost Images: 888888", "Display: 1000.00 FPS",
                                                  "Grab: 1000.00 FPS", "88 : 8"};

namespace {

const char* const ACCESSIBLE[5] = {"Pixel under the cursor", "Lost images", "Display rate",
                                   "Grab rate", "Zoom"};

int PaneIndex(uint32_t id) {
    return id >= cmd::ID_PANE_PIXEL && id <= cmd::ID_PANE_ZOOM ? int(id - cmd::ID_PANE_PIXEL) : -1;
}

} // namespace

CMainStatusBar::CMainStatusBar(QWidget* parent) : QStatusBar(parent) {
    setObjectName("StatusBar");
    m_pProgress = new QProgressBar(this);
    m_pProgress->setObjectName("SaveProgress");
    m_pProgress->setAccessibleName("Progress");
    m_pProgress->setTextVisible(false);
    m_pProgress->setMaximumWidth(200);
    m_pProgress->hide();
    addWidget(m_pProgress);
    for (int i = 0; i < 5; ++i) {
        auto* pane = new QLabel(QString::fromLatin1(TEMPLATES[i]), this);
        pane->setObjectName(QStringLiteral("Pane%1").arg(cmd::ID_PANE_PIXEL + uint32_t(i)));
        pane->setAccessibleName(ACCESSIBLE[i]);
        pane->setFrameShape(QFrame::StyledPanel);
        pane->setFrameShadow(QFrame::Sunken);
        // Sized by its template text, as the panes of a status bar are.
        pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(pane->text()) + 12);
        m_panes[i] = pane;
        addPermanentWidget(pane);
    }
}

void CMainStatusBar::SetPaneText(uint32_t id, const QString& text) {
    const int i = PaneIndex(id);
    if (i >= 0 && m_panes[i]->text() != text)
        m_panes[i]->setText(text);
}

QString CMainStatusBar::PaneText(uint32_t id) const {
    const int i = PaneIndex(id);
    return i >= 0 ? m_panes[i]->text() : QString();
}

void CMainStatusBar::ProgressOn(int64_t total) {
    // A QProgressBar counts in int; larger totals are shown in coarser steps.
    m_progressScale = 1;
    while (total / m_progressScale > std::numeric_limits<int>::max())
        m_progressScale *= 2;
    m_pProgress->setRange(0, int(total > 0 ? total / m_progressScale : 0));
    m_pProgress->setValue(0);
    m_pProgress->show();
}

void CMainStatusBar::ProgressPosition(int64_t position) {
    if (position < 0)
        position = 0;
    m_pProgress->setValue(
        int(std::min<int64_t>(position / m_progressScale, m_pProgress->maximum())));
    m_pProgress->repaint();
}

void CMainStatusBar::ProgressOff() {
    m_pProgress->hide();
}

bool CMainStatusBar::IsProgressOn() const {
    return !m_pProgress->isHidden();
}

int64_t CMainStatusBar::ProgressValue() const {
    return int64_t(m_pProgress->value()) * m_progressScale;
}

int64_t CMainStatusBar::ProgressTotal() const {
    return int64_t(m_pProgress->maximum()) * m_progressScale;
}
