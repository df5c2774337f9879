// The dockable pane "Sequence Control": steps through the images of the current sequence and
// replays them at a chosen rate. It knows nothing of sequences: it holds a count, a position,
// a replay rate and a direction, drives a replay timer, and tells its owner (the view) about
// position changes and replay start and stop through the owner's handler.
//
// Thread: the user-interface thread only.
#pragma once

#include <QDockWidget>

#include <cstdint>
#include <functional>

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
    // ...
    uint64_t m_ullCount = 0;
    int64_t m_llLastSent = -1;
    Notify m_notify;
    bool m_bEnabled = true;
    bool m_bForward = true;
    uint64_t m_ullTimerRate = 0;
    uint64_t m_ullRate = 20;
    int64_t m_llPosition = 0;
};
