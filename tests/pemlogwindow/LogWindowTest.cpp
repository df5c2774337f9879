// The output window library: the pending lines between the threads and the UI thread, and the
// window through the exports of libPemLogWindow.so, from the UI thread and from others.
#include "WindowTestSupport.h"
#include "libs/pemdebug/window/CPendingLines.h"
#include "libs/pemdebug/window/PemLogWindow.h"

#include <QCheckBox>
#include <QPointer>
#include <QPushButton>
#include <QTextBlock>

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>

using pemlogwindow::CPendingLines;

namespace {

std::string Numbered(int first, int count) {
    std::string text;
    for (int i = first; i < first + count; ++i)
        text += "line " + std::to_string(i) + "\n";
    return text;
}

// libPemLogWindow.so loaded by path, kept for the whole run like the sink keeps it.
struct WindowLibrary {
    void* handle = dlopen(PEMLOGWINDOW_SO_PATH, RTLD_NOW | RTLD_LOCAL);
    template <typename F>
    F Get(const char* name) const {
        return reinterpret_cast<F>(dlsym(handle, name));
    }
    PFN_PemLogWindowCreate create = Get<PFN_PemLogWindowCreate>("PemLogWindowCreate");
    PFN_PemLogWindowAppend append = Get<PFN_PemLogWindowAppend>("PemLogWindowAppend");
    PFN_PemLogWindowShow show = Get<PFN_PemLogWindowShow>("PemLogWindowShow");
    PFN_PemLogWindowIsShown isShown = Get<PFN_PemLogWindowIsShown>("PemLogWindowIsShown");
    PFN_PemLogWindowDestroy destroy = Get<PFN_PemLogWindowDestroy>("PemLogWindowDestroy");
    bool Loaded() const { return create && append && show && isShown && destroy; }
    void Append(PemLogWindow* window, const std::string& text) const {
        append(window, text.data(), text.size());
    }
};

const WindowLibrary& Library() {
    static const WindowLibrary library;
    return library;
}

} // namespace

TEST(PendingLines, SplitsLinesAndAsksForOneFlushUntilTaken) {
    CPendingLines pending;
    EXPECT_TRUE(pending.Add("a\nb\n", 4));
    EXPECT_FALSE(pending.Add("c", 1)); // a flush is outstanding already
    EXPECT_FALSE(pending.Add("\n\nd\n", 4));
    CPendingLines::Batch batch = pending.Take();
    EXPECT_EQ(batch.ullNotShown, 0u);
    ASSERT_EQ(batch.lines.size(), 6u);
    EXPECT_EQ(batch.lines[0], "a");
    EXPECT_EQ(batch.lines[2], "c");
    EXPECT_EQ(batch.lines[3], "");
    EXPECT_EQ(batch.lines[4], "");
    EXPECT_EQ(batch.lines[5], "d");
    EXPECT_TRUE(pending.Add("e\n", 2)); // taken: the next addition queues the next flush
    EXPECT_EQ(pending.Take().lines.size(), 1u);
    pending.Close();
    EXPECT_FALSE(pending.Add("f\n", 2));
    EXPECT_TRUE(pending.Take().lines.empty());
}

TEST(PendingLines, KeepsTheNewestLinesAndCountsTheOthers) {
    // In one oversized addition and over several.
    for (const int chunk : {25000, 7000}) {
        CPendingLines pending;
        for (int first = 0; first < 25000; first += chunk) {
            const std::string text = Numbered(first, std::min(chunk, 25000 - first));
            (void)pending.Add(text.data(), text.size()); // the flush is the test's Take
        }
        CPendingLines::Batch batch = pending.Take();
        // One line more makes room for the note.
        EXPECT_EQ(batch.ullNotShown, 15001u) << chunk;
        ASSERT_EQ(batch.lines.size(), CPendingLines::MAX_LINES - 1) << chunk;
        EXPECT_EQ(batch.lines.front(), "line 15001");
        EXPECT_EQ(batch.lines.back(), "line 24999");
    }
    EXPECT_EQ(CPendingLines::NotShownNote(12), "... 12 lines not shown (see the log file)");
}

TEST(LogWindowExports, WindowShowsBatchesClearsAndHidesWhenClosed) {
    const WindowLibrary& lib = Library();
    ASSERT_TRUE(lib.Loaded()) << dlerror();
    PemLogWindow* handle = lib.create("Unit");
    ASSERT_NE(handle, nullptr);
    QPointer<QWidget> window = FindWindow("Unit - Log");
    ASSERT_TRUE(window);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(lib.isShown(handle), 0);
    auto* clear = window->findChild<QPushButton*>("clearButton");
    auto* autoScroll = window->findChild<QCheckBox*>("autoScrollBox");
    QPlainTextEdit* text = LogText(window);
    ASSERT_TRUE(clear && autoScroll && text);
    EXPECT_TRUE(autoScroll->isChecked());
    EXPECT_TRUE(text->isReadOnly());
    EXPECT_EQ(text->maximumBlockCount(), 10000);
    EXPECT_EQ(clear->accessibleName(), "Clear");

    lib.show(handle, 1);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(lib.isShown(handle), 1);
    // Nothing reaches the widget before the event loop runs; then all of it in one go, the
    // oldest lines given up for the note.
    for (int first = 0; first < 25000; first += 5000)
        lib.Append(handle, Numbered(first, 5000));
    EXPECT_TRUE(text->toPlainText().isEmpty());
    ASSERT_TRUE(WaitFor([&] { return text->document()->lastBlock().text() == "line 24999"; }));
    EXPECT_EQ(text->blockCount(), 10000);
    EXPECT_EQ(text->document()->firstBlock().text(),
              "... 15001 lines not shown (see the log file)");
    EXPECT_EQ(text->document()->firstBlock().next().text(), "line 15001");
    lib.Append(handle, "more\n");
    ASSERT_TRUE(WaitFor([&] { return text->document()->lastBlock().text() == "more"; }));
    EXPECT_EQ(text->blockCount(), 10000); // the widget keeps at most that many

    clear->click();
    EXPECT_TRUE(text->toPlainText().isEmpty());
    window->close(); // as the user does
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(lib.isShown(handle), 0);
    ASSERT_TRUE(window); // hidden, not deleted
    lib.destroy(handle);
    EXPECT_FALSE(window); // deleted at once on the UI thread
}

TEST(LogWindowExports, OtherThreadsCreateShowAppendAndDestroyThroughTheEventLoop) {
    const WindowLibrary& lib = Library();
    ASSERT_TRUE(lib.Loaded()) << dlerror();
    PemLogWindow* handle = nullptr;
    std::thread([&] {
        handle = lib.create("Worker");
        lib.show(handle, 1);
        lib.Append(handle, "from a worker\n");
    }).join();
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(lib.isShown(handle), 1); // at once, the widget follows
    EXPECT_EQ(FindWindow("Worker - Log"), nullptr);
    ASSERT_TRUE(WaitFor([] { return FindWindow("Worker - Log") != nullptr; }));
    QPointer<QWidget> window = FindWindow("Worker - Log");
    ASSERT_TRUE(WaitFor([&] { return LogText(window)->toPlainText() == "from a worker"; }));
    EXPECT_TRUE(window->isVisible());

    std::thread([&] { lib.show(handle, 0); }).join();
    ASSERT_TRUE(WaitFor([&] { return !window->isVisible(); }));
    std::thread([&] {
        lib.Append(handle, "late\n"); // its flush may still be queued when the window goes
        lib.destroy(handle);
    }).join();
    EXPECT_TRUE(window);
    ASSERT_TRUE(WaitFor([&] { return window.isNull(); }));
}
