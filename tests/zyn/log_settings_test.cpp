// log_settings_test.cpp - the logging decision: the settings under
// HKEY_LOCAL_MACHINE "SOFTWARE\Norvak\Logs", the application name, the
// per-application value, the EXIT filters and the object lists.
#include "log_test_support.h"
#include "zyn_function_trace.h"
#include "zyn_log_settings.h"

namespace {

const WCHAR* const LOGS = TEXT("SOFTWARE\\Norvak\\Logs");

class LogSettingsTest : public HbcTest {
protected:
    // One traced operation that returns `success`.
    static void tracedOperation(bool success) {
        CZYNFunctionTrace trace(TEXT("CZYNIni"), TEXT("op"), TEXT("zyn_ini.cpp"), 77);
        trace.passed(success);
    }
    size_t entries() const { return logLinesWith("<ENTRY>").size(); }
    size_t exits() const { return logLinesWith("<EXIT>").size(); }
};

}  // namespace

TEST_F(LogSettingsTest, NoLogsKeyMeansNothingIsWritten) {
    CZYNFunctionTrace trace(TEXT("CZYNIni"), TEXT("op"), TEXT("zyn_ini.cpp"), 1);
    EXPECT_EQ(nullptr, trace.getRecord());
    CZYNDetailedLog record(ZYN_CRITICAL, TEXT("m"), 0, 0, nullptr, nullptr, nullptr, 0, true,
                           false, 1, nullptr, nullptr);
    EXPECT_EQ(0, record.m_bLogged);
    EXPECT_FALSE(record.log()) << "the catch site's second attempt writes nothing either";
    EXPECT_EQ(0, record.m_usDetailMask);
}

TEST_F(LogSettingsTest, TraceBuiltWhileLoggingWasOffStaysEmpty) {
    {
        CZYNFunctionTrace trace(TEXT("CZYNIni"), TEXT("op"), TEXT("zyn_ini.cpp"), 1);
        enableLogging(795);
        trace.passed(false);
    }
    EXPECT_EQ(0u, exits());
}

TEST_F(LogSettingsTest, DefaultDetailWritesExceptionsAndWarningsButNoTraces) {
    enableLogging(0);  // "Logging" 1, no "LogDetail"
    CZYNLogSettings settings;
    EXPECT_EQ(27, settings.getDetailMask());
    tracedOperation(true);
    EXPECT_TRUE(writeRecord(ZYN_EXCEPTION_BAD, TEXT("bad"), 0, 0));
    EXPECT_TRUE(writeRecord(ZYN_WARNING, TEXT("warn"), 0, 0));
    EXPECT_FALSE(writeRecord(ZYN_DEBUG, TEXT("debug"), 0, 0));
    EXPECT_EQ(0u, entries());
    EXPECT_EQ(0u, exits());
    EXPECT_EQ(2u, logLines().size());
}

