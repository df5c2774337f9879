#include "CSequenceBar.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTimer>

#include <algorithm>
#include <array>
#include <climits>
#include <limits>

namespace {

// A slider position for a 64-bit position; the slider counts in int.
int SliderValue(uint64_t value) {
    return static_cast<int>(std::min<uint64_t>(value, static_cast<uint64_t>(INT_MAX)));
}

void SetUp(QWidget& widget, const char* objectName, const QString& accessibleName) {
    widget.setObjectName(QString::fromLatin1(objectName));
    widget.setAccessibleName(accessibleName);
}

void SetUpButton(QPushButton& button, const char* objectName, const QString& text,
                 const QString& accessibleName, bool checkable) {
    SetUp(button, objectName, accessibleName);
    button.setText(text);
    button.setToolTip(accessibleName);
    button.setCheckable(checkable);
    button.setAutoDefault(false);
    button.setFocusPolicy(Qt::TabFocus);
    // As narrow as the caption allows: the row stays a compact bar.
    const int width = button.fontMetrics().horizontalAdvance(QStringLiteral("<<")) + 18;
    button.setFixedWidth(width);
}

} // namespace

// The pane's widgets, in the order of the row. They are members, not heap children: they are
// destroyed before the body that holds them.
struct CSequenceBar::Controls {
    QWidget body;
    QHBoxLayout layout{&body};
    QLabel rateCaption;
    QLineEdit rate;
    QLabel position;
    QPushButton first;
    QPushButton previous;
    QPushButton replayBackward;
    QLabel lowest;
    QSlider slider{Qt::Horizontal};
    QLabel highest;
    QPushButton replayForward;
    QPushButton next;
    QPushButton last;
    QPushButton toMarker;
    QLabel marker; // on the slider, above the marked position
    QTimer timer;
};

CSequenceBar::CSequenceBar(QWidget* parent)
    : QDockWidget(tr("Sequence Control"), parent), m_pControls(std::make_unique<Controls>()) {
    setObjectName(QStringLiteral("SequenceControlPane"));
    setAllowedAreas(Qt::TopDockWidgetArea | Qt::BottomDockWidgetArea);
    Controls& c = *m_pControls;

    c.rateCaption.setObjectName(QStringLiteral("PlaybackFpsCaption"));
    c.rateCaption.setText(tr("Playback FPS"));
    c.rateCaption.setBuddy(&c.rate);
    SetUp(c.rate, "PlaybackRate", tr("Playback rate"));
    c.rate.setAlignment(Qt::AlignRight);
    c.rate.setFixedWidth(c.rate.fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 12);
    SetUp(c.position, "CurrentPosition", tr("Current position"));
    c.position.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    c.position.setMinimumWidth(
        c.position.fontMetrics().horizontalAdvance(QStringLiteral("000000")));
    SetUp(c.lowest, "FirstPosition", tr("First position"));
    SetUp(c.highest, "LastPosition", tr("Last position"));
    SetUp(c.slider, "PositionSlider", tr("Position slider"));
    c.slider.setTickPosition(QSlider::TicksBelow);
    c.slider.setMinimumWidth(120);
    SetUpButton(c.first, "FirstButton", QStringLiteral("|<"), tr("First image"), false);
    SetUpButton(c.previous, "PreviousButton", QStringLiteral("<"), tr("Previous image"), false);
    SetUpButton(c.replayBackward, "ReplayBackwardButton", QStringLiteral("<<"),
                tr("Replay backward"), true);
    SetUpButton(c.replayForward, "ReplayForwardButton", QStringLiteral(">>"), tr("Replay forward"),
                true);
    SetUpButton(c.next, "NextButton", QStringLiteral(">"), tr("Next image"), false);
    SetUpButton(c.last, "LastButton", QStringLiteral(">|"), tr("Last image"), false);
    SetUpButton(c.toMarker, "TriggerButton", QStringLiteral("T"), tr("Trigger frame"), false);
    SetUp(c.marker, "TriggerMarker", tr("Trigger marker"));
    c.marker.setParent(&c.slider);
    c.marker.setAutoFillBackground(true);
    QPalette markerColour = c.marker.palette();
    markerColour.setColor(QPalette::Window, QColor(217, 138, 27));
    c.marker.setPalette(markerColour);
    c.marker.hide();
    c.slider.installEventFilter(this);

    c.layout.setContentsMargins(4, 2, 4, 2);
    c.layout.setSpacing(4);
    c.layout.addWidget(&c.rateCaption);
    c.layout.addWidget(&c.rate);
    c.layout.addSpacing(6);
    c.layout.addWidget(&c.position);
    c.layout.addWidget(&c.first);
    c.layout.addWidget(&c.previous);
    c.layout.addWidget(&c.replayBackward);
    c.layout.addWidget(&c.lowest);
    c.layout.addWidget(&c.slider, 1);
    c.layout.addWidget(&c.highest);
    c.layout.addWidget(&c.replayForward);
    c.layout.addWidget(&c.next);
    c.layout.addWidget(&c.last);
    c.layout.addWidget(&c.toMarker);
    c.body.setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setWidget(&c.body);

    c.timer.setObjectName(QStringLiteral("ReplayTimer"));
    c.timer.setParent(this);
    c.timer.setTimerType(Qt::PreciseTimer);

    connect(&c.first, &QPushButton::clicked, this, &CSequenceBar::OnFirst);
    connect(&c.previous, &QPushButton::clicked, this, &CSequenceBar::OnPrevious);
    connect(&c.next, &QPushButton::clicked, this, &CSequenceBar::OnNext);
    connect(&c.last, &QPushButton::clicked, this, &CSequenceBar::OnLast);
    connect(&c.toMarker, &QPushButton::clicked, this, &CSequenceBar::OnMarker);
    connect(&c.replayBackward, &QPushButton::clicked, this, [this] { OnReplayToggled(false); });
    connect(&c.replayForward, &QPushButton::clicked, this, [this] { OnReplayToggled(true); });
    connect(&c.slider, &QSlider::valueChanged, this, &CSequenceBar::OnSliderMoved);
    connect(&c.rate, &QLineEdit::editingFinished, this, &CSequenceBar::OnRateEdited);
    connect(&c.timer, &QTimer::timeout, this, &CSequenceBar::OnTimerTick);

    Refresh(REFRESH_ALL);
}

