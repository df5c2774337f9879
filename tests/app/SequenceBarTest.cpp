// The sequence control pane: what it shows, how it steps, replays and talks to its owner.
#include "PaneTests.h"
#include "app/CSequenceBar.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <cstdint>
#include <utility>
#include <vector>

namespace {

using Note = std::pair<uint32_t, int64_t>;

// The owner: records every notification and answers a replay start with `playAnswer`.
struct Owner {
    std::vector<Note> notes;
    int64_t playAnswer = 0;

    void Attach(CSequenceBar& bar) {
        bar.SetNotify([this](uint32_t code, int64_t value) -> int64_t {
            notes.emplace_back(code, value);
            return code == CSequenceBar::NOTIFY_PLAY_START ? playAnswer : 0;
        });
    }
    std::vector<int64_t> Positions() const {
        std::vector<int64_t> positions;
        for (const auto& [code, value] : notes) {
            if (code == CSequenceBar::NOTIFY_POSITION) {
                positions.push_back(value);
            }
        }
        return positions;
    }
};

template <class T>
T& Child(const CSequenceBar& bar, const char* name) {
    T* child = bar.findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr) {
        qFatal("no child %s", name);
    }
    return *child;
}

QString Text(const CSequenceBar& bar, const char* label) {
    return Child<QLabel>(bar, label).text();
}

// Which of slider, "|<", "<", ">", ">|" / "<<", ">>" / rate field are enabled, as "1111/11/1".
QString Enabling(const CSequenceBar& bar) {
    QString out;
    for (const char* name :
         {"PositionSlider", "FirstButton", "PreviousButton", "NextButton", "LastButton", "/",
          "ReplayBackwardButton", "ReplayForwardButton", "/", "PlaybackRate"}) {
        out += name[0] == '/'                          ? QStringLiteral("/")
               : Child<QWidget>(bar, name).isEnabled() ? QStringLiteral("1")
                                                       : QStringLiteral("0");
    }
    return out;
}

} // namespace

class SequenceBarTest : public QObject {
    Q_OBJECT

private slots:
    void EmptyPaneShowsNoRange() {
        CSequenceBar bar;
        QCOMPARE(bar.windowTitle(), QStringLiteral("Sequence Control"));
        QCOMPARE(bar.objectName(), QStringLiteral("SequenceControlPane"));
        QCOMPARE(Text(bar, "FirstPosition"), QStringLiteral("-"));
        QCOMPARE(Text(bar, "LastPosition"), QStringLiteral("-"));
        QCOMPARE(Text(bar, "CurrentPosition"), QString());
        QCOMPARE(Child<QLineEdit>(bar, "PlaybackRate").text(), QStringLiteral("20"));
        QCOMPARE(Enabling(bar), QStringLiteral("00000/00/1"));
        QCOMPARE(Child<QSlider>(bar, "PositionSlider").accessibleName(),
                 QStringLiteral("Position slider"));

        bar.SetCount(5);
        QCOMPARE(Text(bar, "FirstPosition"), QStringLiteral("0"));
        QCOMPARE(Text(bar, "LastPosition"), QStringLiteral("4"));
        QCOMPARE(Child<QSlider>(bar, "PositionSlider").maximum(), 4);
        QCOMPARE(Enabling(bar), QStringLiteral("11111/11/1"));
    }

    void StepsWrapAround() {
        CSequenceBar bar;
        Owner owner;
        owner.Attach(bar);
        bar.SetCount(5);
        bar.SetPosition(4);
        Child<QPushButton>(bar, "NextButton").click();
        QCOMPARE(bar.GetPosition(), 0);
        Child<QPushButton>(bar, "PreviousButton").click();
        QCOMPARE(bar.GetPosition(), 4);
        Child<QPushButton>(bar, "FirstButton").click();
        Child<QPushButton>(bar, "NextButton").click();
        Child<QPushButton>(bar, "LastButton").click();
        QCOMPARE(owner.Positions(), (std::vector<int64_t>{0, 4, 0, 1, 4}));
        QCOMPARE(Text(bar, "CurrentPosition"), QStringLiteral("4"));
        QCOMPARE(Child<QSlider>(bar, "PositionSlider").value(), 4);
    }

    void RepeatedPositionIsSentOnce() {
        CSequenceBar bar;
        Owner owner;
        owner.Attach(bar);
        bar.SetCount(1);
        bar.OnNext(); // 0 wraps to 0
        bar.OnNext();
        bar.OnLast();
        QCOMPARE(owner.Positions(), (std::vector<int64_t>{0}));
    }