TEST_F(LogSettingsTest, TheDetailMaskSelectsTracesAndFailedExits) {
    struct {
        const char* comment;
        DWORD detail;
        bool success;
        size_t entries, exits;
    } rows[] = {
        {"795 writes every trace", 795, true, 1, 1},
        {"795 + 0x2000: a success writes only its entry", 795 + 0x2000, true, 1, 0},
        {"795 + 0x2000: a failure writes entry and exit", 795 + 0x2000, false, 1, 1},
        {"795 + 0x1000: no exit of a passed/failed operation", 795 + 0x1000, false, 1, 0},
        {"795 + 0x4000: not a comparison, so no exit", 795 + 0x4000, false, 1, 0},
        {"27 + 512: exits without entries", 27 + 512, false, 0, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        std::filesystem::remove(fsPath("log.txt"));
        enableLogging(row.detail);
        tracedOperation(row.success);
        EXPECT_EQ(row.entries, entries());
        EXPECT_EQ(row.exits, exits());
        if (row.exits) {
            EXPECT_EQ(1u, logLinesWith(row.success ? "<Passed>" : "<Failed>").size());
        }
    }
}

TEST_F(LogSettingsTest, ExitFiltersOfCodesAndComparisons) {
    enableLogging(795 + 0x1000 + 0x4000);
    EXPECT_FALSE(writeRecord(ZYN_EXIT, TEXT("code 0"), 0, ZYN_RESULT_ERROR_CODE));
    EXPECT_TRUE(writeRecord(ZYN_EXIT, TEXT("code 5"), 5, ZYN_RESULT_ERROR_CODE));
    EXPECT_FALSE(writeRecord(ZYN_EXIT, TEXT("true"), 1, ZYN_RESULT_LOGICAL));
    EXPECT_TRUE(writeRecord(ZYN_EXIT, TEXT("false"), 0, ZYN_RESULT_LOGICAL));
    EXPECT_TRUE(writeRecord(ZYN_EXIT, TEXT("high byte only"), 0x100, ZYN_RESULT_LOGICAL))
        << "only the low byte of the result tells failure";
    EXPECT_FALSE(writeRecord(ZYN_EXIT, TEXT("return code"), 0, ZYN_RESULT_RETURN_CODE));
}

TEST_F(LogSettingsTest, ApplicationValueOverridesMaskAndLevelTest) {
    enableLogging(27);
    wstr app = W(applicationName());
    regSetString(HKEY_LOCAL_MACHINE, LOGS, app, TEXT("1,795,whatever"));
    CZYNDetailedLog debug(ZYN_DEBUG, TEXT("debug note"), 0, 0, nullptr, nullptr, nullptr, 0, true,
                          false, 4, nullptr, nullptr);
    EXPECT_EQ(1, debug.m_bLogged);
    EXPECT_EQ(1, debug.m_usOutputMask) << "the application's output mask replaces the record's";
    EXPECT_EQ(795, debug.m_usDetailMask);
    tracedOperation(true);
    EXPECT_EQ(1u, entries());
    EXPECT_EQ(1u, exits());

    CZYNLogSettings settings;
    WCHAR third[8];
    ASSERT_TRUE(settings.getApplicationThirdField(app.c_str(), third, 8));
    EXPECT_EQ("whateve", U8(third)) << "cut to the capacity";
}

TEST_F(LogSettingsTest, ApplicationValueFields) {
    struct {
        const char* value;
        WORD output, detail;
    } rows[] = {
        {"1,795,x", 1, 795},
        {"  +3, 27 ,", 3, 27},       // blanks and a sign before the digits
        {"1,512", 1, 512},           // a single comma: the detail mask is what follows
        {"7", 7, 0},                 // no comma: no detail mask
        {"x,y,z", 0, 0},             // no digits
        {"65537,65539,", 1, 3},      // masks keep their low 16 bits
    };
    CZYNLogSettings settings;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.value);
        regSetString(HKEY_LOCAL_MACHINE, LOGS, TEXT("app"), W(row.value));
        EXPECT_TRUE(settings.applicationValueExists(TEXT("APP"))) << "names are case-insensitive";
        EXPECT_EQ(row.output, settings.getApplicationOutputMask(TEXT("app")));
        EXPECT_EQ(row.detail, settings.getApplicationDetailMask(TEXT("app")));
    }
    EXPECT_FALSE(settings.applicationValueExists(nullptr));
    EXPECT_FALSE(settings.applicationValueExists(TEXT("other")));
    regSetString(HKEY_LOCAL_MACHINE, LOGS, TEXT("long"), wstr(400, u'9'));
    EXPECT_TRUE(settings.applicationValueExists(TEXT("long"))) << "longer than 260 bytes is present";
}

TEST_F(LogSettingsTest, ParseDecimal) {
    struct {
        const char* text;
        LONG value;
    } rows[] = {{"42", 42}, {"  42x", 42}, {"\t-5", -5}, {"+7,1", 7}, {"", 0}, {"abc", 0},
                {"- 5", 0}, {"4294967295", -1}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(row.value, CZYNLogSettings::parseDecimal(W(row.text).c_str()));
    }
    EXPECT_EQ(0, CZYNLogSettings::parseDecimal(nullptr));
}

