// text_log_writer_test.cpp - the text log: its lines character for
// character, the file's byte-order mark, failures, and concurrent writers.
#include <cstdio>
#include <thread>
#include <vector>

#include "child_process.h"
#include "log_test_support.h"
#include "zyn_log_output.h"
#include "zyn_log_writer.h"

namespace {

const WCHAR* const TIME = TEXT("Sun Dec 06 17:35:48 2026");

struct LineCase {
    const char* comment;
    DWORD level;
    const WCHAR* app;
    const WCHAR* object;
    const WCHAR* function;
    const WCHAR* message;
    DWORD resultType;
    LONG result;
    const WCHAR* source;
    DWORD line;
    const char* expected;  // without the CR LF
};

const LineCase LINE_CASES[] = {
    {"exit of a failed traced write", ZYN_EXIT, TEXT("app"), TEXT("CZYNIni"),
     TEXT("setProfileString"), nullptr, 1, 0, TEXT("zyn_ini.cpp"), 493,
     "<Sun Dec 06 17:35:48 2026>: <EXIT> <app> <CZYNIni::setProfileString> <Failed> <zyn_ini.cpp, 493> "},
    {"exit that passed", ZYN_EXIT, TEXT("app"), TEXT("CZYNIni"), TEXT("f"), nullptr, 1, 1,
     TEXT("a.cpp"), 7, "<Sun Dec 06 17:35:48 2026>: <EXIT> <app> <CZYNIni::f> <Passed> <a.cpp, 7> "},
    {"entry shows no result piece", ZYN_ENTRY, TEXT("app"), TEXT("CZYNIni"), TEXT("f"), nullptr, 1,
     0, TEXT("a.cpp"), 7, "<Sun Dec 06 17:35:48 2026>: <ENTRY> <app> <CZYNIni::f> <a.cpp, 7> "},
    {"exception with code 5", ZYN_EXCEPTION_BAD, TEXT("app"), nullptr, nullptr,
     TEXT("Unable to allocate memory ( x )"), 0, 5, TEXT("zyn_buffer.h"), 12,
     "<Sun Dec 06 17:35:48 2026>: <EXCEPTION_BAD> <app> \"Unable to allocate memory ( x )\" "
     "<Error: 0x00000005> <zyn_buffer.h, 12> "},
    {"code -1 shows no error piece", ZYN_EXCEPTION_BAD, TEXT("app"), nullptr, nullptr, TEXT("m"),
     0, -1, TEXT("s.cpp"), 3, "<Sun Dec 06 17:35:48 2026>: <EXCEPTION_BAD> <app> \"m\" <s.cpp, 3> "},
    {"code 0 shows no error piece", ZYN_WARNING, TEXT("app"), nullptr, nullptr, TEXT("m"), 0, 0,
     TEXT("s.cpp"), 3, "<Sun Dec 06 17:35:48 2026>: <WARNING> <app> \"m\" <s.cpp, 3> "},
    {"negative code as unsigned hex", ZYN_ERROR, TEXT("app"), nullptr, nullptr, TEXT("m"), 0, -2,
     nullptr, 0, "<Sun Dec 06 17:35:48 2026>: <ERROR> <app> \"m\" <Error: 0xfffffffe> "},
    {"registry exception: result type 1 shows nothing", ZYN_EXCEPTION_BAD, TEXT("app"),
     TEXT("CZYNRegistryKey"), TEXT("create"), TEXT("Unable to create registry key ( \"k\" )"), 1,
     5, TEXT("zyn_registry_key.cpp"), 9,
     "<Sun Dec 06 17:35:48 2026>: <EXCEPTION_BAD> <app> <CZYNRegistryKey::create> \"Unable to "
     "create registry key ( \"k\" )\" <zyn_registry_key.cpp, 9> "},
    {"return code on every level", ZYN_INFORMATION, TEXT("app"), nullptr, nullptr, nullptr, 3, 0,
     nullptr, 0, "<Sun Dec 06 17:35:48 2026>: <INFORMATION> <app> <Return Code: 0x00000000> "},
    {"logical comparison that failed", ZYN_EXIT, TEXT("app"), TEXT("CZYNFlags"),
     TEXT("operator!="), nullptr, 2, 0, TEXT("zyn_flags.cpp"), 131,
     "<Sun Dec 06 17:35:48 2026>: <EXIT> <app> <CZYNFlags::operator!=> <Failed Logical Result> "
     "<zyn_flags.cpp, 131> "},
    {"only a function name", ZYN_DEBUG, TEXT("app"), nullptr, TEXT("fn"), nullptr, 0, 0, nullptr, 0,
     "<Sun Dec 06 17:35:48 2026>: <DEBUG> <app> <::fn> "},
    {"only an object name", ZYN_DEBUG, TEXT("app"), TEXT("Obj"), nullptr, nullptr, 0, 0, nullptr, 0,
     "<Sun Dec 06 17:35:48 2026>: <DEBUG> <app> <Obj> "},
    {"source file without a line ends with >", ZYN_DEBUG, TEXT("app"), nullptr, nullptr,
     TEXT("m"), 0, 0, TEXT("dir\\tpa_hbc.cpp"), 0,
     "<Sun Dec 06 17:35:48 2026>: <DEBUG> <app> \"m\" <tpa_hbc.cpp>"},
    {"a line without a source file", ZYN_DEBUG, TEXT("app"), nullptr, nullptr, nullptr, 0, 0,
     nullptr, 42, "<Sun Dec 06 17:35:48 2026>: <DEBUG> <app> <42> "},
    {"level 0 is unspecified", 0, TEXT("app"), nullptr, nullptr, nullptr, 0, 0, nullptr, 0,
     "<Sun Dec 06 17:35:48 2026>: <UNSPECIFIED> <app> "},
    {"two level bits are unspecified", 3, TEXT("app"), nullptr, nullptr, nullptr, 0, 0, nullptr, 0,
     "<Sun Dec 06 17:35:48 2026>: <UNSPECIFIED> <app> "},
    {"no application name", ZYN_CRITICAL, nullptr, nullptr, nullptr, nullptr, 0, 0, nullptr, 0,
     "<Sun Dec 06 17:35:48 2026>: <CRITICAL> <> "},
};

CZYNLogDetail detailOf(const LineCase& c) {
    CZYNLogDetail d;
    d.m_ulLevel = c.level;
    d.setApplicationName(c.app);
    d.setObjectName(c.object);
    d.setFunctionName(c.function);
    d.setMessage(c.message);
    d.m_ulResultType = c.resultType;
    d.m_lResult = c.result;
    d.setSourceFile(c.source);
    d.m_ulLine = c.line;
    return d;
}

std::string built(const CZYNLogDetail& d, bool shortLine = false) {
    WCHAR line[CZYNTextLogWriter::LINE_UNITS];
    DWORD n = shortLine ? CZYNTextLogWriter::buildShortLine(d, TIME, line)
                        : CZYNTextLogWriter::buildLine(d, TIME, line);
    return U8(wstr(line, n));
}

class TextLogWriterTest : public HbcTest {};

// The message of record `n` of writer `tag`: its own letter repeated, so that
// a torn or mixed line shows.
std::string recordMessage(const std::string& tag, int n) {
    char head[32];
    std::snprintf(head, sizeof head, "writer %s record %04d ", tag.c_str(), n);
    return head + std::string(200, tag[0]);
}

// Appends records to the log file named first, as writer `tag` (second), as
// many as the third argument says. It starts when the folder named fourth
// exists, after making its own folder beside it (that name and the tag), so
// that the writers can be started together. The exit code counts the failed
// writes.
HBC_CHILD_ROUTINE(appendLogRecords) {
    CreateDirectoryW(W(args[3] + args[1]).c_str(), nullptr);
    while (GetFileAttributesW(W(args[3]).c_str()) == INVALID_FILE_ATTRIBUTES) Sleep(0);
    CZYNLogDetail d;
    d.m_ulLevel = ZYN_ERROR;
    d.setApplicationName(TEXT("writer"));
    d.setOutputFile(W(args[0]).c_str());
    int failed = 0;
    for (int n = 0; n < std::stoi(args[2]); ++n) {
        d.setMessage(W(recordMessage(args[1], n)).c_str());
        if (!CZYNTextLogWriter().write(d)) ++failed;
    }
    return failed < 100 ? failed : 100;
}

}  // namespace

