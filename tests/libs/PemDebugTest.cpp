#include "external/DebugSink.h"
#include "libs/pemdebug/CPemDebugSink.h"
#include "libs/pemdebug/LogFolder.h"
#include "tests/platform/ScopedEnv.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A fresh folder under the system's temporary folder, removed with its contents afterwards.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "pemdebug-XXXXXX").string();
        if (mkdtemp(pattern.data()))
            m_path = pattern;
    }
    ~TempFolder() {
        std::error_code ec;
        if (!m_path.empty())
            fs::remove_all(m_path, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// libPemDebug.so loaded by path, with its two exports.
class PemDebugLibrary {
public:
    PemDebugLibrary() : m_handle(dlopen(PEMDEBUG_SO_PATH, RTLD_NOW | RTLD_LOCAL)) {
        if (m_handle) {
            m_create = reinterpret_cast<PFN_CreateDebugInstance>(
                dlsym(m_handle.get(), "CreateDebugInstance"));
            m_delete = reinterpret_cast<PFN_DeleteDebugInstance>(
                dlsym(m_handle.get(), "DeleteDebugInstance"));
        }
    }
    bool Loaded() const { return m_create && m_delete; }
    void* Symbol(const char* name) const { return dlsym(m_handle.get(), name); }

    using SinkPtr = std::unique_ptr<CDebugSink, PFN_DeleteDebugInstance>;
    SinkPtr Create() const { return SinkPtr(m_create(), m_delete); }

private:
    struct Closer {
        void operator()(void* handle) const { dlclose(handle); }
    };
    std::unique_ptr<void, Closer> m_handle;
    PFN_CreateDebugInstance m_create = nullptr;
    PFN_DeleteDebugInstance m_delete = nullptr;
};

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

struct ParsedLine {
    long tid = -1;
    unsigned level = 99;
    std::string text;
};

// Splits "<date> <time> [tid] level text"; false when the line has another layout.
bool ParseLine(const std::string& line, ParsedLine& parsed) {
    int offset = -1;
    if (std::sscanf(line.c_str(), "%*4d-%*2d-%*2d %*2d:%*2d:%*2d.%*3d [%ld] %u %n", &parsed.tid,
                    &parsed.level, &offset) != 2 ||
        offset < 0)
        return false;
    parsed.text = line.substr(static_cast<size_t>(offset));
    return true;
}

} // namespace

TEST(PemDebugLibrary, ExportsOnlyItsTwoFunctions) {
    PemDebugLibrary lib;
    ASSERT_TRUE(lib.Loaded()) << dlerror();
    EXPECT_EQ(lib.Symbol("_ZN8pemdebug9LogFolderB5cxx11Ev"), nullptr);
    TempFolder tmp;
    ScopedEnv state("XDG_STATE_HOME", tmp.Path().c_str());
    auto sink = lib.Create();
    ASSERT_TRUE(sink);
}

TEST(PemDebugLibrary, NamedSinkAppendsStampedLinesToItsOwnFile) {
    PemDebugLibrary lib;
    ASSERT_TRUE(lib.Loaded()) << dlerror();
    TempFolder tmp;
    ScopedEnv state("XDG_STATE_HOME", tmp.Path().c_str());
    const std::string folder = tmp.Path() + "/kavrindemo";
    const time_t before = std::time(nullptr);
    {
        auto sink = lib.Create();
        ASSERT_TRUE(sink);
        sink->Log(1, "before naming");
        EXPECT_EQ(
            sink->SetSinkParam(CDebugSink::PARAM_NAME, reinterpret_cast<uintptr_t>("Doc debug"), 0),
            0u);
        sink->Log(0, "CCamera::PrepareFrameBuffers: Could not open grabber");
        sink->Log(1, "CDoc::OnNew: %s %d", "camera", 3);
    }
    const time_t after = std::time(nullptr);
    {
        // A second sink of the same name appends; a null name gives the default file.
        auto sink = lib.Create();
        sink->SetSinkParam(CDebugSink::PARAM_NAME, reinterpret_cast<uintptr_t>("Doc debug"), 0);
        sink->Log(1, "second run");
        sink->SetSinkParam(CDebugSink::PARAM_NAME, 0, 0);
        sink->Log(1, "unnamed again");
    }

    const std::vector<std::string> doc = ReadLines(folder + "/Doc debug.log");
    ASSERT_EQ(doc.size(), 3u);
    const std::regex layout(
        R"((\d{4})-(\d\d)-(\d\d) (\d\d):(\d\d):(\d\d)\.\d{3} \[(\d+)\] ([01]) (.*))");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(doc[0], m, layout)) << doc[0];
    tm stamp{};
    stamp.tm_year = std::stoi(m[1]) - 1900;
    stamp.tm_mon = std::stoi(m[2]) - 1;
    stamp.tm_mday = std::stoi(m[3]);
    stamp.tm_hour = std::stoi(m[4]);
    stamp.tm_min = std::stoi(m[5]);
    stamp.tm_sec = std::stoi(m[6]);
    stamp.tm_isdst = -1;
    const time_t logged = std::mktime(&stamp); // local time
    EXPECT_GE(logged, before - 1);
    EXPECT_LE(logged, after + 1);
    EXPECT_EQ(std::stol(m[7]), static_cast<long>(gettid()));
    EXPECT_EQ(m[8], "0");
    EXPECT_EQ(m[9], "CCamera::PrepareFrameBuffers: Could not open grabber");

    ParsedLine line;
    ASSERT_TRUE(ParseLine(doc[1], line));
    EXPECT_EQ(line.level, 1u);
    EXPECT_EQ(line.text, "CDoc::OnNew: camera 3");
    ASSERT_TRUE(ParseLine(doc[2], line));
    EXPECT_EQ(line.text, "second run");

    // Lines logged before the sink had its name stay in the default file.
    const std::vector<std::string> unnamed =
        ReadLines(folder + "/" + pemdebug::DEFAULT_SINK_NAME + ".log");
    ASSERT_EQ(unnamed.size(), 2u);
    ASSERT_TRUE(ParseLine(unnamed[0], line));
    EXPECT_EQ(line.text, "before naming");
    ASSERT_TRUE(ParseLine(unnamed[1], line));
    EXPECT_EQ(line.text, "unnamed again");
}

