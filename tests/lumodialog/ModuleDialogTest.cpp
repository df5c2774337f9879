// The module dialog framework: open, raise, close and the events the chain hears; a user who
// closes the window; a module deleted with its dialog open; modal runs; and the places where no
// dialog can open (another thread, no application).
#include "tests/lumodialog/DialogTestSupport.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QTimer>
#include <thread>

namespace {

TEST_F(ModuleDialogTest, OpenChangeAndCloseReachTheModuleAndTheChain) {
    CLumoModule* module = NewModule(LUMO_ID_BLACK_GAIN);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->IsDialogOpen(m_dialogId), 0u);
    ASSERT_EQ(module->OpenDialog(m_dialogId, nullptr), LUMO_OK);
    EXPECT_EQ(module->IsDialogOpen(m_dialogId), 1u);
    ASSERT_NE(Dialog(), nullptr);
    EXPECT_EQ(Dialog()->windowTitle().toStdString(), "Black Level / Gain");
    EXPECT_EQ(module->OpenDialog(m_dialogId + 1, nullptr), LUMO_E_INVALIDARG);

    auto* gain = Control<QDoubleSpinBox>("gain");
    ASSERT_NE(gain, nullptr);
    EXPECT_FALSE(gain->accessibleName().isEmpty());
    auto* black = Control<QDoubleSpinBox>("blackLevel");
    ASSERT_NE(black, nullptr);
    gain->setValue(2.5);
    black->setValue(16.0);
    LumoBlackGainBlock block{};
    ASSERT_EQ(module->GetParam(LUMO_PARAM_BLOCK12, LumoArg(&block), sizeof block), LUMO_OK);
    EXPECT_DOUBLE_EQ(block.gain, 2.5);
    EXPECT_DOUBLE_EQ(block.black, 16.0);
    EXPECT_EQ(m_events, std::vector<uint32_t>(2, Code(LUMO_EVENT_CHANGED)));

    // A second open raises the same dialog.
    ASSERT_EQ(module->OpenDialog(m_dialogId, nullptr), LUMO_OK);
    EXPECT_EQ(DialogCount(), 1);

    m_events.clear();
    ASSERT_EQ(module->CloseDialog(m_dialogId), LUMO_OK);
    EXPECT_EQ(m_events, std::vector<uint32_t>{Code(LUMO_EVENT_DIALOG_CLOSED)});
    EXPECT_EQ(module->IsDialogOpen(m_dialogId), 0u);
    EXPECT_EQ(DialogCount(), 0);
    // Closing a closed dialog tells nobody.
    ASSERT_EQ(module->CloseDialog(m_dialogId), LUMO_OK);
    EXPECT_EQ(m_events.size(), 1u);
}

TEST_F(ModuleDialogTest, UserClosingTheWindowOrPressingCloseReportsClosed) {
    CLumoModule* module = NewModule(LUMO_ID_ORIENTATION);
    ASSERT_NE(module, nullptr);
    ASSERT_EQ(module->OpenDialog(m_dialogId, nullptr), LUMO_OK);
    ASSERT_NE(Dialog(), nullptr);
    EXPECT_TRUE(Dialog()->close());
    EXPECT_EQ(m_events, std::vector<uint32_t>{Code(LUMO_EVENT_DIALOG_CLOSED)});
    EXPECT_EQ(module->IsDialogOpen(m_dialogId), 0u);

    // Opened again: the same window shows; its Close button reports the same.
    ASSERT_EQ(module->OpenDialog(m_dialogId, nullptr), LUMO_OK);
    EXPECT_EQ(module->IsDialogOpen(m_dialogId), 1u);
    EXPECT_EQ(DialogCount(), 1);
    auto* buttons = Control<QDialogButtonBox>("buttons");
    ASSERT_NE(buttons, nullptr);
    ASSERT_NE(buttons->button(QDialogButtonBox::Close), nullptr);
    buttons->button(QDialogButtonBox::Close)->click();
    EXPECT_EQ(m_events, (std::vector<uint32_t>{Code(LUMO_EVENT_DIALOG_CLOSED),
                                               Code(LUMO_EVENT_DIALOG_CLOSED)}));
    EXPECT_EQ(module->IsDialogOpen(m_dialogId), 0u);
}

