// The process chain with scripted modules: building, the update thread, the analyze group and
// the dialog list.
#include "external/ImageFormat.h"
#include "platform/Event.h"
#include "processing/CImgProcessChain.h"
#include "tests/processing/ChainTestSupport.h"

#include <atomic>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <tuple>
#include <vector>

namespace {

using chaintest::ScriptedInstance;

// The view's side of the update thread: a raw image, and the results it was handed.
struct FakeView {
    CLumoImage* raw = nullptr;
    std::atomic<platform::Event*> gate{nullptr}; // when set, the provider waits (a long run)
    platform::Event providerEntered;
    std::mutex mutex;
    std::condition_variable cond;
    std::vector<std::pair<CLumoImage*, bool>> ready;

    static CLumoImage* Provide(void* context) {
        auto* view = static_cast<FakeView*>(context);
        view->providerEntered.Set();
        if (platform::Event* gate = view->gate.load())
            gate->Wait(-1);
        return view->raw;
    }
    static void Ready(void* context, CLumoImage* image, bool erase) {
        auto* view = static_cast<FakeView*>(context);
        std::lock_guard<std::mutex> lock(view->mutex);
        view->ready.emplace_back(image, erase);
        view->cond.notify_all();
    }
    // Waits for the n-th result (a guard against hanging, not a timing check).
    bool WaitReady(size_t n) {
        std::unique_lock<std::mutex> lock(mutex);
        return cond.wait_for(lock, std::chrono::seconds(30), [&] { return ready.size() >= n; });
    }
};

class ChainTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(m_raw.Allocate(8, 6, ImageFormat::GREY8, 0, 1), 0u);
        m_raw.SetOrigin(1, 0);
        ASSERT_EQ(m_raw.SetAttribute(2, "maker"), 0u);
        m_view.raw = &m_raw;
    }
    void Connect(CImgProcessChain& chain) {
        ASSERT_TRUE(chain.SetBaseImageProvider(&FakeView::Provide, &m_view));
        ASSERT_TRUE(chain.SetReadyCallback(&FakeView::Ready, &m_view));
    }
    bool Build(CImgProcessChain& chain, std::vector<uint32_t> ids, uint32_t analyzeId = 67,
               uint32_t primaryClass = 1) {
        platform::RecursiveLock lock(chain.ChainLock());
        return chain.BuildDefault(primaryClass, ids.data(), ids.size(), analyzeId, {}, &m_raw);
    }

    ScriptedInstance m_lumo;
    lumo::CImageObject m_raw;
    FakeView m_view;
};

TEST_F(ChainTest, EmptyChainHandsTheRawImageAndModulesRunInOrder) {
    CImgProcessChain chain(&m_lumo, nullptr);
    EXPECT_NE(chain.GetThreadId(), 0u);
    Connect(chain);
    ASSERT_TRUE(chain.RequestUpdate(true));
    ASSERT_TRUE(m_view.WaitReady(1));
    EXPECT_EQ(m_view.ready[0].first, &m_raw);
    EXPECT_TRUE(m_view.ready[0].second);

    ASSERT_TRUE(Build(chain, {1001, 1002, 1003}));
    ASSERT_TRUE(chain.RequestUpdate(false));
    ASSERT_TRUE(m_view.WaitReady(2));
    {
        platform::RecursiveLock lock(chain.ChainLock());
        EXPECT_EQ(m_view.ready[1].first, chain.GetImage(2)); // the last module's output
        EXPECT_FALSE(m_view.ready[1].second);
        EXPECT_EQ(chain.GetModule(0)->GetImage(0), &m_raw);
        EXPECT_EQ(chain.GetModule(1)->GetImage(0), chain.GetImage(0));
        EXPECT_EQ(*chain.GetModuleName(1), "Module 1002");
    }
    const std::vector<std::string> events = m_lumo.journal.Events();
    std::vector<std::string> execs;
    for (const std::string& e : events)
        if (e.rfind("exec", 0) == 0)
            execs.push_back(e);
    EXPECT_EQ(execs, (std::vector<std::string>{"exec 1001", "exec 1002", "exec 1003"}));
}