TEST(PemDebugLibrary, LogsSixtyFourBitValuesOfBothFormatFamilies) {
    PemDebugLibrary lib;
    ASSERT_TRUE(lib.Loaded()) << dlerror();
    TempFolder tmp;
    ScopedEnv state("XDG_STATE_HOME", tmp.Path().c_str());
    const uint64_t big = 0xFEDCBA9876543210ULL;
    const int64_t neg = INT64_MIN;
    {
        auto sink = lib.Create();
        sink->SetSinkParam(CDebugSink::PARAM_NAME, reinterpret_cast<uintptr_t>("View debug"), 0);
        sink->Log(1, "%llu %lld %llx %llX %" PRIu64, static_cast<unsigned long long>(big),
                  static_cast<long long>(neg), static_cast<unsigned long long>(big),
                  static_cast<unsigned long long>(big), big);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat"
#pragma GCC diagnostic ignored "-Wformat-extra-args"
        sink->Log(1, "%I64u %I64d %I64x %I64X _%08I64u", big, neg, big, big, uint64_t{12});
#pragma GCC diagnostic pop
    }
    const std::vector<std::string> lines = ReadLines(tmp.Path() + "/kavrindemo/View debug.log");
    ASSERT_EQ(lines.size(), 2u);
    ParsedLine line;
    ASSERT_TRUE(ParseLine(lines[0], line));
    EXPECT_EQ(line.text, "18364758544493064720 -9223372036854775808 fedcba9876543210 "
                         "FEDCBA9876543210 18364758544493064720");
    ASSERT_TRUE(ParseLine(lines[1], line));
    EXPECT_EQ(line.text, "18364758544493064720 -9223372036854775808 fedcba9876543210 "
                         "FEDCBA9876543210 _00000012");
}

