#include "external/DebugSink.h"
#include "libs/pemdebug/CPemDebugSink.h"
#include "libs/pemdebug/LogFolder.h"
#include "tests/support/ScopedEnv.h"

#include <array>
#include <cstdio>
#include <ctime>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <regex>
#include <thread>
#include <unistd.h>

namespace {

// XDG_STATE_HOME pointed at a fresh temporary folder, removed afterwards.
class TempStateHome {
public:
    TempStateHome() : m_path(MakeFolder()), m_env("XDG_STATE_HOME", m_path.c_str()) {}
    ~TempStateHome() { std::filesystem::remove_all(m_path); }
    std::string LogFile(const std::string& name) const {
        return m_path + "/kavrindemo/" + name + ".log";
    }

private:
    static std::string MakeFolder() {
        std::string path = std::filesystem::temp_directory_path() / "pemdebug-XXXXXX";
        return mkdtemp(path.data()) ? path : std::string();
    }
    std::string m_path;
    ScopedEnv m_env;
};

// libPemDebug.so loaded by path; sinks come from its exports.
class PemDebugLibrary {
public:
    using SinkPtr = std::unique_ptr<CDebugSink, PFN_DeleteDebugInstance>;
    bool Loaded() const { return m_create && m_delete; }
    SinkPtr Create(const char* name) const {
        SinkPtr sink(m_create(), m_delete);
        if (sink && name) {
            EXPECT_EQ(
                sink->SetSinkParam(CDebugSink::PARAM_NAME, reinterpret_cast<uintptr_t>(name), 0),
                0u);
        }
        return sink;
    }
    void* Symbol(const char* name) const { return dlsym(m_handle.get(), name); }

private:
    struct Closer {
        void operator()(void* handle) const { dlclose(handle); }
    };
    std::unique_ptr<void, Closer> m_handle{dlopen(PEMDEBUG_SO_PATH, RTLD_NOW | RTLD_LOCAL)};
    PFN_CreateDebugInstance m_create =
        reinterpret_cast<PFN_CreateDebugInstance>(Symbol("CreateDebugInstance"));
    PFN_DeleteDebugInstance m_delete =
        reinterpret_cast<PFN_DeleteDebugInstance>(Symbol("DeleteDebugInstance"));
};

// The lines of a log file as "<date> <time>.<ms> [tid] level text" splits them.
const std::regex LAYOUT(R"((\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)\.\d{3} \[(\d+)\] (\d+) (.*))");

// Each line split into its parts: [1] date and time, [2] thread id, [3] level, [4] text.
using Line = std::array<std::string, 5>;

std::vector<Line> ReadLines(const std::string& path) {
    std::vector<Line> lines;
    std::ifstream in(path);
    for (std::string text; std::getline(in, text);) {
        std::smatch m;
        EXPECT_TRUE(std::regex_match(text, m, LAYOUT)) << text;
        lines.push_back({text, m[1], m[2], m[3], m[4]});
    }
    return lines;
}

} // namespace