TEST_F(LogSettingsTest, ObjectListsFilterByOccurrence) {
    enableLogging(27);
    regSetString(HKEY_LOCAL_MACHINE, LOGS, TEXT("AllowObjects"), TEXT("CZYNIni,CZYNFile"));
    regSetString(HKEY_LOCAL_MACHINE, LOGS, TEXT("ExcludeObjects"), TEXT("CZYNIni"));
    EXPECT_TRUE(writeRecord(ZYN_ERROR, TEXT("ini"), 0, 0, TEXT("CZYNIni")))
        << "the allow list wins; the exclude list is not consulted";
    EXPECT_TRUE(writeRecord(ZYN_ERROR, TEXT("file"), 0, 0, TEXT("CZYNFile")));
    EXPECT_FALSE(writeRecord(ZYN_ERROR, TEXT("key"), 0, 0, TEXT("CZYNRegistryKey")));
    EXPECT_TRUE(writeRecord(ZYN_ERROR, TEXT("none"), 0, 0, nullptr));
    EXPECT_TRUE(writeRecord(ZYN_ERROR, TEXT("empty"), 0, 0, TEXT("")));
    EXPECT_FALSE(writeRecord(ZYN_ERROR, TEXT("case"), 0, 0, TEXT("czynini")))
        << "the test is case-sensitive";

    regSetString(HKEY_LOCAL_MACHINE, LOGS, TEXT("AllowObjects"), TEXT("CZYNRegistryKey"));
    EXPECT_TRUE(writeRecord(ZYN_ERROR, TEXT("substring"), 0, 0, TEXT("CZYNRegistry")))
        << "a substring of an allowed name is admitted";

    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, LOGS, 0, KEY_ALL_ACCESS, &key));
    RegDeleteValueW(key, TEXT("AllowObjects"));
    RegCloseKey(key);
    EXPECT_FALSE(writeRecord(ZYN_ERROR, TEXT("excluded"), 0, 0, TEXT("CZYNIni")));
    EXPECT_TRUE(writeRecord(ZYN_ERROR, TEXT("kept"), 0, 0, TEXT("CZYNFile")));
}

TEST_F(LogSettingsTest, ValuesOfTheWrongShapeCountAsAbsent) {
    regSetString(HKEY_LOCAL_MACHINE, LOGS, TEXT("Logging"), TEXT("1"));
    CZYNLogSettings settings;
    EXPECT_FALSE(settings.isLoggingEnabled()) << "a string is not the 4-byte switch";
    regSetDword(HKEY_LOCAL_MACHINE, LOGS, TEXT("Logging"), 0);
    EXPECT_FALSE(settings.isLoggingEnabled());
    regSetDword(HKEY_LOCAL_MACHINE, LOGS, TEXT("Logging"), 2);
    EXPECT_TRUE(settings.isLoggingEnabled());
    regSetBytes(HKEY_LOCAL_MACHINE, LOGS, TEXT("LogDetail"), REG_DWORD, {0xFF, 0x03});
    EXPECT_EQ(27, settings.getDetailMask()) << "a 2-byte number is not a mask";
    regSetDword(HKEY_LOCAL_MACHINE, LOGS, TEXT("LogDetail"), 0x12345);
    EXPECT_EQ(0x2345, settings.getDetailMask());
}

TEST_F(LogSettingsTest, OutputPaths) {
    CZYNLogSettings settings;
    WCHAR path[128];
    EXPECT_FALSE(settings.getOutputPath(1, path, sizeof path));
    regSetString(HKEY_LOCAL_MACHINE, LOGS, TEXT("XMLOutput"), TEXT("C:\\x.xml"));
    ASSERT_TRUE(settings.getOutputPath(2, path, sizeof path));
    EXPECT_EQ("C:\\x.xml", U8(path));
    EXPECT_TRUE(settings.getOutputPath(16, path, sizeof path));
    EXPECT_EQ(0, path[0]);
    EXPECT_FALSE(settings.getOutputPath(64, path, sizeof path));
    // A value stored without its terminator is read safely.
    wstr text = TEXT("C:\\a.log");
    const BYTE* p = reinterpret_cast<const BYTE*>(text.data());
    regSetBytes(HKEY_LOCAL_MACHINE, LOGS, TEXT("TextOutput"), REG_SZ,
                std::vector<BYTE>(p, p + text.size() * sizeof(WCHAR)));
    ASSERT_TRUE(settings.getOutputPath(1, path, sizeof path));
    EXPECT_EQ("C:\\a.log", U8(path));
}