TEST(PemDebugLibrary, OutputParameterRoundTripAndStandardErrorCopy) {
    PemDebugLibrary lib;
    ASSERT_TRUE(lib.Loaded()) << dlerror();
    TempFolder tmp;
    ScopedEnv state("XDG_STATE_HOME", tmp.Path().c_str());
    testing::internal::CaptureStderr();
    {
        auto sink = lib.Create();
        uintptr_t shown = 99;
        EXPECT_EQ(sink->GetSinkParam(CDebugSink::PARAM_OUTPUT, &shown, 0), 0u);
        EXPECT_EQ(shown, 0u);
        sink->Log(1, "quiet %d", 1);
        EXPECT_EQ(sink->SetSinkParam(CDebugSink::PARAM_OUTPUT, 1, 0), 0u);
        EXPECT_EQ(sink->GetSinkParam(CDebugSink::PARAM_OUTPUT, &shown, 0), 0u);
        EXPECT_EQ(shown, 1u);
        sink->Log(0, "shown %d", 2);
        EXPECT_EQ(sink->SetSinkParam(CDebugSink::PARAM_OUTPUT, 0, 0), 0u);
        EXPECT_EQ(sink->GetSinkParam(CDebugSink::PARAM_OUTPUT, &shown, 0), 0u);
        EXPECT_EQ(shown, 0u);
        sink->Log(1, "quiet %d", 3);
        EXPECT_EQ(sink->ActivateOutput(1), 0u);
        EXPECT_EQ(sink->GetSinkParam(CDebugSink::PARAM_OUTPUT, &shown, 0), 0u);
        EXPECT_EQ(shown, 1u);
        sink->Log(1, "shown %d", 4);

        // Unknown ids and a missing output place are refused.
        EXPECT_NE(sink->SetSinkParam(3, 1, 0), 0u);
        EXPECT_NE(sink->GetSinkParam(3, &shown, 0), 0u);
        EXPECT_NE(sink->GetSinkParam(CDebugSink::PARAM_OUTPUT, nullptr, 0), 0u);
    }
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("] 0 shown 2\n"), std::string::npos) << err;
    EXPECT_NE(err.find("] 1 shown 4\n"), std::string::npos) << err;
    EXPECT_EQ(err.find("quiet"), std::string::npos) << err;
    // The file gets every line, shown or not.
    EXPECT_EQ(ReadLines(tmp.Path() + "/kavrindemo/PemDebug.log").size(), 4u);
}

TEST(PemDebugFolder, StateFolderFromEnvironment) {
    {
        ScopedEnv state("XDG_STATE_HOME", "/var/tmp/state/");
        EXPECT_EQ(pemdebug::LogFolder(), "/var/tmp/state/kavrindemo");
    }
    {
        ScopedEnv home("HOME", "/home/tester");
        ScopedEnv unset("XDG_STATE_HOME", nullptr);
        EXPECT_EQ(pemdebug::LogFolder(), "/home/tester/.local/state/kavrindemo");
        ScopedEnv empty("XDG_STATE_HOME", "");
        EXPECT_EQ(pemdebug::LogFolder(), "/home/tester/.local/state/kavrindemo");
        ScopedEnv relative("XDG_STATE_HOME", "state");
        EXPECT_EQ(pemdebug::LogFolder(), "/home/tester/.local/state/kavrindemo");
    }
    // Names never lead out of the folder.
    EXPECT_EQ(pemdebug::LogFilePath("/f", "Doc debug"), "/f/Doc debug.log");
    EXPECT_EQ(pemdebug::LogFilePath("/f", ""), "/f/PemDebug.log");
    EXPECT_EQ(pemdebug::LogFilePath("/f", "../../etc/x\n"), "/f/.._.._etc_x_.log");
    EXPECT_EQ(pemdebug::LogFilePath("/f", std::string(300, 'n')).size(), 3 + 200 + 4u);
}

