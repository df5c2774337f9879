// The camera control pane: which buttons show, what they show, and the mask they report.
#include "PaneTests.h"
#include "app/CCamCntrlBar.h"

#include <QPushButton>
#include <QTest>

#include <cstdint>
#include <utility>
#include <vector>

namespace {

using Note = std::pair<uint32_t, uint32_t>;

// Per button: '-' hidden, else '1' checked or '0' not.
QString Shown(const CCamCntrlBar& bar) {
    QString out;
    for (int i = 0; i < CCamCntrlBar::LINES; ++i) {
        const QPushButton* button = bar.Button(i);
        out += button->isHidden() ? '-' : button->isChecked() ? '1' : '0';
    }
    return out;
}

} // namespace

class CamCntrlBarTest : public QObject {
    Q_OBJECT

private slots:
    void StartsWithEightHiddenLines() {
        CCamCntrlBar bar;
        QCOMPARE(bar.windowTitle(), QStringLiteral("Camera Control"));
        QCOMPARE(bar.objectName(), QStringLiteral("CameraControlPane"));
        for (int i = 0; i < CCamCntrlBar::LINES; ++i) {
            const QString name = QStringLiteral("CC%1").arg(i + 1);
            QCOMPARE(bar.Button(i)->text(), name);
            QCOMPARE(bar.findChild<QPushButton*>(name), bar.Button(i));
        }
        QCOMPARE(bar.Button(-1), nullptr);
        QCOMPARE(bar.Button(CCamCntrlBar::LINES), nullptr);
        QCOMPARE(Shown(bar), QStringLiteral("--------"));
    }

    void LinesPastTheCountAreHiddenAndUnchecked() {
        CCamCntrlBar bar;
        bar.SetState(0xF5);
        bar.SetLineCount(4);
        QCOMPARE(Shown(bar), QStringLiteral("1010----"));
        for (int i = 4; i < CCamCntrlBar::LINES; ++i) {
            QVERIFY(!bar.Button(i)->isChecked());
        }
        bar.SetLineCount(8);
        QCOMPARE(Shown(bar), QStringLiteral("10101111"));
        bar.SetEnabled(false);
        QVERIFY(!bar.Button(0)->isEnabled());
        bar.SetEnabled(true);
        QVERIFY(bar.Button(0)->isEnabled());
    }

    void ClickTogglesItsBitAndReportsWholeState() {
        CCamCntrlBar bar;
        std::vector<Note> notes;
        bar.SetNotify(
            [&notes](uint32_t command, uint32_t state) { notes.emplace_back(command, state); });
        bar.SetLineCount(4);
        bar.SetState(15);
        bar.Button(1)->click();
        QCOMPARE(bar.GetState(), 13u);
        QCOMPARE(Shown(bar), QStringLiteral("1011----"));
        bar.Button(1)->click();
        QCOMPARE(notes, (std::vector<Note>{{0, 13}, {0, 15}}));

        bar.SetState(0xF0); // bits past the count stay as they are
        bar.Button(0)->click();
        QCOMPARE(notes.back(), (Note{0, 0xF1}));
        bar.SetNotify({});
        bar.Button(0)->click();
        QCOMPARE(bar.GetState(), 0xF0u);
    }

    void LineNamesPastTheLastAreIgnored() {
        CCamCntrlBar bar;
        bar.SetLineCount(8);
        bar.SetLineName(1, QStringLiteral("CC1B"));
        bar.SetLineName(8, QStringLiteral("CC9"));
        bar.SetLineName(UINT64_MAX, QStringLiteral("CC0"));
        QStringList captions;
        for (int i = 0; i < CCamCntrlBar::LINES; ++i) {
            captions << bar.Button(i)->text();
        }
        QCOMPARE(captions.join(' '), QStringLiteral("CC1 CC1B CC3 CC4 CC5 CC6 CC7 CC8"));
    }
};

int RunCamCntrlBarTests(int argc, char** argv) {
    CamCntrlBarTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "CamCntrlBarTest.moc"
