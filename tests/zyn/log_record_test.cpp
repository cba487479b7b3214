// log_record_test.cpp - diagnostic records: their detail and its copying,
// the catalogue's messages, when each record is written, the last-error
// value across logging, function traces and the failure convention.
#include <cerrno>
#include <stdexcept>

#include "log_test_support.h"
#include "zyn_failure.h"
#include "zyn_function_trace.h"
#include "zyn_log_exception.h"
#include "zyn_log_warning.h"

namespace {

const WCHAR* const SRC = TEXT("zyn_test.cpp");

class LogRecordTest : public HbcTest {
protected:
    void SetUp() override {
        HbcTest::SetUp();
        enableLogging(0xFFF);  // every level
    }
    // The quoted message of the only line that has it.
    std::string onlyLineWith(const std::string& needle) {
        std::vector<std::string> lines = logLinesWith(needle);
        EXPECT_EQ(1u, lines.size()) << needle;
        return lines.empty() ? "" : withoutTime(lines[0]);
    }
};

}  // namespace

TEST(LogDetail, SettersAndDeepCopies) {
    CZYNLogDetail d;
    EXPECT_TRUE(d.setMessage(nullptr));
    EXPECT_EQ(nullptr, d.getMessage());
    EXPECT_FALSE(d.setMessage(TEXT(""))) << "an empty text leaves the field absent and fails";
    EXPECT_EQ(nullptr, d.getMessage());
    ASSERT_TRUE(d.setMessage(TEXT("first")));
    ASSERT_TRUE(d.setMessage(TEXT("second")));
    d.setObjectName(TEXT("Obj"));
    d.m_ulLevel = ZYN_DEBUG;
    d.m_lResult = -7;

    CZYNLogDetail copy(d);
    EXPECT_NE(d.getMessage(), copy.getMessage()) << "a fresh copy of every string";
    EXPECT_EQ("second", U8(copy.getMessage()));
    EXPECT_EQ("Obj", U8(copy.getObjectName()));
    EXPECT_EQ(nullptr, copy.getFunctionName());
    EXPECT_EQ(static_cast<DWORD>(ZYN_DEBUG), copy.m_ulLevel);
    EXPECT_EQ(-7, copy.m_lResult);

    CZYNLogDetail assigned;
    assigned.setFunctionName(TEXT("old"));
    assigned = d;
    EXPECT_EQ(nullptr, assigned.getFunctionName());
    assigned = assigned;
    EXPECT_EQ("second", U8(assigned.getMessage())) << "assignment to itself keeps the content";
}

TEST_F(LogRecordTest, CopiesKeepTheWrittenFlag) {
    CZYNBadArgException original(TEXT("arg"), TEXT("why"), SRC, 10);
    ASSERT_EQ(1, original.m_bLogged);
    CZYNBadArgException copy(original);
    EXPECT_EQ(1, copy.m_bLogged);
    EXPECT_EQ(U8(original.getDetail().getMessage()), U8(copy.getDetail().getMessage()));
    EXPECT_NE(original.getDetail().getMessage(), copy.getDetail().getMessage());
}