CSequenceBar::~CSequenceBar() = default;

void CSequenceBar::SetNotify(Notify notify) {
    m_notify = std::move(notify);
}

void CSequenceBar::SetCount(uint64_t count) {
    m_ullCount = count;
    // A negative position (the empty pane's -1) counts as past the end.
    if (static_cast<uint64_t>(m_llPosition) >= m_ullCount) {
        m_llPosition = static_cast<int64_t>(m_ullCount - 1);
        Refresh(REFRESH_RANGE | REFRESH_POSITION | REFRESH_ENABLING);
    } else {
        Refresh(REFRESH_RANGE | REFRESH_ENABLING);
    }
}

void CSequenceBar::SetPosition(int64_t position) {
    m_llPosition = position;
    // The owner knows the position it set: a user step back to the position reported before
    // must be reported again, or the owner keeps showing another image than the pane says.
    m_llLastSent = position;
    Refresh(REFRESH_POSITION);
}

void CSequenceBar::SetMarker(int64_t position) {
    m_llMarker = position;
    Refresh(REFRESH_ENABLING);
}

bool CSequenceBar::IsMarkerShown() const {
    return m_llMarker >= 0 && static_cast<uint64_t>(m_llMarker) < m_ullCount;
}

void CSequenceBar::SetRate(uint64_t framesPerSecond) {
    m_ullRate = framesPerSecond;
    Refresh(REFRESH_RATE);
}

void CSequenceBar::SetEnabled(bool enabled) {
    m_bEnabled = enabled;
    Refresh(REFRESH_ENABLING);
}

bool CSequenceBar::Play(bool forward, uint64_t framesPerSecond) {
    if (framesPerSecond == 0) {
        return false; // nothing replays at 0 fps
    }
    uint32_t refresh = 0;
    if (forward != m_bForward) {
        m_bForward = forward;
        refresh |= REFRESH_DIRECTION;
    }
    QTimer& timer = m_pControls->timer;
    if (!timer.isActive()) {
        timer.start(PeriodForRate(framesPerSecond));
        // The pane has no idle-time command update: the buttons follow the replay state here.
        refresh |= REFRESH_DIRECTION | REFRESH_ENABLING;
    } else if (m_ullTimerRate != framesPerSecond) {
        timer.start(PeriodForRate(framesPerSecond));
    }
    m_ullTimerRate = framesPerSecond;
    Refresh(refresh);
    return true;
}

