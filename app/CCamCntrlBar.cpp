#include "CCamCntrlBar.h"

#include <QHBoxLayout>
#include <QPushButton>

#include <algorithm>

namespace {

// As narrow as the caption allows ("CC1A" at least): the row stays a compact bar.
void FitToCaption(QPushButton& button) {
    const QFontMetrics metrics = button.fontMetrics();
    const int text = std::max(metrics.horizontalAdvance(QStringLiteral("CC8B")),
                              metrics.horizontalAdvance(button.text()));
    button.setFixedWidth(text + 18);
}

} // namespace

// The pane's widgets. They are members, not heap children: they are destroyed before the body
// that holds them.
struct CCamCntrlBar::Controls {
    QWidget body;
    QHBoxLayout layout{&body};
    std::array<QPushButton, LINES> buttons;
};

CCamCntrlBar::CCamCntrlBar(QWidget* parent)
    : QDockWidget(tr("Camera Control"), parent), m_pControls(std::make_unique<Controls>()) {
    setObjectName(QStringLiteral("CameraControlPane"));
    setAllowedAreas(Qt::TopDockWidgetArea | Qt::BottomDockWidgetArea);
    Controls& c = *m_pControls;
    c.layout.setContentsMargins(4, 2, 4, 2);
    c.layout.setSpacing(4);
    for (int i = 0; i < LINES; ++i) {
        QPushButton& button = c.buttons[static_cast<size_t>(i)];
        m_names[static_cast<size_t>(i)] = QStringLiteral("CC%1").arg(i + 1);
        button.setObjectName(m_names[static_cast<size_t>(i)]);
        button.setCheckable(true);
        button.setAutoDefault(false);
        button.setFocusPolicy(Qt::TabFocus);
        c.layout.addWidget(&button);
        connect(&button, &QPushButton::clicked, this, [this, i] { OnButtonClicked(i); });
    }
    c.layout.addStretch(1);
    c.body.setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setWidget(&c.body);
    Refresh();
}

CCamCntrlBar::~CCamCntrlBar() = default;

void CCamCntrlBar::SetNotify(Notify notify) {
    m_notify = std::move(notify);
}

void CCamCntrlBar::SetEnabled(bool enabled) {
    m_bEnabled = enabled;
    Refresh();
}

void CCamCntrlBar::SetLineCount(uint64_t count) {
    m_ullLineCount = count;
    Refresh();
}

void CCamCntrlBar::SetLineName(uint64_t index, const QString& name) {
    if (index >= LINES) {
        return;
    }
    m_names[index] = name;
    Refresh();
}

void CCamCntrlBar::SetState(uint32_t bits) {
    m_uState = bits;
    Refresh();
}

QPushButton* CCamCntrlBar::Button(int i) const {
    if (i < 0 || i >= LINES) {
        return nullptr;
    }
    return &m_pControls->buttons[static_cast<size_t>(i)];
}

void CCamCntrlBar::Refresh() {
    for (int i = 0; i < LINES; ++i) {
        QPushButton& button = m_pControls->buttons[static_cast<size_t>(i)];
        const bool shown = static_cast<uint64_t>(i) < m_ullLineCount;
        button.setChecked(shown && (m_uState & (1u << i)) != 0);
        button.setEnabled(m_bEnabled);
        button.setHidden(!shown);
        if (button.text() != m_names[static_cast<size_t>(i)]) {
            button.setText(m_names[static_cast<size_t>(i)]);
            FitToCaption(button);
        }
    }
}

void CCamCntrlBar::OnButtonClicked(int i) {
    const uint32_t bit = 1u << i;
    if (m_pControls->buttons[static_cast<size_t>(i)].isChecked()) {
        m_uState |= bit;
    } else {
        m_uState &= ~bit;
    }
    if (m_notify) {
        m_notify(0, m_uState);
    }
}