TEST_F(ChainTest, RequestsQueuedDuringARunGiveOneMoreRunWithTheNewestEraseFlag) {
    for (bool newest : {true, false}) {
        CImgProcessChain chain(&m_lumo, nullptr);
        ASSERT_TRUE(Build(chain, {1001}));
        platform::Event gate;
        m_view.gate = &gate;
        m_view.providerEntered.Reset();
        {
            std::lock_guard<std::mutex> lock(m_view.mutex);
            m_view.ready.clear();
        }
        Connect(chain);
        ASSERT_TRUE(chain.RequestUpdate(false));
        m_view.providerEntered.Wait(-1); // the first run is under way and waits
        ASSERT_TRUE(chain.RequestUpdate(!newest));
        ASSERT_TRUE(chain.RequestUpdate(!newest));
        ASSERT_TRUE(chain.RequestUpdate(newest));
        gate.Set();
        ASSERT_TRUE(m_view.WaitReady(2));
        // One more marker run proves no third run was queued before it.
        m_view.gate = nullptr;
        ASSERT_TRUE(chain.RequestUpdate(false));
        ASSERT_TRUE(m_view.WaitReady(3));
        std::lock_guard<std::mutex> lock(m_view.mutex);
        ASSERT_EQ(m_view.ready.size(), 3u);
        EXPECT_EQ(m_view.ready[1].second, newest);
        EXPECT_FALSE(m_view.ready[2].second);
    }
}

TEST_F(ChainTest, FailingModuleGivesNullAndStopsTheRun) {
    m_lumo.journal.failingExecute.insert(1002);
    CImgProcessChain chain(&m_lumo, nullptr);
    ASSERT_TRUE(Build(chain, {1001, 1002, 1003}));
    Connect(chain);
    ASSERT_TRUE(chain.RequestUpdate(false));
    ASSERT_TRUE(m_view.WaitReady(1));
    EXPECT_EQ(m_view.ready[0].first, nullptr);
    EXPECT_EQ(m_lumo.journal.Count("exec 1001"), 1u);
    EXPECT_EQ(m_lumo.journal.Count("exec 1003"), 0u);
    platform::RecursiveLock lock(chain.ChainLock());
    EXPECT_FALSE(chain.Process());
}

TEST_F(ChainTest, AnalyzeSourceBeyondTheImagesIsIgnored) {
    CImgProcessChain chain(&m_lumo, nullptr);
    ASSERT_TRUE(Build(chain, {1001, 1002}, 1067));
    Connect(chain);
    chain.SetAnalyzeSource(2, &m_raw);
    chain.SetAnalyzeSource(3, &m_raw); // only two images
    ASSERT_TRUE(chain.RequestUpdate(false));
    ASSERT_TRUE(m_view.WaitReady(1));
    ASSERT_TRUE(
        chain.RequestUpdate(false)); // the analysis after the first run is done before this one
    ASSERT_TRUE(m_view.WaitReady(2));
    EXPECT_TRUE(m_lumo.journal.WaitCount("analyse 1067", 2));
    platform::RecursiveLock lock(chain.ChainLock());
    EXPECT_EQ(chain.GetAnalyzeSource(), 2u);
    EXPECT_EQ(chain.GetAnalyzeModule(0)->GetImage(0), chain.GetImage(1));
    chain.SetAnalyzeSource(0, &m_raw);
    EXPECT_EQ(chain.GetAnalyzeSource(), 0u);
}

TEST_F(ChainTest, FailedBuildLeavesThePreviousChainAndFreesWhatItMade) {
    CImgProcessChain chain(&m_lumo, nullptr);
    ASSERT_TRUE(Build(chain, {1001, 1002}, 67, 1));
    const size_t modules = m_lumo.LiveModules();
    const size_t images = m_lumo.LiveImages();
    CLumoModule* first = nullptr;
    {
        platform::RecursiveLock lock(chain.ChainLock());
        first = chain.GetModule(0);
    }
    EXPECT_FALSE(Build(chain, {1005, 999}, 67, 4));   // a module the library cannot make
    EXPECT_FALSE(Build(chain, {1005, 1006}, 999, 4)); // nor this analyze module
    m_lumo.journal.failingOutput.insert(1006);
    EXPECT_FALSE(Build(chain, {1005, 1006}, 67, 4)); // no output information
    m_lumo.failImages = true;
    EXPECT_FALSE(Build(chain, {1005}, 67, 4));
    m_lumo.failImages = false;
    EXPECT_EQ(m_lumo.LiveModules(), modules);
    EXPECT_EQ(m_lumo.LiveImages(), images);
    platform::RecursiveLock lock(chain.ChainLock());
    EXPECT_EQ(chain.GetPrimaryImageClass(), 1u);
    EXPECT_EQ(chain.GetModuleCount(), 2u);
    EXPECT_EQ(chain.GetModule(0), first);
    chain.Reset();
    EXPECT_EQ(chain.GetPrimaryImageClass(), 0u);
    EXPECT_EQ(m_lumo.LiveModules(), 0u);
    EXPECT_EQ(m_lumo.LiveImages(), 0u);
}

