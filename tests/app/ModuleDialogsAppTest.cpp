// The module dialogs inside the desktop program: a change in a dialog is seen in the picture at
// once, and which dialogs are open comes back with the chain at the next start.
#include "AppFixture.h"

#include "app/CKavrinDemoView.h"
#include "external/LumoModule.h"
#include "external/LumoModuleIds.h"
#include "external/LumoParamBlocks.h"
#include "processing/CImgProcessChain.h"

#include <QDialog>
#include <QDoubleSpinBox>
#include <QMouseEvent>
#include <QScrollBar>
#include <QtTest>

namespace {

// The dialog index of module `objectId` in the view's chain; -1 when it has none.
int DialogOf(CImgProcessChain& chain, uint32_t objectId) {
    platform::RecursiveLock lock(chain.ChainLock());
    for (uint64_t k = 0; k < chain.GetDialogCount(); ++k) {
        CLumoModule* module = chain.GetDialogModule(k);
        if (module && module->GetObjectId() == objectId)
            return int(k);
    }
    return -1;
}

bool IsOpen(CImgProcessChain& chain, uint32_t objectId) {
    const int k = DialogOf(chain, objectId);
    platform::RecursiveLock lock(chain.ChainLock());
    const ChainDialogEntry* entry = k < 0 ? nullptr : chain.GetDialogEntry(uint64_t(k));
    return entry && entry->module->IsDialogOpen(entry->dialogId) != 0;
}

// The shown dialog of module `objectId` (its object name carries the dialog ID).
QDialog* ShownDialog(uint32_t objectId) {
    const QString name = QStringLiteral("moduleDialog%1").arg(objectId << 8 | 1);
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->objectName() == name && window->isVisible())
            return qobject_cast<QDialog*>(window);
    return nullptr;
}

} // namespace

class ModuleDialogsAppTest : public QObject {
    Q_OBJECT

private slots:
    void aChangeInADialogIsSeenInThePicture() {
        AppHome home;
        AppRun run(true);
        QVERIFY(run.Started());
        QVERIFY(GrabSmallSequence(run));
        CKavrinDemoView* view = run.Frame().GetActiveView();
        CImgProcessChain* chain = view->Chain();
        QVERIFY(chain);
        QTRY_VERIFY_WITH_TIMEOUT(!view->DisplayedImage().isNull(), 10000);
        const QImage before = view->DisplayedImage().copy();
        const int k = DialogOf(*chain, LUMO_ID_BLACK_GAIN);
        QVERIFY(k >= 0);
        QCOMPARE(chain->ShowDialog(view, uint64_t(k), true), 1u);
        QDialog* dialog = ShownDialog(LUMO_ID_BLACK_GAIN);
        QVERIFY(dialog);
        auto* gain = dialog->findChild<QDoubleSpinBox*>(QStringLiteral("gain"));
        QVERIFY(gain);
        gain->setValue(gain->value() * 3);
        // No new frame arrives: only the dialog's change event makes the view reprocess.
        QTRY_VERIFY_WITH_TIMEOUT(view->DisplayedImage() != before, 10000);
    }

    void theCursorReachesTheDialogModules() {
        AppHome home;
        AppRun run(true);
        QVERIFY(run.Started());
        QVERIFY(GrabSmallSequence(run));
        CKavrinDemoView* view = run.Frame().GetActiveView();
        view->SetDisplayZoom(1, 1);
        view->horizontalScrollBar()->setValue(0);
        view->verticalScrollBar()->setValue(0);
        CImgProcessChain& chain = *view->Chain();
        CLumoModule* module = nullptr;
        {
            platform::RecursiveLock lock(chain.ChainLock());
            module = chain.GetDialogModule(uint64_t(DialogOf(chain, LUMO_ID_BLACK_GAIN)));
        }
        QVERIFY(module);
        auto cursorOf = [&] {
            uint32_t position[2] = {0, 0};
            return module->GetParam(LUMO_PARAM_CURSOR, LumoArg(position), 0) == 0
                       ? std::pair<uint32_t, uint32_t>(position[0], position[1])
                       : std::pair<uint32_t, uint32_t>(1, 1);
        };
        const QPoint inside(7, 5);
        QMouseEvent move(QEvent::MouseMove, QPointF(inside),
                         view->viewport()->mapToGlobal(QPointF(inside)), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &move);
        QCOMPARE(cursorOf(), (std::pair<uint32_t, uint32_t>(7, 5)));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(view, &leave);
        QCOMPARE(cursorOf(),
                 (std::pair<uint32_t, uint32_t>(LUMO_CURSOR_OUTSIDE, LUMO_CURSOR_OUTSIDE)));
        QApplication::sendEvent(view->viewport(), &move); // the same pixel again, after leaving
        QCOMPARE(cursorOf(), (std::pair<uint32_t, uint32_t>(7, 5)));
    }

    void openDialogsComeBackWithTheChain() {
        AppHome home;
        {
            AppRun run(true);
            QVERIFY(run.Started());
            QVERIFY(GrabSmallSequence(run));
            CKavrinDemoView* view = run.Frame().GetActiveView();
            CImgProcessChain& chain = *view->Chain();
            for (uint32_t id : {LUMO_ID_BLACK_GAIN, LUMO_ID_CONTRAST_WINDOW})
                QCOMPARE(chain.ShowDialog(view, uint64_t(DialogOf(chain, id)), true), 1u);
            // The user closes one with the window's own button.
            QDialog* closed = ShownDialog(LUMO_ID_BLACK_GAIN);
            QVERIFY(closed);
            closed->close();
            QTRY_VERIFY(!IsOpen(chain, LUMO_ID_BLACK_GAIN));
            QVERIFY(IsOpen(chain, LUMO_ID_CONTRAST_WINDOW));
            run.End(); // the chain is saved
        }
        AppRun again(true);
        QVERIFY(again.Started());
        QVERIFY(GrabSmallSequence(again));
        CImgProcessChain& chain = *again.Frame().GetActiveView()->Chain();
        QTRY_VERIFY_WITH_TIMEOUT(IsOpen(chain, LUMO_ID_CONTRAST_WINDOW), 10000);
        QVERIFY(ShownDialog(LUMO_ID_CONTRAST_WINDOW));
        QVERIFY(!IsOpen(chain, LUMO_ID_BLACK_GAIN));
    }
};

QTEST_MAIN(ModuleDialogsAppTest)
#include "ModuleDialogsAppTest.moc"