bool CSequenceBar::IsPlaying() const {
    return m_pControls->timer.isActive();
}

void CSequenceBar::StopPlay() {
    m_pControls->timer.stop();
    m_ullTimerRate = 0;
    Refresh(REFRESH_DIRECTION | REFRESH_ENABLING);
}

int CSequenceBar::TimerInterval() const {
    return IsPlaying() ? m_pControls->timer.interval() : 0;
}

void CSequenceBar::OnFirst() {
    MoveTo(0);
}

void CSequenceBar::OnPrevious() {
    MoveTo(m_llPosition < 1 ? static_cast<int64_t>(m_ullCount - 1) : m_llPosition - 1);
}

void CSequenceBar::OnNext() {
    const int64_t next = m_llPosition + 1;
    MoveTo(next >= 0 && static_cast<uint64_t>(next) < m_ullCount ? next : 0);
}

void CSequenceBar::OnLast() {
    MoveTo(static_cast<int64_t>(m_ullCount - 1));
}

void CSequenceBar::OnMarker() {
    if (IsMarkerShown())
        MoveTo(m_llMarker);
}

void CSequenceBar::OnReplayBackward() {
    QPushButton& button = m_pControls->replayBackward;
    button.setChecked(!button.isChecked());
    OnReplayToggled(false);
}

void CSequenceBar::OnReplayForward() {
    QPushButton& button = m_pControls->replayForward;
    button.setChecked(!button.isChecked());
    OnReplayToggled(true);
}

void CSequenceBar::OnRateEdited() {
    uint64_t rate = 0;
    const bool accepted = ParseRate(m_pControls->rate.text(), rate);
    if (accepted) {
        m_ullRate = rate;
    }
    Refresh(REFRESH_RATE);
    if (accepted && IsPlaying()) {
        (void)Play(m_bForward, m_ullRate); // a non-zero rate always starts
    }
}

int CSequenceBar::PeriodForRate(uint64_t framesPerSecond) {
    // A 0 ms timer would fire on every pass of the event loop and keep a core busy.
    const uint64_t period = 1000 / std::max<uint64_t>(framesPerSecond, 1);
    return static_cast<int>(std::max<uint64_t>(period, 1));
}

bool CSequenceBar::ParseRate(const QString& text, uint64_t& framesPerSecond) {
    const QString digits = text.trimmed();
    if (digits.isEmpty()) {
        return false;
    }
    uint64_t value = 0;
    for (const QChar ch : digits) {
        if (ch < QLatin1Char('0') || ch > QLatin1Char('9')) {
            return false;
        }
        const auto digit = static_cast<uint64_t>(ch.unicode() - u'0');
        if (value > (std::numeric_limits<uint64_t>::max() - digit) / 10) {
            return false;
        }
        value = value * 10 + digit;
    }
    if (value == 0) {
        return false;
    }
    framesPerSecond = value;
    return true;
}

void CSequenceBar::Refresh(uint32_t flags) {
    if ((flags & REFRESH_RANGE) != 0) {
        RefreshRange();
    }
    if ((flags & REFRESH_POSITION) != 0) {
        RefreshPosition();
    }
    if ((flags & REFRESH_RATE) != 0) {
        m_pControls->rate.setText(QString::number(m_ullRate));
    }
    if ((flags & REFRESH_DIRECTION) != 0) {
        RefreshDirection();
    }
    if ((flags & REFRESH_ENABLING) != 0) {
        RefreshEnabling();
    }
}

void CSequenceBar::RefreshRange() {
    Controls& c = *m_pControls;
    const QSignalBlocker block(c.slider); // a range that clips the value is no user move
    c.slider.setRange(0, m_ullCount == 0 ? 0 : SliderValue(m_ullCount - 1));
    c.slider.setTickInterval(SliderValue(m_ullCount / 10));
    const QString none = QStringLiteral("-");
    c.lowest.setText(m_ullCount == 0 ? none : QStringLiteral("0"));
    c.highest.setText(m_ullCount == 0 ? none : QString::number(m_ullCount - 1));
}