TEST_F(ChainTest, OwnedObjectsGoFromTheBackOfEachListToTheFront) {
    {
        CImgProcessChain chain(&m_lumo, nullptr);
        ASSERT_TRUE(Build(chain, {1001, 1002}, 1067));
        m_lumo.journal.events.clear();
    }
    EXPECT_EQ(m_lumo.journal.Events(),
              (std::vector<std::string>{"delete 1002", "delete 1001", "delete 1067", "delete image",
                                        "delete image"}));
}

TEST_F(ChainTest, PreparedOutputsFollowTheRequestAndTheInput) {
    CImgProcessChain chain(&m_lumo, nullptr);
    m_lumo.journal.outputClass[1002] = 4;
    m_lumo.journal.maxBits[1003] = 12;
    lumo::CImageObject input16;
    ASSERT_EQ(input16.Allocate(8, 6, ImageFormat::Make(16, 14, 1, 0, 2), 0, 1), 0u);
    input16.SetOrigin(1, 1);
    std::vector<uint32_t> ids{1001, 1002, 1003};
    platform::RecursiveLock lock(chain.ChainLock());
    ASSERT_TRUE(chain.BuildDefault(2, ids.data(), ids.size(), 67, {}, &m_raw));
    EXPECT_EQ(chain.GetImage(0)->GetFormat(nullptr), ImageFormat::GREY8);
    EXPECT_STREQ(chain.GetImage(0)->GetAttribute(2), "maker");
    EXPECT_EQ(chain.GetImage(1)->GetFormat(nullptr), ImageFormat::Make(8, 8, 4, 58, 4));
    EXPECT_EQ(chain.GetImage(2)->GetFormat(nullptr), ImageFormat::Make(8, 8, 4, 58, 4));
    uint32_t x = 0;
    uint32_t y = 0;
    chain.GetImage(2)->GetOrigin(&x, &y);
    EXPECT_EQ(x, 1u);

    ASSERT_TRUE(chain.RefreshInput(&input16)); // 14 significant bits, class 2
    EXPECT_EQ(chain.GetImage(0)->GetFormat(nullptr), ImageFormat::Make(16, 14, 1, 0, 2));
    EXPECT_EQ(chain.GetImage(1)->GetFormat(nullptr), ImageFormat::Make(16, 14, 3, 26, 4));
    EXPECT_EQ(chain.GetImage(2)->GetFormat(nullptr), ImageFormat::Make(16, 12, 3, 26, 4));
    chain.GetImage(2)->GetOrigin(&x, &y);
    EXPECT_EQ(y, 1u);
    m_lumo.journal.failingOutput.insert(1002);
    EXPECT_FALSE(chain.RefreshInput(&m_raw));
}

TEST_F(ChainTest, AdaptsLookUpTableAndWindowBlocksToTheInput) {
    CImgProcessChain chain(&m_lumo, nullptr);
    lumo::CImageObject rgb;
    ASSERT_EQ(rgb.Allocate(4, 4, ImageFormat::Make(16, 10, 3, 26, 4), 0, 1), 0u);
    std::vector<uint32_t> ids{32, 96};
    platform::RecursiveLock lock(chain.ChainLock());
    ASSERT_TRUE(chain.BuildDefault(4, ids.data(), ids.size(), 67, {}, &rgb));
    auto* lut = m_lumo.Scripted(chain.GetModule(0));
    std::vector<uint8_t> b12 = lut->Block(12);
    std::vector<uint8_t> b13 = lut->Block(13);
    ASSERT_EQ(b12.size(), 184u);
    ASSERT_EQ(b13.size(), 152u);
    EXPECT_EQ(lut->Block(14).size(), 36u);
    uint32_t mode = 0;
    uint32_t cls = 0;
    double s24 = 0, s56 = 0, s88 = 0;
    std::memcpy(&mode, &b12[8], 4);
    std::memcpy(&cls, &b12[12], 4);
    std::memcpy(&s24, &b13[24], 8);
    std::memcpy(&s56, &b13[56], 8);
    std::memcpy(&s88, &b13[88], 8);
    EXPECT_EQ(mode, 3u);
    EXPECT_EQ(cls, 4u);
    EXPECT_EQ(s24, 1024.0);
    EXPECT_EQ(s88, 1024.0);
    EXPECT_EQ(s56, 1.0 / 1024.0);

    auto* window = m_lumo.Scripted(chain.GetModule(1));
    std::vector<uint8_t> w12 = window->Block(12);
    ASSERT_EQ(w12.size(), 128u);
    double lo = -1, hi = -1;
    std::memcpy(&lo, &w12[16], 8);
    std::memcpy(&hi, &w12[24], 8);
    EXPECT_EQ(lo, 0.0);
    EXPECT_EQ(hi, 1023.0); // the LUT's output keeps 10 significant bits
    EXPECT_STREQ(reinterpret_cast<const char*>(&w12[96]), "#");
    EXPECT_EQ(m_lumo.journal.Count("96 set 6291456 1"), 1u);
}