TEST(TextLogLine, PiecesAreLaidOutExactly) {
    for (const LineCase& c : LINE_CASES) {
        SCOPED_TRACE(c.comment);
        EXPECT_EQ(std::string(c.expected) + "\r\n", built(detailOf(c)));
    }
}

TEST(TextLogLine, ShortLineHasNoNamesSourceOrLine) {
    CZYNLogDetail d = detailOf(LINE_CASES[0]);
    EXPECT_EQ("<Sun Dec 06 17:35:48 2026>: <EXIT> <app> <Failed>\r\n", built(d, true));
    d.m_ulResultType = 2;
    EXPECT_EQ("<Sun Dec 06 17:35:48 2026>: <EXIT> <app> <Failed Comparison>\r\n", built(d, true));
    d.m_lResult = 1;
    EXPECT_EQ("<Sun Dec 06 17:35:48 2026>: <EXIT> <app> <Passed>\r\n", built(d, true));
    d.m_ulResultType = 0;
    d.m_lResult = 5;
    d.setMessage(TEXT("m"));
    EXPECT_EQ("<Sun Dec 06 17:35:48 2026>: <EXIT> <app> \"m\" <Error: 0x00000005> \r\n",
              built(d, true));
}

TEST(TextLogLine, LongLineIsCutKeepingItsLineEnd) {
    CZYNLogDetail d;
    d.m_ulLevel = ZYN_ERROR;
    d.setApplicationName(TEXT("app"));
    d.setMessage(wstr(3000, u'x').c_str());
    WCHAR line[CZYNTextLogWriter::LINE_UNITS + 8];
    for (WCHAR& c : line) c = u'#';
    DWORD n = CZYNTextLogWriter::buildLine(d, TIME, line);
    ASSERT_EQ(CZYNTextLogWriter::LINE_UNITS, n);
    EXPECT_EQ(u'\r', line[n - 2]);
    EXPECT_EQ(u'\n', line[n - 1]);
    EXPECT_EQ(u'x', line[n - 3]);
    EXPECT_EQ(u'#', line[n]) << "nothing written past the line buffer";

    // A surrogate pair that would be split at the cut is dropped whole.
    wstr message(1200, u'y');
    DWORD head = static_cast<DWORD>(built(d).find('x'));  // units before the message
    message[CZYNTextLogWriter::LINE_UNITS - 3 - head] = 0xD83D;
    message[CZYNTextLogWriter::LINE_UNITS - 2 - head] = 0xDE00;
    d.setMessage(message.c_str());
    n = CZYNTextLogWriter::buildLine(d, TIME, line);
    EXPECT_EQ(CZYNTextLogWriter::LINE_UNITS - 1, n);
    EXPECT_EQ(u'y', line[n - 3]);
}

