// The file modules' dialog inside a Qt application (offscreen): it opens on the application's
// thread, hands back the chosen name and type, and reports cancel; off that thread it refuses.
#include "tests/lumo/FileTestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QTimer>
#include <functional>
#include <memory>
#include <thread>

namespace {

// Runs `act` on the file dialog while it is shown (again on every tick until it has closed: a
// dialog still setting itself up may ignore the first try). A dialog still open after ten
// seconds is rejected, so that the test fails instead of waiting for ever.
void WhenDialogOpens(std::function<void(QFileDialog*)> act) {
    struct State {
        int ticks = 0;
        bool acted = false;
    };
    auto* timer = new QTimer(qApp);
    auto state = std::make_shared<State>();
    QObject::connect(timer, &QTimer::timeout, [timer, state, act] {
        QFileDialog* dialog = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* candidate = qobject_cast<QFileDialog*>(widget);
                candidate && candidate->isVisible())
                dialog = candidate;
        const bool late = ++state->ticks > 200;
        if (dialog && !late) {
            act(dialog);
            state->acted = true;
            return;
        }
        if (!dialog && !state->acted && !late)
            return; // not shown yet
        if (late) {
            ADD_FAILURE() << "the file dialog did not show or did not close";
            if (dialog)
                QMetaObject::invokeMethod(dialog, "reject");
        }
        timer->stop();
        timer->deleteLater();
    });
    timer->start(50);
}

} // namespace

TEST_F(FileModuleTest, DialogRunsInsideAnApplicationOnly) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);

    ModulePtr writer = NewWriter();
    ASSERT_EQ(writer->SetParam(LUMO_PARAM_TITLE, 0, LumoArg("Save sequence")), 0u);
    const std::string chosen = m_folder / "picked.png";
    // The dialog starts at the module's file name; it is accepted once it shows that file.
    ASSERT_EQ(writer->SetParam(LUMO_PARAM_FILE_NAME, LumoArg(chosen.c_str()), 0), 0u);
    // "Verify after saving" shows the writer's parameter 343; the user's choice goes back.
    ASSERT_EQ(writer->SetParam(LUMO_PARAM_VERIFY, 1, 0), 0u);
    WhenDialogOpens([&, step = std::make_shared<int>(0)](QFileDialog* dialog) {
        if ((*step)++ == 0) {
            EXPECT_EQ(dialog->windowTitle().toStdString(), "Save sequence");
            auto* verify = dialog->findChild<QCheckBox*>("VerifyAfterSaving");
            ASSERT_NE(verify, nullptr);
            EXPECT_EQ(verify->accessibleName().toStdString(), "Verify after saving");
            EXPECT_TRUE(verify->isChecked());
            verify->setChecked(false);
            dialog->selectNameFilter("PNG, one file per image (*.png)");
            dialog->selectFile(QString::fromStdString(chosen));
        } else if (dialog->selectedFiles().value(0).toStdString() == chosen) {
            QMetaObject::invokeMethod(dialog, "done", Q_ARG(int, QDialog::Accepted));
        }
    });
    // The dialog's choice replaces it.
    ASSERT_EQ(writer->SetParam(LUMO_PARAM_FILE_TYPE, LUMO_FILE_BMP, 0), 0u);
    uint32_t cancelled = 7;
    ASSERT_EQ(writer->RunDialog(0, nullptr, &cancelled), 0u);
    EXPECT_EQ(cancelled, 0u);
    std::vector<char> room(4096);
    ASSERT_EQ(writer->GetParam(LUMO_PARAM_FILE_NAME, LumoArg(room.data()), room.size()), 0u);
    EXPECT_EQ(std::string(room.data()), chosen);
    uint32_t type = 0;
    ASSERT_EQ(writer->GetParam(LUMO_PARAM_FILE_TYPE, LumoArg(&type), 0), 0u);
    EXPECT_EQ(type, LUMO_FILE_PNG);
    uint32_t verify = 7;
    ASSERT_EQ(writer->GetParam(LUMO_PARAM_VERIFY, LumoArg(&verify), 0), 0u);
    EXPECT_EQ(verify, 0u);

    ModulePtr reader = NewReader();
    WhenDialogOpens([](QFileDialog* dialog) {
        QMetaObject::invokeMethod(dialog, "done", Q_ARG(int, QDialog::Rejected));
    });
    cancelled = 7;
    EXPECT_EQ(reader->RunDialog(0, nullptr, &cancelled), 0u);
    EXPECT_EQ(cancelled, 1u);

    std::thread other([&] {
        uint32_t flag = 0;
        EXPECT_NE(reader->RunDialog(0, nullptr, &flag), 0u);
        EXPECT_EQ(flag, 1u);
    });
    other.join();
}
