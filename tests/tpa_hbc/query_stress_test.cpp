// query_stress_test.cpp - the host querying from many threads at once while
// the log writes every record: found, fallback and missing menu texts,
// capabilities, and ids beyond a list or past the lists. Every answer must be
// right, every log line whole, the log must hold exactly one byte-order mark
// and exactly the records the queries make.
//
// HBC_STRESS_QUERIES sets the queries per thread (default 2000, which every
// preset runs in the ordinary suite); the full run is 100000:
//   HBC_STRESS_QUERIES=100000 /tmp/hbc-<hash>/tpa_hbc_tests --gtest_filter='QueryStress*'
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <thread>

#include "catalogue_fixture.h"

namespace {

const int kThreads = 8;
const DWORD kLanguage = 0x0407;

// A query and what the host must get; the records it writes are measured
// once before the threads start.
struct Query {
    const char* kind;
    DWORD id;
    bool capabilityOnly;
    DWORD code;
    FunctionInfo expected;  // the record after the query (function-info queries)
    LONG capability;        // the value after the query
};

// The log's lines without their time, counted; a line that is not whole
// counts under "(torn) ...".
using Tally = std::map<std::string, size_t>;

// Reads the log in pieces (a full run writes hundreds of megabytes) and
// counts its lines. `marks` counts byte-order marks anywhere in the file.
Tally tallyLog(const std::filesystem::path& path, size_t* marks, bool* startsWithMark) {
    Tally tally;
    std::ifstream in(path, std::ios::binary);
    std::vector<char> chunk(1 << 20);
    wstr pending;
    bool first = true;
    *marks = 0;
    *startsWithMark = false;
    auto line = [&](const wstr& text) {
        // "<Www Mmm dd hh:mm:ss yyyy>: " and then the record.
        bool whole = text.size() > 28 && text[0] == u'<' && text[25] == u'>' && text[26] == u':' &&
                     text[27] == u' ' && text.back() == u' ';
        std::string rest = U8(whole ? text.substr(28) : text);
        ++tally[whole ? rest : "(torn) " + rest];
    };
    while (in) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        size_t n = static_cast<size_t>(in.gcount());
        for (size_t i = 0; i + 1 < n; i += 2) {
            WCHAR unit = static_cast<WCHAR>(static_cast<unsigned char>(chunk[i]) |
                                            static_cast<unsigned char>(chunk[i + 1]) << 8);
            if (unit == 0xFEFF) {
                ++*marks;
                if (first) *startsWithMark = true;
                first = false;
                continue;
            }
            first = false;
            if (unit == u'\n' && !pending.empty() && pending.back() == u'\r') {
                pending.pop_back();
                line(pending);
                pending.clear();
                continue;
            }
            pending.push_back(unit);
        }
    }
    if (!pending.empty()) line(pending);
    return tally;
}