// A text value whose size is odd: its last byte is the low half of its last
// character (how a writer that counts characters as bytes leaves it).
TEST_F(LogSettingsTest, TextOfAnOddByteCountIsRead) {
    auto setOdd = [](const WCHAR* name, const wstr& text) {
        const BYTE* p = reinterpret_cast<const BYTE*>(text.data());
        regSetBytes(HKEY_LOCAL_MACHINE, LOGS, name, REG_SZ,
                    std::vector<BYTE>(p, p + text.size() * sizeof(WCHAR) - 1));
    };
    CZYNLogSettings settings;
    setOdd(TEXT("app"), TEXT("3,795"));
    EXPECT_EQ(3, settings.getApplicationOutputMask(TEXT("app")));
    EXPECT_EQ(795, settings.getApplicationDetailMask(TEXT("app")));
    setOdd(TEXT("TextOutput"), TEXT("C:\\a.log"));
    WCHAR path[16];
    ASSERT_TRUE(settings.getOutputPath(1, path, sizeof path));
    EXPECT_EQ("C:\\a.log", U8(path));
}

TEST(ApplicationName, FromExecutablePath) {
    struct {
        const char* path;
        const char* name;  // nullptr: refused
    } rows[] = {
        {"C:\\Program Files\\Host\\host.exe", "host"},
        {"C:\\tools\\tool", "tool"},                        // no dot: up to the end
        {"C:\\a.b\\tool", nullptr},                         // the last dot is in a folder name
        {"C:\\tools\\.hidden", nullptr},                    // the name begins with the dot
        {"C:\\tools\\", nullptr},                           // a folder
        {"C:", nullptr},                                    // a bare drive
        {"C:\\", nullptr},
        {"", nullptr},
        {"prog.exe", "prog"},                               // no backslash: from the start
        {"C:\\x\\my.prog.exe", "my.prog"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        WCHAR name[128] = {0};
        bool ok = CZYNDetailedLog::applicationNameFromPath(W(row.path).c_str(), name, 128);
        EXPECT_EQ(row.name != nullptr, ok);
        if (row.name && ok) {
            EXPECT_EQ(row.name, U8(name));
        }
    }
    WCHAR name[128];
    std::string p127 = "C:\\" + std::string(118, 'd') + "\\a.exe";
    ASSERT_EQ(127u, p127.size());
    EXPECT_TRUE(CZYNDetailedLog::applicationNameFromPath(W(p127).c_str(), name, 128));
    std::string p128 = "C:\\" + std::string(119, 'd') + "\\a.exe";
    EXPECT_FALSE(CZYNDetailedLog::applicationNameFromPath(W(p128).c_str(), name, 128));
}

TEST_F(LogSettingsTest, RecordsCarryTheExecutablesName) {
    enableLogging(27);
    CZYNDetailedLog record(ZYN_ERROR, TEXT("m"), 0, 0, nullptr, nullptr, nullptr, 0, true, false,
                           1, nullptr, nullptr);
    EXPECT_EQ(applicationName(), U8(record.getDetail().getApplicationName()));
    CZYNDetailedLog named(ZYN_ERROR, TEXT("n"), 0, 0, nullptr, nullptr, nullptr, 0, true, false, 1,
                          TEXT("Given"), nullptr);
    EXPECT_EQ(1u, logLinesWith("<Given> \"n\"").size());
}

// Run only from a folder whose path is 128 characters or more long (the
// program's deep-path run, see tests/CMakeLists.txt): records named after the
// executable are refused there.
class DeepPath : public HbcTest {};

TEST_F(DeepPath, ExecutableOf128CharactersOrMoreWritesNoRecords) {
    WCHAR path[600] = {0};
    DWORD length = GetModuleFileNameW(nullptr, path, 600);
    if (length < 128) GTEST_SKIP() << "runs from the deep folder only, not from " << U8(path);
    enableLogging(27);
    CZYNDetailedLog record(ZYN_CRITICAL, TEXT("m"), 0, 0, nullptr, nullptr, nullptr, 0, true,
                           false, 1, nullptr, nullptr);
    EXPECT_EQ(0, record.m_bLogged);
    CZYNDetailedLog named(ZYN_CRITICAL, TEXT("m"), 0, 0, nullptr, nullptr, nullptr, 0, true, false,
                          1, TEXT("named"), nullptr);
    EXPECT_EQ(1, named.m_bLogged) << "an explicit application name is still written";
    EXPECT_EQ(1u, logLines().size());
}
