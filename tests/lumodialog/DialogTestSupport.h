// Module dialogs of the real library in an offscreen Qt application: a module made by the
// library instance with a notify block that records every event, the dialog widgets found by
// their object names, and an event loop run until a condition holds.
#pragma once

#include "external/LumoNotify.h"
#include "external/LumoParamBlocks.h"
#include "external/LumoResult.h"
#include "tests/lumo/LumoTestLibrary.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QWidget>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

class ModuleDialogTest : public LumoTest {
protected:
    void SetUp() override {
        LumoTest::SetUp();
        setenv("QT_QPA_PLATFORM", "offscreen", 0); // CTest sets it; a direct run may not
        m_app = std::make_unique<QApplication>(m_argc, m_argv);
    }
    void TearDown() override {
        m_modules.clear();
        m_app.reset();
    }

    // A module of the library with the recording notify block; its dialog ID in m_dialogId.
    CLumoModule* NewModule(uint32_t objectId) {
        m_modules.push_back(MakeLumoModule(m_pLumo, objectId));
        CLumoModule* module = m_modules.back().get();
        if (!module)
            return nullptr;
        LumoNotifyBlock block{&ModuleDialogTest::Record, this, {}};
        EXPECT_EQ(module->SetParam(LUMO_PARAM_NOTIFY, LumoArg(&block), sizeof block), LUMO_OK);
        LumoDialogInfo info{};
        EXPECT_EQ(module->GetParam(LUMO_PARAM_DIALOGS, 0, LumoArg(&info)), LUMO_OK);
        m_dialogId = info.dialogId;
        return module;
    }
    // Deletes the module made last, as the chain does.
    void DeleteLastModule() { m_pLumo->DeleteModule(m_modules.back().release()); }
    // The code the module sends for `event` of its dialog.
    uint32_t Code(uint32_t event) const { return m_dialogId << 16 | event; }

    // The module dialog's window (shown or not), null when there is none.
    QWidget* Dialog() const {
        const QString name = QStringLiteral("moduleDialog%1").arg(m_dialogId);
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget->objectName() == name)
                return widget;
        return nullptr;
    }
    template <typename T>
    T* Control(const char* name) const {
        QWidget* dialog = Dialog();
        return dialog ? dialog->findChild<T*>(QString::fromUtf8(name)) : nullptr;
    }
    int DialogCount() const {
        int count = 0;
        const QString name = QStringLiteral("moduleDialog%1").arg(m_dialogId);
        for (QWidget* widget : QApplication::topLevelWidgets())
            count += widget->objectName() == name ? 1 : 0;
        return count;
    }

    // Runs the event loop until `done` holds or `ms` milliseconds have passed; whether it held.
    static bool RunUntil(const std::function<bool()>& done, int ms = 3000) {
        QElapsedTimer timer;
        timer.start();
        while (!done()) {
            if (timer.elapsed() > ms)
                return false;
            QApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(5);
        }
        return true;
    }
    static void RunFor(int ms) {
        (void)RunUntil([] { return false; }, ms);
    }

    std::vector<uint32_t> m_events;
    uint32_t m_dialogId = 0;

private:
    static uint32_t Record(CLumoModule*, void* context, uint32_t code) {
        static_cast<ModuleDialogTest*>(context)->m_events.push_back(code);
        return 1;
    }

    int m_argc = 1;
    char m_name[5] = "test";
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QApplication> m_app;
    std::vector<LumoModulePtr> m_modules;
};