TEST_F(ModuleDialogTest, ModuleDeletedWithItsDialogOpenTakesTheDialogAlong) {
    // The statistics dialog reads its module every 100 ms while it is shown.
    CLumoModule* module = NewModule(LUMO_ID_STATISTICS);
    ASSERT_NE(module, nullptr);
    ASSERT_EQ(module->OpenDialog(m_dialogId, nullptr), LUMO_OK);
    RunFor(150);
    ASSERT_NE(Dialog(), nullptr);
    DeleteLastModule();
    EXPECT_EQ(Dialog(), nullptr);
    RunFor(300); // no timer may reach the deleted module
    EXPECT_TRUE(m_events.empty());
}

TEST_F(ModuleDialogTest, ParentWindowDestroyedFirstLeavesAHandleThatOpensAnew) {
    CLumoModule* module = NewModule(LUMO_ID_ORIENTATION);
    ASSERT_NE(module, nullptr);
    auto parent = std::make_unique<QWidget>();
    ASSERT_EQ(module->OpenDialog(m_dialogId, parent.get()), LUMO_OK);
    EXPECT_EQ(module->IsDialogOpen(m_dialogId), 1u);
    parent.reset(); // Qt deletes the dialog with its parent
    EXPECT_EQ(module->IsDialogOpen(m_dialogId), 0u);
    ASSERT_EQ(module->OpenDialog(m_dialogId, nullptr), LUMO_OK);
    EXPECT_EQ(module->IsDialogOpen(m_dialogId), 1u);
    ASSERT_EQ(module->CloseDialog(m_dialogId), LUMO_OK);
}

TEST_F(ModuleDialogTest, ModalRunReportsOkAndCancel) {
    CLumoModule* module = NewModule(LUMO_ID_CONTRAST_WINDOW);
    ASSERT_NE(module, nullptr);
    for (const auto& [button, cancelledWanted, event] :
         {std::tuple{QDialogButtonBox::Ok, 0u, LUMO_EVENT_DIALOG_OK},
          std::tuple{QDialogButtonBox::Cancel, 1u, LUMO_EVENT_DIALOG_CANCEL}}) {
        m_events.clear();
        bool pressed = false;
        QTimer::singleShot(50, [&, which = button] {
            auto* buttons = Control<QDialogButtonBox>("buttons");
            if (buttons && buttons->button(which)) {
                buttons->button(which)->click();
                pressed = true;
            } else if (Dialog()) {
                qobject_cast<QDialog*>(Dialog())->reject(); // fails below instead of hanging
            }
        });
        uint32_t cancelled = 7;
        ASSERT_EQ(module->RunDialog(m_dialogId, nullptr, &cancelled), LUMO_OK);
        EXPECT_TRUE(pressed);
        EXPECT_EQ(cancelled, cancelledWanted);
        EXPECT_EQ(m_events, std::vector<uint32_t>{Code(event)});
        EXPECT_EQ(module->IsDialogOpen(m_dialogId), 0u);
        EXPECT_EQ(DialogCount(), 0);
    }
}

TEST_F(ModuleDialogTest, NoDialogOffTheApplicationThread) {
    CLumoModule* module = NewModule(LUMO_ID_BLACK_GAIN);
    ASSERT_NE(module, nullptr);
    uint32_t result = LUMO_OK;
    uint32_t cancelled = 0;
    uint32_t runResult = LUMO_OK;
    std::thread other([&] {
        result = module->OpenDialog(m_dialogId, nullptr);
        runResult = module->RunDialog(m_dialogId, nullptr, &cancelled);
    });
    other.join();
    EXPECT_EQ(result, LUMO_E_NOTSUPPORTED);
    EXPECT_EQ(runResult, LUMO_E_NOTSUPPORTED);
    EXPECT_EQ(cancelled, 1u);
    EXPECT_EQ(module->IsDialogOpen(m_dialogId), 0u);
}

// Without a QApplication the library shows nothing (Qt's libraries are loaded all the same).
TEST_F(LumoTest, ModuleDialogNeedsAnApplication) {
    LumoModulePtr module = MakeLumoModule(m_pLumo, LUMO_ID_ORIENTATION);
    ASSERT_NE(module, nullptr);
    const uint32_t dialogId = LUMO_ID_ORIENTATION << 8 | 1;
    EXPECT_EQ(module->OpenDialog(dialogId, nullptr), LUMO_E_NOTSUPPORTED);
    EXPECT_EQ(module->IsDialogOpen(dialogId), 0u);
    uint32_t cancelled = 0;
    EXPECT_EQ(module->RunDialog(dialogId, nullptr, &cancelled), LUMO_E_NOTSUPPORTED);
    EXPECT_EQ(cancelled, 1u);
    EXPECT_EQ(module->CloseDialog(dialogId), LUMO_OK);
}

} // namespace
