// The file modules' dialog inside a Qt application (offscreen): it opens on the application's
// thread, hands back the chosen name and type, and reports cancel; off that thread it refuses.
#include "tests/lumo/FileTestSupport.h"

#include <QApplication>
#include <QFileDialog>
#include <QTimer>
#include <functional>
#include <thread>

namespace {

// Runs `act` on the dialog once it is open.
void WhenDialogOpens(std::function<void(QFileDialog*)> act) {
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(dialog);
        }
    });
    timer->start(20);
}

} // namespace

TEST_F(FileModuleTest, DialogRunsInsideAnApplicationOnly) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);

    ModulePtr writer = NewWriter();
    writer->SetParam(LUMO_PARAM_TITLE, 0, LumoArg("Save sequence"));
    const std::string chosen = m_folder / "picked.png";
    WhenDialogOpens([&](QFileDialog* dialog) {
        EXPECT_EQ(dialog->windowTitle().toStdString(), "Save sequence");
        dialog->selectNameFilter("PNG, one file per image (*.png)");
        dialog->selectFile(QString::fromStdString(chosen));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    uint32_t cancelled = 7;
    ASSERT_EQ(writer->RunDialog(0, nullptr, &cancelled), 0u);
    EXPECT_EQ(cancelled, 0u);
    std::vector<char> room(4096);
    writer->GetParam(LUMO_PARAM_FILE_NAME, LumoArg(room.data()), room.size());
    EXPECT_EQ(std::string(room.data()), chosen);
    uint32_t type = 0;
    writer->GetParam(LUMO_PARAM_FILE_TYPE, LumoArg(&type), 0);
    EXPECT_EQ(type, LUMO_FILE_PNG);

    ModulePtr reader = NewReader();
    WhenDialogOpens([](QFileDialog* dialog) { dialog->reject(); });
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