TEST(PemDebugLibrary, NamedSinksAppendStampedLinesToTheirOwnFiles) {
    PemDebugLibrary lib;
    ASSERT_TRUE(lib.Loaded()) << dlerror();
    EXPECT_EQ(lib.Symbol("_ZN8pemdebug9LogFolderB5cxx11Ev"), nullptr); // only the two exports
    TempStateHome home;
    const time_t before = std::time(nullptr);
    {
        auto sink = lib.Create(nullptr);
        ASSERT_TRUE(sink);
        sink->Log(1, "before naming");
        EXPECT_EQ(sink->SetSinkParam(0, reinterpret_cast<uintptr_t>("Doc debug"), 0), 0u);
        sink->Log(0, "CCamera::PrepareFrameBuffers: Could not open grabber");
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat"
#pragma GCC diagnostic ignored "-Wformat-extra-args"
        sink->Log(1, "%llu %I64u %I64d %I64X _%08I64u", 0xFEDCBA9876543210ULL,
                  uint64_t{0xFEDCBA9876543210ULL}, INT64_MIN, uint64_t{0xABCDEF0123ULL},
                  uint64_t{12});
#pragma GCC diagnostic pop
    }
    const time_t after = std::time(nullptr);
    lib.Create("Doc debug")->Log(1, "second %s", "sink"); // appends to the same file
    auto unnamed = lib.Create("View debug");
    // A null name: the default file.
    ASSERT_EQ(unnamed->SetSinkParam(CDebugSink::PARAM_NAME, 0, 0), 0u);
    unnamed->Log(1, "unnamed again");
    unnamed.reset();

    const auto doc = ReadLines(home.LogFile("Doc debug"));
    ASSERT_EQ(doc.size(), 3u);
    tm stamp{};
    ASSERT_TRUE(strptime(doc[0][1].c_str(), "%Y-%m-%d %H:%M:%S", &stamp));
    stamp.tm_isdst = -1;
    EXPECT_GE(std::mktime(&stamp), before - 1); // local time
    EXPECT_LE(std::mktime(&stamp), after + 1);
    EXPECT_EQ(doc[0][2], std::to_string(gettid()));
    EXPECT_EQ(doc[0][3], "0");
    EXPECT_EQ(doc[0][4], "CCamera::PrepareFrameBuffers: Could not open grabber");
    EXPECT_EQ(doc[1][3], "1");
    EXPECT_EQ(doc[1][4], "18364758544493064720 18364758544493064720 -9223372036854775808 "
                         "ABCDEF0123 _00000012");
    EXPECT_EQ(doc[2][4], "second sink");

    // Lines logged before the sink had a name stay in the default file.
    const auto other = ReadLines(home.LogFile(pemdebug::DEFAULT_SINK_NAME));
    ASSERT_EQ(other.size(), 2u);
    EXPECT_EQ(other[0][4], "before naming");
    EXPECT_EQ(other[1][4], "unnamed again");
}

TEST(PemDebugLibrary, OutputParameterRoundTripAndStandardErrorCopy) {
    PemDebugLibrary lib;
    ASSERT_TRUE(lib.Loaded()) << dlerror();
    TempStateHome home;
    testing::internal::CaptureStderr();
    {
        auto sink = lib.Create(nullptr);
        uintptr_t shown = 99;
        const auto read = [&] {
            EXPECT_EQ(sink->GetSinkParam(CDebugSink::PARAM_OUTPUT, &shown, 0), 0u);
            return shown;
        };
        EXPECT_EQ(read(), 0u);
        sink->Log(1, "quiet %d", 1);
        EXPECT_EQ(sink->SetSinkParam(CDebugSink::PARAM_OUTPUT, 1, 0), 0u);
        EXPECT_EQ(read(), 1u);
        sink->Log(0, "shown %d", 2);
        EXPECT_EQ(sink->SetSinkParam(CDebugSink::PARAM_OUTPUT, 0, 0), 0u);
        EXPECT_EQ(read(), 0u);
        sink->Log(1, "quiet %d", 3);
        EXPECT_EQ(sink->ActivateOutput(1), 0u);
        EXPECT_EQ(read(), 1u);
        sink->Log(1, "shown %d", 4);
        EXPECT_NE(sink->SetSinkParam(3, 1, 0), 0u); // unknown id
        EXPECT_NE(sink->GetSinkParam(3, &shown, 0), 0u);
        EXPECT_NE(sink->GetSinkParam(CDebugSink::PARAM_OUTPUT, nullptr, 0), 0u);
    }
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("] 0 shown 2\n"), std::string::npos) << err;
    EXPECT_NE(err.find("] 1 shown 4\n"), std::string::npos) << err;
    EXPECT_EQ(err.find("quiet"), std::string::npos) << err;
    // The file gets every line.
    EXPECT_EQ(ReadLines(home.LogFile(pemdebug::DEFAULT_SINK_NAME)).size(), 4u);
}