namespace {

constexpr int THREADS = 8;
constexpr int LINES_EACH = 3000;

// Logs LINES_EACH numbered lines from each of 8 threads, then releases the sink (which writes
// out the queue), and checks the file: every line is there in its thread's order with that
// thread's id, except lines that "N lines dropped" reports account for. Returns the dropped count.
uint64_t LogFromEightThreads(CDebugSink* sink, const std::function<void()>& release,
                             const std::string& file) {
    std::vector<long> tids(THREADS, 0);
    {
        std::vector<std::thread> threads;
        for (int t = 0; t < THREADS; ++t) {
            threads.emplace_back([sink, t, &tids] {
                tids[static_cast<size_t>(t)] = static_cast<long>(gettid());
                for (int n = 0; n < LINES_EACH; ++n)
                    sink->Log(1, "worker %d line %d", t, n);
            });
        }
        for (std::thread& th : threads)
            th.join();
        release();
    }

    uint64_t dropped = 0;
    uint64_t written = 0;
    std::vector<int> next(THREADS, 0);
    bool bLayoutOk = true;
    bool bOrderOk = true;
    for (const std::string& text : ReadLines(file)) {
        ParsedLine line;
        if (!ParseLine(text, line)) {
            bLayoutOk = false;
            continue;
        }
        unsigned long long count = 0;
        int t = -1;
        int n = -1;
        char tail = 0;
        if (std::sscanf(line.text.c_str(), "%llu lines dropped%c", &count, &tail) == 1 &&
            line.text == std::to_string(count) + " lines dropped") {
            dropped += count;
        } else if (std::sscanf(line.text.c_str(), "worker %d line %d", &t, &n) == 2 && t >= 0 &&
                   t < THREADS) {
            const auto i = static_cast<size_t>(t);
            bOrderOk = bOrderOk && n >= next[i] && line.tid == tids[i];
            next[i] = n + 1;
            ++written;
        } else {
            bLayoutOk = false;
        }
    }
    EXPECT_TRUE(bLayoutOk);
    EXPECT_TRUE(bOrderOk);
    EXPECT_EQ(written + dropped, static_cast<uint64_t>(THREADS) * LINES_EACH);
    return dropped;
}

} // namespace

TEST(PemDebugConcurrency, EightThreadsLoseNoLineUnlessReportedAsDropped) {
    TempFolder tmp;
    ScopedEnv state("XDG_STATE_HOME", tmp.Path().c_str());

    // Through the library's exports with its normal queue.
    PemDebugLibrary lib;
    ASSERT_TRUE(lib.Loaded()) << dlerror();
    auto sink = lib.Create();
    sink->SetSinkParam(CDebugSink::PARAM_NAME, reinterpret_cast<uintptr_t>("Library"), 0);
    const uint64_t libDropped = LogFromEightThreads(
        sink.get(), [&sink] { sink.reset(); }, tmp.Path() + "/kavrindemo/Library.log");

    // A tiny queue, so that lines are dropped and reported.
    auto small = std::make_unique<pemdebug::CPemDebugSink>(4);
    small->SetSinkParam(CDebugSink::PARAM_NAME, reinterpret_cast<uintptr_t>("Small"), 0);
    const uint64_t smallDropped = LogFromEightThreads(
        small.get(), [&small] { small.reset(); }, tmp.Path() + "/kavrindemo/Small.log");
    RecordProperty("dropped_library_queue", std::to_string(libDropped));
    RecordProperty("dropped_4_line_queue", std::to_string(smallDropped));
}