// Colour blocks of the analyze modules: size, and the byte of the first colours.
TEST_F(ChainTest, AnalyzeModulesGetThePlotColoursOfTheSourceClass) {
    lumo::CImageObject cfa;
    ASSERT_EQ(cfa.Allocate(4, 4, ImageFormat::CFA8, 0, 1), 0u);
    const uint32_t second[3] = {0x0000FF, 0x00FF00, 0xFF0000};
    for (auto [id, size, f] :
         {std::tuple{74u, 36u, 4u}, std::tuple{73u, 48u, 16u}, std::tuple{72u, 56u, 20u}}) {
        CImgProcessChain chain(&m_lumo, nullptr);
        platform::RecursiveLock lock(chain.ChainLock());
        ASSERT_TRUE(chain.BuildDefault(2, nullptr, 0, id, {}, &cfa));
        auto* module = m_lumo.Scripted(chain.GetAnalyzeModule(0));
        std::vector<uint8_t> block = module->Block(13);
        ASSERT_EQ(block.size(), size) << id;
        uint32_t colour = 0;
        for (uint32_t c = 0; c < 3; ++c) {
            std::memcpy(&colour, &block[f + 4 * c], 4);
            EXPECT_EQ(colour, 0xFFFFFFu) << id;
            std::memcpy(&colour, &block[f + 16 + 4 * c], 4);
            EXPECT_EQ(colour, second[c]) << id;
        }
        chain.SetAnalyzeSource(0, &m_raw); // greyscale: one black and white pair
        block = module->Block(13);
        std::memcpy(&colour, &block[f], 4);
        EXPECT_EQ(colour, 0u) << id;
        std::memcpy(&colour, &block[f + 16], 4);
        EXPECT_EQ(colour, 0xFFFFFFu) << id;
        EXPECT_EQ(m_lumo.journal.Count(std::to_string(id) + " set 18"), 2u) << id;
    }
}

// Blocks that do not read are not written back: zeros would replace the module's own fields.
TEST_F(ChainTest, BlocksThatDoNotReadAreLeftAsTheyWere) {
    m_lumo.unreadableBlocks = {12, 13};
    lumo::CImageObject cfa;
    ASSERT_EQ(cfa.Allocate(4, 4, ImageFormat::CFA8, 0, 1), 0u);
    std::vector<uint32_t> ids{32, 96};
    CImgProcessChain chain(&m_lumo, nullptr);
    platform::RecursiveLock lock(chain.ChainLock());
    ASSERT_TRUE(chain.BuildDefault(2, ids.data(), ids.size(), 74, {}, &cfa));
    auto* lut = m_lumo.Scripted(chain.GetModule(0));
    for (uint32_t id : {12u, 13u, 14u}) // one block that does not read leaves all three alone
        EXPECT_TRUE(lut->Block(id).empty()) << id;
    EXPECT_TRUE(m_lumo.Scripted(chain.GetModule(1))->Block(12).empty());
    EXPECT_EQ(m_lumo.journal.Count("96 set 6291456 1"), 0u);
    EXPECT_TRUE(m_lumo.Scripted(chain.GetAnalyzeModule(0))->Block(13).empty());
    EXPECT_EQ(m_lumo.journal.Count("74 set 18"), 1u); // the options group is applied still
}

struct RecordingMenu final : CChainMenu {
    std::vector<std::string> lines;
    std::vector<std::unique_ptr<RecordingMenu>> subs;
    void AppendItem(uint32_t id, const std::string& text, bool checked) override {
        lines.push_back(std::to_string(id) + ":" + text + (checked ? "*" : ""));
    }
    void AppendSeparator() override { lines.push_back("-"); }
    CChainMenu* AppendSubMenu(const std::string& text) override {
        lines.push_back(">" + text);
        subs.push_back(std::make_unique<RecordingMenu>());
        return subs.back().get();
    }
};