TEST_F(LogRecordTest, CatalogueMessages) {
    struct {
        const char* comment;
        std::function<void()> build;
        const char* line;  // the line after its time piece, application name replaced by APP
    } rows[] = {
        {"missing insert shows Unknown",
         [] { CZYNMemAllocException e(nullptr, SRC, 1); },
         "<EXCEPTION_BAD> <APP> \"Unable to allocate memory ( Unknown )\" <zyn_test.cpp, 1> "},
        {"missing key name shows Unknown",
         [] { CZYNWritePrivateProfileStringException e(TEXT("QUICKLINK"), nullptr, 5, SRC, 2); },
         "<EXCEPTION_BAD> <APP> \"Unable to write profile string ( section: QUICKLINK, key name: "
         "Unknown )\" <Error: 0x00000005> <zyn_test.cpp, 2> "},
        {"bad argument without a name",
         [] { CZYNBadArgException e(nullptr, TEXT("value must be greater than 0"), SRC, 3); },
         "<EXCEPTION_BAD> <APP> \"A bad argument was provided ( Unknown ). value must be greater "
         "than 0\" <zyn_test.cpp, 3> "},
        {"registry set: result type 1, no error piece, object and function shown",
         [] {
             CZYNRegValueSetException e(TEXT("SOFTWARE\\X"), TEXT("v"), 5, TEXT("CZYNRegistryString"),
                                        TEXT("setValue"), SRC, 4);
         },
         "<EXCEPTION_BAD> <APP> <CZYNRegistryString::setValue> \"Unable to Set registry value ( "
         "\"SOFTWARE\\X\\v\" )\" <zyn_test.cpp, 4> "},
        {"unhandled with a code",
         [] { CZYNUnhandledExceptionException e(2, SRC, 5); },
         "<EXCEPTION_BAD> <APP> \"An unhandled exception occurred\" <Error: 0x00000002> "
         "<zyn_test.cpp, 5> "},
        {"close-key warning",
         [] { CZYNRegCloseKeyWarning w(TEXT("K"), 6, TEXT("CZYNRegistryKey"), TEXT("close"), SRC, 6); },
         "<WARNING> <APP> <CZYNRegistryKey::close> \"Unable to close registry key ( K )\" "
         "<Error: 0x00000006> <zyn_test.cpp, 6> "},
        {"free warning for a token handle",
         [] { CZYNMemFreeWarning w(TEXT("hLocalToken"), 6, SRC, 7); },
         "<WARNING> <APP> \"Unable to free memory ( hLocalToken )\" <Error: 0x00000006> "
         "<zyn_test.cpp, 7> "},
        {"already-open note",
         [] { CZYNRegKeyOpenWarning w(TEXT("K"), SRC, 8); },
         "<WARNING> <APP> \"Registry key is already open ( K )\" <zyn_test.cpp, 8> "},
        {"debug note",
         [] { CZYNDebugLog d(TEXT("calling DllMain() - tpa_hbc.dll"), 0, 0, TEXT("tpa_hbc.dll"), TEXT("DllMain"), TEXT("tpa_hbc.cpp"), 9); },
         "<DEBUG> <APP> <tpa_hbc.dll::DllMain> \"calling DllMain() - tpa_hbc.dll\" <tpa_hbc.cpp, 9> "},
        {"profile int failure built in place",
         [] { CZYNLogException1 e(TEXT("GetPrivateProfileInt( ) failed."), 2, 0, nullptr, nullptr, SRC, 10); },
         "<EXCEPTION_BAD> <APP> \"GetPrivateProfileInt( ) failed.\" <Error: 0x00000002> "
         "<zyn_test.cpp, 10> "},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        std::filesystem::remove(fsPath("log.txt"));
        row.build();
        std::vector<std::string> lines = logLines();
        ASSERT_EQ(1u, lines.size());
        std::string expected = row.line;
        expected.replace(expected.find("APP"), 3, applicationName());
        EXPECT_EQ(expected, withoutTime(lines[0]));
    }
}

TEST_F(LogRecordTest, LongMessagesAreCutToTheirBuffer) {
    wstr what(2000, u'w');
    CZYNMemAllocException e(what.c_str(), SRC, 1);
    EXPECT_EQ(1023u, std::char_traits<WCHAR>::length(e.getDetail().getMessage()));
    EXPECT_EQ("Unable to allocate memory ( www", U8(e.getDetail().getMessage()).substr(0, 31));
}