TEST(TextLogLine, TimeAndLevelNames) {
    SYSTEMTIME t = {};
    t.wYear = 2026; t.wMonth = 12; t.wDayOfWeek = 0; t.wDay = 6;
    t.wHour = 17; t.wMinute = 35; t.wSecond = 48;
    WCHAR text[25];
    CZYNTextLogWriter::formatTime(t, text);
    EXPECT_EQ("Sun Dec 06 17:35:48 2026", U8(text));
    t.wYear = 2027; t.wMonth = 1; t.wDayOfWeek = 6; t.wDay = 9; t.wHour = 3; t.wMinute = 4; t.wSecond = 5;
    CZYNTextLogWriter::formatTime(t, text);
    EXPECT_EQ("Sat Jan 09 03:04:05 2027", U8(text));

    WCHAR name[32];
    CZYNLogWriter::getLevelName(ZYN_NOTIFICATION, name, 32);
    EXPECT_EQ("NOTIFICATION", U8(name));
    CZYNLogWriter::getLevelName(ZYN_EXCEPTION_BAD, name, 5);
    EXPECT_EQ("EXCE", U8(name)) << "at most the given number of units, terminator included";
    CZYNLogWriter::getLevelName(4096, name, 32);
    EXPECT_EQ("UNSPECIFIED", U8(name));
}