    void ShrinkingCountMovesPositionSilently() {
        CSequenceBar bar;
        Owner owner;
        owner.Attach(bar);
        bar.SetCount(10);
        bar.SetPosition(7);
        bar.SetCount(3);
        QCOMPARE(bar.GetPosition(), 2);
        QCOMPARE(Text(bar, "CurrentPosition"), QStringLiteral("2"));
        QCOMPARE(Text(bar, "LastPosition"), QStringLiteral("2"));
        QVERIFY(owner.notes.empty());
    }

    void StepBackToAPositionReportedBeforeTheOwnerMovedIsReported() {
        CSequenceBar bar;
        Owner owner;
        owner.Attach(bar);
        bar.SetCount(5);
        bar.OnNext();
        bar.OnFirst();
        bar.SetPosition(4); // the owner shows image 4 now (new images came in)
        bar.OnFirst();
        QCOMPARE(owner.Positions(), (std::vector<int64_t>{1, 0, 0}));
    }

    void SliderMovedByUserIsReported() {
        CSequenceBar bar;
        Owner owner;
        owner.Attach(bar);
        bar.SetCount(5);
        bar.SetPosition(3); // shown, not a user move
        QSlider& slider = Child<QSlider>(bar, "PositionSlider");
        QCOMPARE(slider.value(), 3);
        slider.triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(bar.GetPosition(), 4);
        QCOMPARE(Text(bar, "CurrentPosition"), QStringLiteral("4"));
        QCOMPARE(owner.Positions(), (std::vector<int64_t>{4}));
    }

    void PeriodFollowsRateAndNeverDropsToZero() {
        QCOMPARE(CSequenceBar::PeriodForRate(25), 40);
        QCOMPARE(CSequenceBar::PeriodForRate(3), 333);
        QCOMPARE(CSequenceBar::PeriodForRate(1000), 1);
        QCOMPARE(CSequenceBar::PeriodForRate(1001), 1);
        QCOMPARE(CSequenceBar::PeriodForRate(UINT64_MAX), 1);
        CSequenceBar bar;
        bar.SetCount(5);
        QVERIFY(bar.Play(true, 25));
        QCOMPARE(bar.TimerInterval(), 40);
        QVERIFY(bar.Play(true, 5000));
        QCOMPARE(bar.TimerInterval(), 1);
        bar.StopPlay();
        QCOMPARE(bar.TimerInterval(), 0);
        QVERIFY(!bar.Play(true, 0));
        QVERIFY(!bar.IsPlaying());
    }

