// The dockable pane "Sequence Control": steps through the images of the current sequence and
// replays them at a chosen rate. It knows nothing of sequences: it holds a count, a position,
// a replay rate, a direction and a marker (the trigger frame of a triggered grab, drawn as a
// tick on the slider with a button that steps to it), drives a replay timer, and tells its owner
// (the view) about position changes and replay start and stop through the owner's handler.
//
// Thread: the user-interface thread only.
#pragma once

#include <QDockWidget>

#include <cstdint>
#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QTimer;

class CSequenceBar final : public QDockWidget {
    Q_OBJECT

public:
    // Notification codes handed to the owner as (code, value).
    static constexpr uint32_t NOTIFY_POSITION = 0;   // value: the new position
    static constexpr uint32_t NOTIFY_PLAY_START = 1; // value 0; a non-zero answer refuses
    static constexpr uint32_t NOTIFY_PLAY_STOP = 2;  // value 0
    // The owner's handler, called synchronously; its answer matters for NOTIFY_PLAY_START.
    using Notify = std::function<int64_t(uint32_t code, int64_t value)>;

    explicit CSequenceBar(QWidget* parent = nullptr);
    ~CSequenceBar() override;

    // An empty handler means no owner: nothing is sent.
    void SetNotify(Notify notify);
    // count := value; a position at or past the end moves to count - 1 (no notification).
    void SetCount(uint64_t count);
    // position := value; shown, not notified.
    void SetPosition(int64_t position);
    int64_t GetPosition() const { return m_llPosition; }
    uint64_t GetCount() const { return m_ullCount; }
    // The marked position; -1 (or any position outside the count) shows no marker.
    void SetMarker(int64_t position);
    int64_t GetMarker() const { return m_llMarker; }
    // Whether the marker is drawn now (a marker inside the count).
    bool IsMarkerShown() const;
    // The replay rate in frames per second, shown in the rate field.
    void SetRate(uint64_t framesPerSecond);
    uint64_t GetRate() const { return m_ullRate; }
    void SetEnabled(bool enabled);
    // Starts (or retunes) the replay timer; forward = true runs ">>". False when the timer
    // could not be started.
    bool Play(bool forward, uint64_t framesPerSecond);
    bool IsPlaying() const;
    bool IsForward() const { return m_bForward; }
    void StopPlay();
    // The running timer's period in milliseconds; 0 when not replaying.
    int TimerInterval() const;

    // The user's steps, as the buttons run them (also used by tests).
    void OnFirst();
    void OnPrevious();
    void OnNext();
    void OnLast();
    void OnMarker();         // "T" clicked: to the marked position
    void OnReplayBackward(); // "<<" clicked
    void OnReplayForward();  // ">>" clicked
    // The rate field's text taken as the user left it.
    void OnRateEdited();

    // The period of a replay timer for `framesPerSecond`: 1000 / rate milliseconds, never
    // below 1 ms.
    static int PeriodForRate(uint64_t framesPerSecond);
    // Reads a rate typed by the user: a whole positive decimal number that fits; false for
    // anything else (empty, 0, negative, text, overflow).
    static bool ParseRate(const QString& text, uint64_t& framesPerSecond);

private:
    // What a refresh redraws, by flag bits.
    static constexpr uint32_t REFRESH_RANGE = 1u << 0;
    static constexpr uint32_t REFRESH_POSITION = 1u << 1;
    static constexpr uint32_t REFRESH_RATE = 1u << 2;
    static constexpr uint32_t REFRESH_DIRECTION = 1u << 3;
    static constexpr uint32_t REFRESH_ENABLING = 1u << 31;
    static constexpr uint32_t REFRESH_ALL =
        REFRESH_RANGE | REFRESH_POSITION | REFRESH_RATE | REFRESH_DIRECTION | REFRESH_ENABLING;

    struct Controls;

    void Refresh(uint32_t flags);
    void RefreshRange();
    void RefreshPosition();
    void RefreshDirection();
    void RefreshEnabling();
    void RefreshMarker();
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Shows the new position and tells the owner about it.
    void MoveTo(int64_t position);
    void OnSliderMoved(int value);
    void OnTimerTick();
    // The protocol of "<<" and ">>" once the button has toggled its check state.
    void OnReplayToggled(bool forward);
    int64_t Send(uint32_t code, int64_t value);

    uint64_t m_ullCount = 0;
    int64_t m_llLastSent = -1;
    Notify m_notify;
    bool m_bEnabled = true;
    bool m_bForward = true;
    uint64_t m_ullTimerRate = 0;
    uint64_t m_ullRate = 20;
    int64_t m_llPosition = 0;
    int64_t m_llMarker = -1;
    // The widgets go first when the pane is destroyed, while the members above still hold.
    std::unique_ptr<Controls> m_pControls;
};