TEST_F(TextLogWriterTest, NewFileGetsOneByteOrderMarkAndLinesAppend) {
    enableLogging(27);
    ASSERT_TRUE(writeRecord(ZYN_ERROR, TEXT("first"), 0, 0));
    ASSERT_TRUE(writeRecord(ZYN_ERROR, TEXT("second"), 0, 0));
    std::vector<unsigned char> bytes = readBytes(fsPath("log.txt"));
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(0xFF, bytes[0]);
    EXPECT_EQ(0xFE, bytes[1]);
    EXPECT_NE(0xFF, bytes[2]) << "a single mark";
    bool bom = false;
    std::vector<std::string> lines = logLines(&bom);
    EXPECT_TRUE(bom);
    ASSERT_EQ(2u, lines.size());
    EXPECT_TRUE(std::regex_search(lines[0], timePiece())) << lines[0];
    EXPECT_EQ("<ERROR> <" + applicationName() + "> \"first\" ", withoutTime(lines[0]));
    EXPECT_EQ("<ERROR> <" + applicationName() + "> \"second\" ", withoutTime(lines[1]));
}

TEST_F(TextLogWriterTest, ExistingFileGetsNoSecondMark) {
    enableLogging(27);
    writeBytes(fsPath("log.txt"), std::string("\xFF\xFE", 2));
    ASSERT_TRUE(writeRecord(ZYN_ERROR, TEXT("x"), 0, 0));
    std::vector<unsigned char> bytes = readBytes(fsPath("log.txt"));
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(u'<', bytes[2] | (bytes[3] << 8));
}

TEST_F(TextLogWriterTest, MissingLastFolderLevelIsCreated) {
    enableLogging(27);
    regSetString(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\Norvak\\Logs"), TEXT("TextOutput"),
                 winPath("logs\\hbc.log"));
    ASSERT_TRUE(writeRecord(ZYN_ERROR, TEXT("x"), 0, 0));
    EXPECT_EQ(1u, readUtf16Lines(fsPath("logs/hbc.log")).size());

    // Only the last level: a missing parent means no log.
    regSetString(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\Norvak\\Logs"), TEXT("TextOutput"),
                 winPath("a\\b\\hbc.log"));
    EXPECT_FALSE(writeRecord(ZYN_ERROR, TEXT("x"), 0, 0));
}

TEST_F(TextLogWriterTest, UnusablePathsWriteNothing) {
    struct {
        const char* comment;
        wstr path;
    } cases[] = {
        {"UNC path: no drive letter", TEXT("\\\\server\\share\\log.txt")},
        {"relative path", TEXT("log.txt")},
        {"longer than the 127 characters of the setting", winPath(std::string(200, 'l'))},
    };
    enableLogging(27);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.comment);
        regSetString(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\Norvak\\Logs"), TEXT("TextOutput"), c.path);
        CZYNDetailedLog record(ZYN_ERROR, TEXT("m"), 0, 0, nullptr, nullptr, nullptr, 0, true,
                               false, 1, nullptr, nullptr);
        EXPECT_EQ(0, record.m_bLogged);
    }
    // No setting at all.
    regDeleteTree(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\Norvak\\Logs"));
    enableLogging(27);
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\Norvak\\Logs"), 0,
                                           KEY_ALL_ACCESS, &key));
    RegDeleteValueW(key, TEXT("TextOutput"));
    RegCloseKey(key);
    EXPECT_FALSE(writeRecord(ZYN_ERROR, TEXT("m"), 0, 0));
}

