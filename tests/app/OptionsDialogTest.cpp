// The application options dialog: its size texts and memory check, the edit fields, the Enter
// key, the OK protocol with the board order, and the view's command that runs it.
#include "AppFixture.h"

#include "app/AppOptionsFigures.h"
#include "app/CAppOptionsDlg.h"
#include "app/CommandIds.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

namespace {

constexpr uint64_t GIB = 1ULL << 30;

appoptions::CameraFigures Camera(uint64_t held = 10) {
    return appoptions::CameraFigures{"Kavrin KX-220B 200fps", 2320, 1726, 1, held};
}

QLineEdit* Edit(CAppOptionsDlg& dialog, const char* name) {
    return dialog.findChild<QLineEdit*>(QString::fromLatin1(name));
}

// The edit field loses the focus, as when the user tabs or clicks away.
void LeaveField(QLineEdit* edit, const QString& text) {
    edit->setText(text);
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(edit, &out);
}

} // namespace

class OptionsDialogTest : public QObject {
    Q_OBJECT

private slots:
    void sizeTextsAtTheirEdges() {
        using appoptions::SizeText;
        QCOMPARE(SizeText(0), std::string("0 Bytes"));
        QCOMPARE(SizeText(999), std::string("999 Bytes"));
        QCOMPARE(SizeText(1000), std::string("1.0 KB, (1000 Bytes)"));
        QCOMPARE(SizeText(1023), std::string("1.0 KB, (1023 Bytes)"));
        QCOMPARE(SizeText(1024), std::string("1.0 KiB, 1.0 KB, (1024 Bytes)"));
        QCOMPARE(SizeText(1048576), std::string("1.0 MiB, 1.0 MB, (1048576 Bytes)"));
        // Tenths are truncated quotients of whole divisors: 1535 / 102 = 15, 1535 / 100 = 15.
        QCOMPARE(SizeText(1535), std::string("1.5 KiB, 1.5 KB, (1535 Bytes)"));
        QCOMPARE(SizeText(1099511627776ULL), std::string("1.0 TiB, 1.0 TB, (1099511627776 Bytes)"));
        QCOMPARE(SizeText(UINT64_MAX),
                 std::string("16777216.0 TiB, 18446744.0 TB, (18446744073709551615 Bytes)"));
    }

    void bytesPerPixelFromTheFormatWord() {
        QCOMPARE(appoptions::BytesPerPixel(8 | 8 << 6 | 1 << 12), 1u);
        QCOMPARE(appoptions::BytesPerPixel(16 | 12 << 6 | 1 << 12), 2u);
        QCOMPARE(appoptions::BytesPerPixel(8 | 8 << 6 | 4 << 12), 4u);
        QCOMPARE(appoptions::BytesPerPixel(16 | 16 << 6 | 3 << 12), 6u);
    }

    void editFieldsReadLeadingDigitsOnly() {
        using appoptions::ParseUnsigned;
        QCOMPARE(ParseUnsigned(" 250", UINT64_MAX), std::optional<uint64_t>(250));
        QCOMPARE(ParseUnsigned("12abc", UINT64_MAX), std::optional<uint64_t>(12));
        QVERIFY(!ParseUnsigned("abc", UINT64_MAX));
        QVERIFY(!ParseUnsigned("", UINT64_MAX));
        QVERIFY(!ParseUnsigned("-1", UINT64_MAX)); // not wrapped to a huge count
        QCOMPARE(ParseUnsigned("4294967295", UINT32_MAX), std::optional<uint64_t>(UINT32_MAX));
        QVERIFY(!ParseUnsigned("4294967296", UINT32_MAX));
        QCOMPARE(ParseUnsigned("18446744073709551615", UINT64_MAX),
                 std::optional<uint64_t>(UINT64_MAX));
        QVERIFY(!ParseUnsigned("18446744073709551616", UINT64_MAX));
    }