TEST_F(LogRecordTest, LoggingKeepsTheLastErrorValue) {
    // Each value is read at once: a failed assertion would change it.
    SetLastError(0xdeadbeef);
    CZYNBadArgException written(TEXT("a"), TEXT("b"), SRC, 1);
    DWORD after = GetLastError();
    EXPECT_EQ(1, written.m_bLogged);
    EXPECT_EQ(0xdeadbeefu, after);

    regSetString(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\Norvak\\Logs"), TEXT("TextOutput"),
                 winPath("missing\\folder\\log.txt"));
    SetLastError(1234);
    CZYNBadArgException failed(TEXT("a"), TEXT("b"), SRC, 1);
    after = GetLastError();
    EXPECT_EQ(0, failed.m_bLogged);
    EXPECT_EQ(1234u, after) << "a failed write keeps it too";

    regDeleteTree(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\Norvak"));
    SetLastError(87);
    bool wrote = written.log();
    after = GetLastError();
    EXPECT_FALSE(wrote);
    EXPECT_EQ(87u, after) << "and so does a record that is not written at all";
}

TEST_F(LogRecordTest, WhenEachRecordIsWritten) {
    {
        CZYNBadArgException e(TEXT("a"), TEXT("written once"), SRC, 1);
        zyn::logIfNotLogged(e);
    }
    EXPECT_EQ(1u, logLinesWith("written once").size()) << "written when built, not again";

    {
        CZYNIndexOutOfBoundsException e(SRC, 2);
        EXPECT_EQ(1, e.m_bLogged);
    }
    EXPECT_EQ(1u, logLinesWith("Index out of array bounds").size());

    // Buffer-init and memory-copy records are written by the handler and
    // again when the thrown object is destroyed.
    try {
        throw CZYNBufferInitException(SRC, 3);
    } catch (CZYNLogging& record) {
        EXPECT_EQ(0, record.m_bLogged);
        zyn::logIfNotLogged(record);
    }
    EXPECT_EQ(2u, logLinesWith("Unable to initialize CZYNBuffer").size());
    try {
        throw CZYNMemoryCopyException(5, SRC, 4);
    } catch (CZYNLogging& record) {
        zyn::logIfNotLogged(record);
    }
    EXPECT_EQ(2u, logLinesWith("memcpy() function failed").size());
}

TEST_F(LogRecordTest, TraceWritesEntryAndExitWithTheSameNamesAndLine) {
    {
        CZYNFunctionTrace trace(TEXT("CZYNFlags"), TEXT("hasFlags"), TEXT("zyn_flags.cpp"), 281);
        ASSERT_NE(nullptr, trace.getRecord());
        EXPECT_FALSE(trace.compared(false));
    }
    std::vector<std::string> lines = logLines();
    ASSERT_EQ(2u, lines.size());
    std::string app = applicationName();
    EXPECT_EQ("<ENTRY> <" + app + "> <CZYNFlags::hasFlags> <zyn_flags.cpp, 281> ", withoutTime(lines[0]));
    EXPECT_EQ("<EXIT> <" + app + "> <CZYNFlags::hasFlags> <Failed Logical Result> <zyn_flags.cpp, 281> ",
              withoutTime(lines[1]));
}

TEST_F(LogRecordTest, GuardLogsLibraryRecordsOnceAndOtherFailuresAsUnhandled) {
    int cleanups = 0;
    auto cleanup = [&] { ++cleanups; };

    EXPECT_TRUE(zyn::guard({SRC, 100, zyn::NoCode}, false, [] { return true; }, cleanup));
    EXPECT_EQ(0, cleanups) << "clean-up belongs to the failure path";

    EXPECT_EQ(-1, zyn::guard({SRC, 101, zyn::NoCode}, -1, [] {
                  throw CZYNBadArgException(TEXT("x"), TEXT("library failure"), SRC, 11);
                  return 0;
              }, cleanup));
    EXPECT_EQ(1, cleanups);
    EXPECT_EQ(1u, logLinesWith("library failure").size());
    EXPECT_EQ(0u, logLinesWith("unhandled").size());

    errno = 5;
    EXPECT_FALSE(zyn::attempt({SRC, 102, zyn::Errno}, [] { throw std::runtime_error("x"); }));
    EXPECT_EQ(1u, logLinesWith("\"An unhandled exception occurred\" <Error: 0x00000005> "
                               "<zyn_test.cpp, 102>").size());

    SetLastError(6);
    zyn::attempt({SRC, 103, zyn::LastError}, [] { throw 1; });
    EXPECT_EQ(1u, logLinesWith("<Error: 0x00000006> <zyn_test.cpp, 103>").size());

    // A specific handler lets other library records fall to the catch-all.
    zyn::attempt<CZYNBadArgException>({SRC, 104, zyn::NoCode}, [] {
        throw CZYNIndexOutOfBoundsException(SRC, 12);
    });
    EXPECT_EQ(1u, logLinesWith("occurred\" <zyn_test.cpp, 104>").size());

    // With only the catch-all, a library failure is written twice.
    zyn::guardCatchAll({SRC, 105, zyn::NoCode}, false, [] {
        throw CZYNBadArgException(TEXT("y"), TEXT("twice"), SRC, 13);
        return true;
    });
    EXPECT_EQ(1u, logLinesWith("twice").size());
    EXPECT_EQ(1u, logLinesWith("occurred\" <zyn_test.cpp, 105>").size());
}