TEST_F(TextLogWriterTest, DispatcherAnswersWithTheLastWriter) {
    enableLogging(27);
    CZYNDetailedLog both(ZYN_ERROR, TEXT("mask 3"), 0, 0, nullptr, nullptr, nullptr, 0, true,
                         false, 3, nullptr, nullptr);
    EXPECT_EQ(0, both.m_bLogged) << "the XML writer runs after the text writer and fails";
    CZYNDetailedLog none(ZYN_ERROR, TEXT("mask 16"), 0, 0, nullptr, nullptr, nullptr, 0, true,
                         false, 16, nullptr, nullptr);
    EXPECT_EQ(0, none.m_bLogged);
    CZYNDetailedLog text(ZYN_ERROR, TEXT("mask 1"), 0, 0, nullptr, nullptr, nullptr, 0, true,
                         false, 1, nullptr, nullptr);
    EXPECT_EQ(1, text.m_bLogged);
    EXPECT_EQ(1u, logLinesWith("mask 3").size()) << "the text line is still written";
    EXPECT_EQ(0u, logLinesWith("mask 16").size());
    EXPECT_EQ(1u, logLinesWith("mask 1\"").size());

    CZYNLogDetail d;
    CZYNLogOutput output;
    EXPECT_FALSE(output.dispatch(0, d));
}

TEST_F(TextLogWriterTest, ConcurrentWritersNeitherLoseNorTearLines) {
    enableLogging(27);
    const int THREADS = 4;
    const int RECORDS = 50;
    std::vector<std::thread> threads;
    for (int t = 0; t < THREADS; ++t)
        threads.emplace_back([t] {
            wstr message = W("thread " + std::to_string(t) + " ") + wstr(300, u'a' + t);
            for (int i = 0; i < RECORDS; ++i) writeRecord(ZYN_ERROR, message.c_str(), 0, 0);
        });
    for (std::thread& t : threads) t.join();
    bool bom = false;
    std::vector<std::string> lines = logLines(&bom);
    EXPECT_TRUE(bom);
    ASSERT_EQ(static_cast<size_t>(THREADS * RECORDS), lines.size());
    for (const std::string& line : lines) {
        std::string rest = withoutTime(line);
        ASSERT_FALSE(rest.empty()) << line;
        char letter = rest[rest.find("\"thread ") + 10];
        EXPECT_NE(std::string::npos, rest.find(std::string(300, letter) + "\" ")) << line;
    }
}

// Two processes append to one new log at once: one byte-order mark, and
// every record whole, once, in its writer's order.
TEST_F(TextLogWriterTest, TwoProcessesNeitherLoseNorTearLines) {
    const int RECORDS = 2000;
    const char* const TAGS[] = {"A", "B"};
    {
        const std::string go = U8(winPath("go"));
        ChildProcess a("appendLogRecords",
                       {U8(logFileWin()), TAGS[0], std::to_string(RECORDS), go});
        ChildProcess b("appendLogRecords",
                       {U8(logFileWin()), TAGS[1], std::to_string(RECORDS), go});
        for (int waited = 0; waited < 60000; waited += 10) {
            if (std::filesystem::exists(fsPath("goA")) && std::filesystem::exists(fsPath("goB")))
                break;
            Sleep(10);
        }
        std::filesystem::create_directory(fsPath("go"));
        EXPECT_EQ(0, a.wait());
        EXPECT_EQ(0, b.wait());
    }
    bool bom = false;
    std::vector<std::string> lines = logLines(&bom);
    EXPECT_TRUE(bom);
    EXPECT_EQ(static_cast<size_t>(2 * RECORDS), lines.size());
    int next[2] = {0, 0};
    for (const std::string& line : lines) {
        std::string rest = withoutTime(line);
        int writer = rest.find("writer B") != std::string::npos;
        std::string expected =
            "<ERROR> <writer> \"" + recordMessage(TAGS[writer], next[writer]) + "\" ";
        ASSERT_EQ(expected, rest) << "torn, lost or out of order";
        ++next[writer];
    }
}