    void statusLineAndValidity() {
        const appoptions::CameraFigures camera = Camera(10); // 10 x 4,004,320 bytes held
        const uint64_t image = 2320ULL * 1726;
        auto texts = [&](uint64_t n, std::optional<uint64_t> memory) {
            return appoptions::ComputeTexts(&camera, {1726, n}, memory, 0, false);
        };
        QCOMPARE(texts(100, GIB).status, std::string("Buffer settings ok."));
        QCOMPARE(texts(100, GIB).colour, appoptions::StatusColour::Green);
        QCOMPARE(texts(0, GIB).status, std::string("At least 1 buffer is required."));
        QCOMPARE(texts(0, GIB).colour, appoptions::StatusColour::Red);
        // 1 GiB free plus the 10 held buffers fit (GIB + 10 * image) / image buffers.
        const uint64_t fitting = (GIB + 10 * image) / image;
        QCOMPARE(texts(fitting + 1, GIB).status,
                 "Physical memory exceeded. Please reduce buffers to " + std::to_string(fitting) +
                     ".");
        QVERIFY(appoptions::IsValid(&camera, {1726, fitting}, GIB));
        QVERIFY(!appoptions::IsValid(&camera, {1726, fitting + 1}, GIB));
        // Reducing below what the camera holds is valid whatever memory is free.
        QVERIFY(appoptions::IsValid(&camera, {1726, 5}, 0));
        QCOMPARE(texts(5, 0).colour, appoptions::StatusColour::Green);
        // Unknown memory: no status, and valid.
        QCOMPARE(texts(100, std::nullopt).status, std::string());
        QCOMPARE(texts(100, std::nullopt).available, std::string("- Unknown - "));
        QVERIFY(appoptions::IsValid(&camera, {1726, 100}, std::nullopt));
        QVERIFY(!appoptions::IsValid(nullptr, {1726, 100}, GIB));
        QVERIFY(!appoptions::IsValid(&camera, {0, 100}, GIB));
        // N x H x w x b beyond 64 bits is refused, not wrapped to a small number that fits.
        const uint64_t absurd = 1000000000000000ULL;
        QCOMPARE(texts(absurd, GIB).colour, appoptions::StatusColour::Red);
        QCOMPARE(texts(absurd, GIB).required, std::string("- Too large -"));
        QVERIFY(!appoptions::IsValid(&camera, {1726, absurd}, UINT64_MAX));
        // Without a camera every camera figure is unknown and the status line stays empty.
        const appoptions::Texts none = appoptions::ComputeTexts(nullptr, {1726, 100}, GIB, 0, 0);
        QCOMPARE(none.camera, std::string("- NONE -"));
        QCOMPARE(none.required, std::string("- Unknown - "));
        QCOMPARE(none.status, std::string());
    }

    void lettersRestoreTheOldNumberAndZeroIsRefusedOnOk() {
        ModalWatcher watcher;
        CAppOptionsDlg dialog;
        dialog.SetCamera(Camera());
        dialog.SetMemoryProbe([] { return std::optional<uint64_t>(GIB); });
        dialog.SetNewHeight(1726);
        dialog.SetBufferCount(120);
        dialog.show();
        QLineEdit* buffers = Edit(dialog, "numberOfBuffers");
        LeaveField(buffers, QStringLiteral("lots"));
        QCOMPARE(buffers->text(), QStringLiteral("120"));
        QCOMPARE(dialog.GetBufferCount(), 120u);
        LeaveField(buffers, QStringLiteral("0"));
        QCOMPARE(dialog.CurrentTexts().status, std::string("At least 1 buffer is required."));
        auto* status = dialog.findChild<QLabel*>(QStringLiteral("bufferStatus"));
        QCOMPARE(status->palette().color(QPalette::WindowText), QColor(128, 0, 0));
        dialog.findChild<QPushButton*>(QStringLiteral("okButton"))->click();
        QCOMPARE(watcher.texts, QStringList{QStringLiteral("Invalid settings!")});
        QCOMPARE(watcher.titles, QStringList{QStringLiteral("Error")});
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }

    void enterAppliesTheBufferCountAndKeepsTheDialogOpen() {
        CAppOptionsDlg dialog;
        dialog.SetCamera(Camera());
        dialog.SetFrameRate(200.0, false);
        dialog.SetBufferCount(100);
        dialog.SetNewHeight(1726);
        dialog.show();
        QCOMPARE(dialog.CurrentTexts().recordingTime, std::string("0.50 s at 200.0 fps (nominal)"));
        QLineEdit* buffers = Edit(dialog, "numberOfBuffers");
        buffers->setFocus();
        buffers->setText(QStringLiteral("400"));
        QTest::keyClick(buffers, Qt::Key_Return);
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.GetBufferCount(), 400u);
        QCOMPARE(dialog.CurrentTexts().recordingTime, std::string("2.00 s at 200.0 fps (nominal)"));
        // Enter in any other field does nothing: the height stays until the field is left.
        QLineEdit* height = Edit(dialog, "newYResolution");
        height->setFocus();
        height->setText(QStringLiteral("800"));
        QTest::keyClick(height, Qt::Key_Return);
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.GetNewHeight(), 1726u);
    }

    void okHandsTheBoardOrderToTheBinding() {
        std::vector<uint32_t> handed;
        CAppOptionsDlg dialog;
        dialog.SetCamera(Camera());
        dialog.SetMemoryProbe([] { return std::optional<uint64_t>(GIB); });
        dialog.SetNewHeight(1726);
        dialog.SetBufferCount(20);
        dialog.SetBoards({{"microEnable IV AD4-CL", 0x1001}, {"microEnable IV VD4-CL", 0x2A}});
        dialog.SetReorderBoards([&](const std::vector<uint32_t>& serials) { handed = serials; });
        dialog.show();
        auto* list = dialog.findChild<QListWidget*>(QStringLiteral("boardOrderList"));
        QCOMPARE(list->item(1)->text(), QStringLiteral("microEnable IV VD4-CL [SN: 0x0000002A]"));
        list->setCurrentRow(1);
        dialog.findChild<QPushButton*>(QStringLiteral("moveUpButton"))->click();
        QVERIFY(handed.empty());
        dialog.findChild<QPushButton*>(QStringLiteral("okButton"))->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(handed, (std::vector<uint32_t>{0x2A, 0x1001}));
    }

    void theViewsCommandStoresWhatOkReturns() {
        AppHome home;
        AppRun run;
        QVERIFY(run.Started());
        QString camera;
        QTimer::singleShot(50, [&] {
            auto* dialog = qobject_cast<CAppOptionsDlg*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            camera = QString::fromStdString(dialog->CurrentTexts().camera);
            Edit(*dialog, "numberOfBuffers")->setText(QStringLiteral("37"));
            Edit(*dialog, "newYResolution")->setText(QStringLiteral("600"));
            dialog->accept();
        });
        QVERIFY(run.Trigger(cmd::ID_APP_OPTIONS));
        QVERIFY(camera.endsWith(QStringLiteral("x1726)")));
        QCOMPARE(run.App().GetBufferCount(), 37u);
        QCOMPARE(run.App().GetImageHeight(), 600u);
    }

    void thePostTriggerShareIsASpinBoxTheApplicationKeeps() {
        AppHome home;
        AppRun run;
        QVERIFY(run.Started());
        QCOMPARE(run.App().GetPostTriggerPercent(), 50u);
        QList<int> shown;
        const auto answer = [&](int value) {
            auto* dialog = qobject_cast<CAppOptionsDlg*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            auto* spin = dialog->findChild<QSpinBox*>(QStringLiteral("postTrigger"));
            if (!spin || spin->accessibleName() != QStringLiteral("Post-trigger share") ||
                spin->minimum() != 0 || spin->maximum() != 100)
                return dialog->reject();
            shown << spin->value();
            spin->setValue(value);
            dialog->accept();
        };
        QTimer::singleShot(50, [&] { answer(80); });
        QVERIFY(run.Trigger(cmd::ID_APP_OPTIONS));
        QCOMPARE(run.App().GetPostTriggerPercent(), 80u);
        // A share above 100 % cannot be typed: the spin box keeps it at 100.
        QTimer::singleShot(50, [&] { answer(250); });
        QVERIFY(run.Trigger(cmd::ID_APP_OPTIONS));
        QCOMPARE(shown, (QList<int>{50, 80}));
        QCOMPARE(run.App().GetPostTriggerPercent(), 100u);
    }
};

QTEST_MAIN(OptionsDialogTest)
#include "OptionsDialogTest.moc"