    void ParseRate_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<quint64>("rate");
        QTest::newRow("plain") << "25" << true << quint64{25};
        QTest::newRow("blanks") << " 30\t" << true << quint64{30};
        QTest::newRow("leading zeros") << "007" << true << quint64{7};
        QTest::newRow("largest") << "18446744073709551615" << true << quint64{UINT64_MAX};
        QTest::newRow("negative") << "-5" << false << quint64{0};
        QTest::newRow("plus") << "+5" << false << quint64{0};
        QTest::newRow("text") << "abc" << false << quint64{0};
        QTest::newRow("zero") << "0" << false << quint64{0};
        QTest::newRow("empty") << "" << false << quint64{0};
        QTest::newRow("blank") << "  " << false << quint64{0};
        QTest::newRow("overflow") << "18446744073709551616" << false << quint64{0};
        QTest::newRow("far overflow") << "99999999999999999999" << false << quint64{0};
        QTest::newRow("trailing text") << "12abc" << false << quint64{0};
        QTest::newRow("inner blank") << "1 2" << false << quint64{0};
    }
    void ParseRate() {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(quint64, rate);
        uint64_t parsed = 99;
        QCOMPARE(CSequenceBar::ParseRate(text, parsed), ok);
        QCOMPARE(parsed, ok ? rate : quint64{99});
    }

    void RateFieldKeepsRateOnBadInputAndRetunesReplay() {
        CSequenceBar bar;
        bar.SetCount(5);
        QLineEdit& field = Child<QLineEdit>(bar, "PlaybackRate");
        for (const char* bad : {"0", "abc", "-5"}) {
            field.setText(QString::fromLatin1(bad));
            QTest::keyClick(&field, Qt::Key_Return);
            QCOMPARE(bar.GetRate(), 20u);
            QCOMPARE(field.text(), QStringLiteral("20"));
        }
        QVERIFY(bar.Play(true, bar.GetRate()));
        QCOMPARE(bar.TimerInterval(), 50);
        field.setText(QStringLiteral(" 100 "));
        QTest::keyClick(&field, Qt::Key_Return);
        QCOMPARE(bar.GetRate(), 100u);
        QCOMPARE(field.text(), QStringLiteral("100"));
        QVERIFY(bar.IsPlaying());
        QCOMPARE(bar.TimerInterval(), 10);
    }

    void ForwardWhileReplayingBackwardKeepsTimer() {
        CSequenceBar bar;
        Owner owner;
        owner.Attach(bar);
        bar.SetCount(5);
        bar.SetRate(1); // one tick a second: none falls into this test
        auto& backward = Child<QPushButton>(bar, "ReplayBackwardButton");
        auto& forward = Child<QPushButton>(bar, "ReplayForwardButton");
        backward.click();
        QVERIFY(bar.IsPlaying());
        QVERIFY(!bar.IsForward());
        QVERIFY(backward.isChecked());
        const auto& timer = Child<QTimer>(bar, "ReplayTimer");
        QTRY_VERIFY(timer.remainingTime() < 900);

        forward.click();
        QVERIFY(bar.IsPlaying());
        QVERIFY(bar.IsForward());
        QCOMPARE(bar.TimerInterval(), 1000);
        QVERIFY2(timer.remainingTime() < 900, "the timer was started again");
        QVERIFY(forward.isChecked());
        QVERIFY(!backward.isChecked());
        QCOMPARE(owner.notes, (std::vector<Note>{{1, 0}, {1, 0}}));
    }

    void RefusedStartLeavesButtonUnchecked() {
        CSequenceBar bar;
        Owner owner;
        owner.playAnswer = 1;
        owner.Attach(bar);
        bar.SetCount(5);
        auto& forward = Child<QPushButton>(bar, "ReplayForwardButton");
        forward.click();
        QVERIFY(!bar.IsPlaying());
        QVERIFY(!forward.isChecked());
        QCOMPARE(Enabling(bar), QStringLiteral("11111/11/1"));
        bar.OnReplayBackward();
        QVERIFY(!bar.IsPlaying());
        QVERIFY(!Child<QPushButton>(bar, "ReplayBackwardButton").isChecked());
        QCOMPARE(owner.notes, (std::vector<Note>{{1, 0}, {1, 0}}));
    }

    void ReplayTicksStepAndStopOnSecondClick() {
        for (const bool forward : {true, false}) {
            CSequenceBar bar;
            Owner owner;
            owner.Attach(bar);
            bar.SetCount(3);
            bar.SetRate(200);
            const auto click = [&] { forward ? bar.OnReplayForward() : bar.OnReplayBackward(); };
            click();
            QTRY_VERIFY(owner.Positions().size() >= 4);
            click();
            QVERIFY(!bar.IsPlaying());
            auto positions = owner.Positions();
            positions.resize(4);
            const std::vector<int64_t> expected =
                forward ? std::vector<int64_t>{1, 2, 0, 1} : std::vector<int64_t>{2, 1, 0, 2};
            QCOMPARE(positions, expected);
            QCOMPARE(owner.notes.front(), (Note{1, 0}));
            QCOMPARE(owner.notes.back(), (Note{2, 0}));
        }
    }

    void EnablingFollowsState() {
        CSequenceBar bar;
        bar.SetCount(5);
        QVERIFY(bar.Play(false, 20));
        QCOMPARE(Enabling(bar), QStringLiteral("00000/11/1"));
        QVERIFY(Child<QPushButton>(bar, "ReplayBackwardButton").isChecked());
        bar.SetEnabled(false);
        QCOMPARE(Enabling(bar), QStringLiteral("00000/00/0"));
        bar.StopPlay();
        bar.SetEnabled(true);
        QCOMPARE(Enabling(bar), QStringLiteral("11111/11/1"));
        QVERIFY(!Child<QPushButton>(bar, "ReplayBackwardButton").isChecked());
        bar.SetCount(0);
        QCOMPARE(Enabling(bar), QStringLiteral("00000/00/1"));
        QCOMPARE(Text(bar, "CurrentPosition"), QString());
    }
};

int RunSequenceBarTests(int argc, char** argv) {
    SequenceBarTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "SequenceBarTest.moc"