void CSequenceBar::RefreshPosition() {
    Controls& c = *m_pControls;
    if (m_llPosition >= 0 && static_cast<uint64_t>(m_llPosition) < m_ullCount) {
        c.position.setText(QString::number(m_llPosition));
        const QSignalBlocker block(c.slider);
        c.slider.setValue(SliderValue(static_cast<uint64_t>(m_llPosition)));
    } else {
        c.position.clear();
        c.slider.setEnabled(false);
    }
}

void CSequenceBar::RefreshDirection() {
    Controls& c = *m_pControls;
    const bool playing = IsPlaying();
    c.replayBackward.setChecked(playing && !m_bForward);
    c.replayForward.setChecked(playing && m_bForward);
}

void CSequenceBar::RefreshEnabling() {
    Controls& c = *m_pControls;
    const bool stepping = m_bEnabled && m_ullCount != 0 && !IsPlaying();
    for (QWidget* control :
         std::array<QWidget*, 5>{&c.slider, &c.first, &c.previous, &c.next, &c.last}) {
        control->setEnabled(stepping);
    }
    const bool replay = m_bEnabled && m_ullCount > 0;
    c.replayBackward.setEnabled(replay);
    c.replayForward.setEnabled(replay);
    c.rate.setEnabled(m_bEnabled);
    c.toMarker.setEnabled(stepping && IsMarkerShown());
    RefreshMarker();
}

void CSequenceBar::RefreshMarker() {
    Controls& c = *m_pControls;
    if (!IsMarkerShown()) {
        c.marker.hide();
        return;
    }
    // The handle's place for the marked value, as the slider's style draws it.
    QStyleOptionSlider option;
    option.initFrom(&c.slider);
    option.orientation = c.slider.orientation();
    option.minimum = c.slider.minimum();
    option.maximum = c.slider.maximum();
    option.sliderPosition = SliderValue(static_cast<uint64_t>(m_llMarker));
    option.sliderValue = option.sliderPosition;
    option.tickPosition = c.slider.tickPosition();
    const QRect handle = c.slider.style()->subControlRect(QStyle::CC_Slider, &option,
                                                          QStyle::SC_SliderHandle, &c.slider);
    c.marker.setGeometry(handle.center().x() - 1, 0, 3, c.slider.height());
    c.marker.setToolTip(tr("Trigger frame %1").arg(m_llMarker));
    c.marker.show();
    c.marker.raise();
}

bool CSequenceBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &m_pControls->slider && event->type() == QEvent::Resize)
        RefreshMarker();
    return QDockWidget::eventFilter(watched, event);
}

void CSequenceBar::MoveTo(int64_t position) {
    m_llPosition = position;
    Refresh(REFRESH_POSITION);
    if (m_llPosition == m_llLastSent || !m_notify) {
        return;
    }
    m_llLastSent = m_llPosition;
    m_notify(NOTIFY_POSITION, m_llPosition);
}

void CSequenceBar::OnSliderMoved(int value) {
    MoveTo(value);
}

void CSequenceBar::OnTimerTick() {
    if (m_bForward) {
        OnNext();
    } else {
        OnPrevious();
    }
}

void CSequenceBar::OnReplayToggled(bool forward) {
    const QPushButton& button = forward ? m_pControls->replayForward : m_pControls->replayBackward;
    if (button.isChecked()) {
        // A refused start shows below as an unchecked button. A rate of 0 cannot replay: the
        // owner, which has just agreed to a start, hears that the replay is over.
        if (Send(NOTIFY_PLAY_START, 0) == 0 && !Play(forward, m_ullRate)) {
            Send(NOTIFY_PLAY_STOP, 0);
        }
    } else {
        Send(NOTIFY_PLAY_STOP, 0);
        StopPlay();
    }
    // The buttons show what runs: a refused start goes back unchecked.
    Refresh(REFRESH_DIRECTION);
}

int64_t CSequenceBar::Send(uint32_t code, int64_t value) {
    return m_notify ? m_notify(code, value) : 0;
}