class QueryStressTest : public CatalogueTest {
protected:
    void SetUp() override {
        CatalogueTest::SetUp();
        if (HasFatalFailure()) return;
        // Item 1: its text in the host's language; item 2: only in English;
        // item 3: in no language.
        writeBytes(itemPath("a.ini"), section("QUICKLINK", 1) + section("TOOLKIT", 2));
        writeBytes(itemPath("b.ini"), section("QUICKLINK", 3));
        writeBytes(itemPath("a.ini.strings"),
                   "[0x407]\r\nIDS_1=Eins\r\n[0x09]\r\nIDS_1=One\r\nIDS_2=Two\r\n");
        writeBytes(itemPath("b.ini.strings"), "[0x09]\r\nIDS_9=Nine\r\n");
        ASSERT_TRUE(enableLogging(0xFFF));  // every level: traces too
        ASSERT_EQ(TRUE, DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr));
        ASSERT_EQ(2, quickLinkItems.getCount());
        ASSERT_EQ(1, toolkitItems.getCount());
    }
    void TearDown() override {
        DeleteLists();
        CatalogueTest::TearDown();
    }

    static DWORD ask(const Query& q, FunctionInfo& record, LONG& capability) {
        capability = kCapabilityUntouched;
        if (q.capabilityOnly) return HB_GetCapability(q.id, &capability);
        std::memset(&record, kHostFill, sizeof record);
        record.functionId = q.id;
        DWORD size = sizeof record;
        return HB_GetFunctionInfo(kLanguage, &record, &size);
    }

    // The queries of the mix, each with its answer taken from a first,
    // single-threaded run and checked against what the catalogue holds.
    std::vector<Query> queries() {
        std::vector<Query> mix = {
            {"found", 1, false, 0, {}, 0},           {"fallback", 101, false, 0, {}, 0},
            {"missing", 2, false, 0, {}, 0},         {"capability", 2, true, 0, {}, 0},
            {"beyond the list", 3, false, 1, {}, 0}, {"no such list", 250, true, 2, {}, 0},
        };
        const char* texts[] = {"Eins", "Two", nullptr};
        for (Query& q : mix) {
            SCOPED_TRACE(q.kind);
            EXPECT_EQ(q.code, ask(q, q.expected, q.capability));
        }
        for (int i = 0; i < 3; ++i) {
            const FunctionInfo& r = mix[i].expected;
            if (texts[i])
                EXPECT_EQ(texts[i], U8(r.menuText));
            else
                EXPECT_EQ(0xCDCD, r.menuText[0]) << "the host's text stays";
            EXPECT_EQ(command(i + 1), U8(r.execInterface));  // items 1, 2 and 3
        }
        EXPECT_EQ(4003, mix[3].capability);
        EXPECT_EQ(kCapabilityUntouched, mix[5].capability);
        return mix;
    }
};

size_t queriesPerThread() {
    const char* setting = std::getenv("HBC_STRESS_QUERIES");
    return setting ? std::strtoul(setting, nullptr, 10) : 2000;
}

}  // namespace

TEST_F(QueryStressTest, EveryAnswerRightAndEveryRecordWrittenWhole) {
    const std::vector<Query> mix = queries();
    ASSERT_FALSE(HasFailure());

    // The records each kind of query writes, one query at a time.
    std::vector<Tally> perQuery;
    for (const Query& q : mix) {
        std::filesystem::remove(fsPath("log.txt"));
        FunctionInfo record;
        LONG capability;
        ask(q, record, capability);
        size_t marks = 0;
        bool startsWithMark = false;
        perQuery.push_back(std::filesystem::exists(fsPath("log.txt"))
                               ? tallyLog(fsPath("log.txt"), &marks, &startsWithMark)
                               : Tally());
    }
    ASSERT_FALSE(perQuery[2].empty()) << "a missing text writes records";

    // The threads, each running the mix from its own starting point.
    std::filesystem::remove(fsPath("log.txt"));
    const size_t perThread = queriesPerThread();
    std::vector<std::vector<size_t>> asked(kThreads, std::vector<size_t>(mix.size()));
    std::vector<size_t> wrong(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            FunctionInfo record;
            LONG capability;
            for (size_t i = 0; i < perThread; ++i) {
                size_t k = (i + t) % mix.size();
                const Query& q = mix[k];
                ++asked[t][k];
                DWORD code = ask(q, record, capability);
                bool right =
                    code == q.code && capability == q.capability &&
                    (q.capabilityOnly || std::memcmp(&record, &q.expected, sizeof record) == 0);
                if (!right) ++wrong[t];
            }
        });
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(0u, wrong[t]) << "thread " << t;

    Tally expected;
    for (size_t k = 0; k < mix.size(); ++k) {
        size_t times = 0;
        for (int t = 0; t < kThreads; ++t) times += asked[t][k];
        for (const auto& [record, count] : perQuery[k]) expected[record] += count * times;
    }
    size_t marks = 0;
    bool startsWithMark = false;
    Tally logged = tallyLog(fsPath("log.txt"), &marks, &startsWithMark);
    size_t lines = 0;
    for (const auto& [record, count] : logged) lines += count;
    std::printf("%d threads x %zu queries: %zu log lines\n", kThreads, perThread, lines);
    EXPECT_TRUE(startsWithMark);
    EXPECT_EQ(1u, marks) << "exactly one byte-order mark";
    for (const auto& [record, count] : logged)
        EXPECT_EQ(expected.count(record) ? expected[record] : 0, count) << record;
    for (const auto& [record, count] : expected)
        EXPECT_TRUE(logged.count(record)) << "never written: " << record;
}