uint32_t g_events = 0;
uint32_t g_lastCode = 0;
uint32_t DialogEvent(void* context, uint32_t code) {
    ++g_events;
    g_lastCode = code;
    return *static_cast<uint32_t*>(context);
}

TEST_F(ChainTest, DialogListMenusAndNotifications) {
    CImgProcessChain chain(&m_lumo, nullptr);
    uint32_t answer = 1;
    std::vector<uint32_t> ids{1001, 1002};
    platform::RecursiveLock lock(chain.ChainLock());
    ASSERT_TRUE(
        chain.BuildDefault(1, ids.data(), ids.size(), 1067, {&DialogEvent, &answer}, &m_raw));
    ASSERT_EQ(chain.GetDialogCount(), 6u);
    EXPECT_EQ(chain.GetDialogEntry(4)->chainFlag, 0u);
    EXPECT_EQ(chain.GetDialogEntry(4)->dialogId, 10671u);
    EXPECT_EQ(chain.GetDialogModule(6), nullptr);
    EXPECT_EQ(chain.GetDialogHeadLine(0), "1001/10011");
    EXPECT_EQ(chain.GetDialogHeadLine(1), "- Unknown module -");
    EXPECT_EQ(chain.GetDialogHeadLine(9), "");

    EXPECT_EQ(chain.ShowDialog(nullptr, 2, true), 1u);
    EXPECT_EQ(chain.GetDialogEntry(2)->openFlag, 1u);
    RecordingMenu menu;
    EXPECT_EQ(chain.AppendDialogMenu(menu), 6u);
    EXPECT_EQ(menu.lines, (std::vector<std::string>{"1:1001/10011", "2:- Unknown module -",
                                                    "3:1002/10021*", "4:- Unknown module -", "-",
                                                    "5:1067/10671", "6:- Unknown module -"}));
    chain.SetAnalyzeSource(2, &m_raw);
    RecordingMenu modules;
    EXPECT_EQ(chain.AppendModuleMenu(modules, 40), 2u);
    EXPECT_EQ(modules.lines, (std::vector<std::string>{"40:Module 1001", "41:Module 1002*"}));

    // A dialog that reports it closed (event 2) is no longer open; event 3 changes nothing.
    auto* module = m_lumo.Scripted(chain.GetModule(1));
    EXPECT_EQ(module->Notify((10021u << 16) | 3), 1u);
    EXPECT_EQ(g_lastCode, (10021u << 16) | 3);
    EXPECT_EQ(chain.GetDialogEntry(2)->openFlag, 1u);
    answer = 0; // the view did not handle it: the flag stays
    EXPECT_EQ(module->Notify((10021u << 16) | 2), 0u);
    EXPECT_EQ(chain.GetDialogEntry(2)->openFlag, 1u);
    answer = 1;
    module->Notify((10021u << 16) | 2);
    EXPECT_EQ(chain.GetDialogEntry(2)->openFlag, 0u);
    EXPECT_EQ(chain.ShowDialog(nullptr, 2, true), 1u);
    EXPECT_EQ(chain.ShowDialog(nullptr, 2, false), 1u); // closed
    EXPECT_EQ(chain.GetDialogEntry(2)->openFlag, 0u);
    EXPECT_EQ(chain.ShowDialog(nullptr, 2, false), 0u); // nothing to close
}

TEST_F(ChainTest, DialogIdsBeyondSixteenBitsStillCloseTheirEntry) {
    CImgProcessChain chain(&m_lumo, nullptr);
    uint32_t answer = 1;
    std::vector<uint32_t> ids{7001}; // dialog 70011: more than 16 bits
    platform::RecursiveLock lock(chain.ChainLock());
    ASSERT_TRUE(
        chain.BuildDefault(1, ids.data(), ids.size(), 1067, {&DialogEvent, &answer}, &m_raw));
    ASSERT_EQ(chain.GetDialogEntry(0)->dialogId, 70011u);
    EXPECT_EQ(chain.ShowDialog(nullptr, 0, true), 1u);
    auto* module = m_lumo.Scripted(chain.GetModule(0));
    module->Notify((70011u << 16) | 2); // the ID's high bits are lost in the code
    EXPECT_EQ(chain.GetDialogEntry(0)->openFlag, 0u);
}

} // namespace