TEST(PemDebugFolder, StateFolderAndFileNames) {
    ScopedEnv home("HOME", "/home/tester");
    for (const char* state : {"/var/state/", "", "relative", static_cast<const char*>(nullptr)}) {
        ScopedEnv env("XDG_STATE_HOME", state);
        EXPECT_EQ(pemdebug::LogFolder(), state && *state == '/'
                                             ? "/var/state/kavrindemo"
                                             : "/home/tester/.local/state/kavrindemo");
    }
    EXPECT_EQ(pemdebug::LogFilePath("/f", "Doc debug"), "/f/Doc debug.log");
    EXPECT_EQ(pemdebug::LogFilePath("/f", ""), "/f/PemDebug.log");
    EXPECT_EQ(pemdebug::LogFilePath("/f", "../../etc/x\n"), "/f/.._.._etc_x_.log"); // stays in /f
    EXPECT_EQ(pemdebug::LogFilePath("/f", std::string(300, 'n')).size(), 3 + 200 + 4u);
}

namespace {

// Logs 3000 numbered lines from each of 8 threads, releases the sink (which writes out its
// queue) and checks the file: each thread's lines in order with its thread id, and every line
// either written or counted by a "N lines dropped" report. Returns the dropped count.
uint64_t LogFromEightThreads(CDebugSink* sink, const std::function<void()>& release,
                             const std::string& file) {
    constexpr int THREADS = 8, LINES = 3000;
    std::vector<std::string> tids(THREADS);
    std::vector<std::thread> threads;
    for (int t = 0; t < THREADS; ++t) {
        threads.emplace_back([sink, t, &tids] {
            tids[static_cast<size_t>(t)] = std::to_string(gettid());
            for (int n = 0; n < LINES; ++n)
                sink->Log(1, "worker %d line %d", t, n);
        });
    }
    for (std::thread& th : threads)
        th.join();
    release();

    uint64_t dropped = 0, written = 0;
    std::vector<int> next(THREADS, 0);
    bool bOrderOk = true;
    for (const Line& line : ReadLines(file)) {
        unsigned long long count = 0;
        int t = -1, n = -1;
        const std::string text = line[4];
        if (std::sscanf(text.c_str(), "%llu", &count) == 1 &&
            text == std::to_string(count) + " lines dropped") {
            dropped += count;
        } else if (std::sscanf(text.c_str(), "worker %d line %d", &t, &n) == 2 && t >= 0 &&
                   t < THREADS) {
            const auto i = static_cast<size_t>(t);
            bOrderOk = bOrderOk && n >= next[i] && line[2] == tids[i];
            next[i] = n + 1;
            ++written;
        } else {
            ADD_FAILURE() << "unexpected line " << text;
        }
    }
    EXPECT_TRUE(bOrderOk);
    EXPECT_EQ(written + dropped, uint64_t{THREADS * LINES});
    return dropped;
}

} // namespace

TEST(PemDebugConcurrency, EightThreadsLoseNoLineUnlessReportedAsDropped) {
    TempStateHome home;
    PemDebugLibrary lib; // through the exports, with the library's own queue size
    ASSERT_TRUE(lib.Loaded()) << dlerror();
    auto sink = lib.Create("Library");
    const uint64_t libDropped = LogFromEightThreads(
        sink.get(), [&sink] { sink.reset(); }, home.LogFile("Library"));
    // A 4-line queue, so that lines are dropped and reported.
    auto small = std::make_unique<pemdebug::CPemDebugSink>(4);
    ASSERT_EQ(small->SetSinkParam(CDebugSink::PARAM_NAME, reinterpret_cast<uintptr_t>("Small"), 0),
              0u);
    const uint64_t smallDropped = LogFromEightThreads(
        small.get(), [&small] { small.reset(); }, home.LogFile("Small"));
    RecordProperty("dropped_library_queue", std::to_string(libDropped));
    RecordProperty("dropped_4_line_queue", std::to_string(smallDropped));
}
