// windows_os_info_test.cpp - CZYNWindowsOSInfo: XP and Vista from the
// reported version, the service pack from the registry, the ZYNDrive check,
// the shell's query, the traces, and the record when no version query
// answers.
#include "hbc_test.h"
#include "zyn_log_exception.h"
#include "zyn_windows_os_info.h"

#ifndef _WIN32
#include <win32_posix/testing.h>
#endif

namespace {

const WCHAR* const kWindowsKey = TEXT("SYSTEM\\CurrentControlSet\\Control\\Windows");

class WindowsOSInfoTest : public HbcTest {
protected:
    void TearDown() override {
        m_version.reset();
#ifndef _WIN32
        w32p::testing::resetConfiguration();
#endif
        HbcTest::TearDown();
    }
    // Makes the system report `version` ("MAJOR.MINOR"). Natively the
    // stand-in's setting; a Windows process's version is fixed when it
    // starts, so there the answer is whether it already reports that version
    // (the plug-in's tests start child processes to vary it).
    bool reportVersion(const char* version) {
#ifdef _WIN32
        OSVERSIONINFOW info = {};
        info.dwOSVersionInfoSize = sizeof info;
        return GetVersionExW(&info) &&
               std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion) ==
                   version;
#else
        m_version.emplace(TEXT("WIN32_POSIX_VERSION"), W(version));
        w32p::testing::resetConfiguration();
        return true;
#endif
    }
    // Whether the shell's library can be loaded here: on Windows (and under
    // Wine) it can; the stand-in has none, by design.
    static bool shellPresent() {
        HMODULE shell = LoadLibraryW(TEXT("shlwapi.dll"));
        if (shell) FreeLibrary(shell);
        return shell != nullptr;
    }

private:
    std::optional<ScopedEnvVar> m_version;
};

// Sets the value CSDVersion for the object's lifetime (nullopt: removes it)
// and puts the previous state back.
class ScopedServicePack {
public:
    explicit ScopedServicePack(std::optional<DWORD> value) {
        EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, kWindowsKey, 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &m_key, nullptr));
        DWORD size = sizeof m_previous;
        m_existed = RegQueryValueExW(m_key, TEXT("CSDVersion"), nullptr, &m_type,
                                     reinterpret_cast<BYTE*>(&m_previous), &size) == ERROR_SUCCESS;
        set(value ? &*value : nullptr, REG_DWORD);
    }
    ~ScopedServicePack() {
        set(m_existed ? &m_previous : nullptr, m_type);
        RegCloseKey(m_key);
    }

private:
    void set(const DWORD* value, DWORD type) {
        if (!value) {
            RegDeleteValueW(m_key, TEXT("CSDVersion"));
            return;
        }
        EXPECT_EQ(ERROR_SUCCESS,
                  RegSetValueExW(m_key, TEXT("CSDVersion"), 0, type,
                                 reinterpret_cast<const BYTE*>(value), sizeof *value));
    }
    HKEY m_key = nullptr;
    bool m_existed = false;
    DWORD m_type = REG_DWORD;
    DWORD m_previous = 0;
};

}  // namespace

TEST_F(WindowsOSInfoTest, XPAndVistaFollowTheReportedVersion) {
    struct {
        const char* version;
        bool xp;
        bool vista;
    } rows[] = {
        {"5.0", false, false},  // Windows 2000
        {"5.1", true, false},   // XP: 1 * 0.1 + 5 compares equal to 5.1
        {"5.2", true, false},   // XP x64, Server 2003
        {"6.0", false, true},   // Vista
        {"6.1", false, true},   // Windows 7 counts as Vista
        {"6.3", false, true},   // and so does 8.1
        {"10.0", false, false},
    };
    int checked = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.version);
        if (!reportVersion(row.version)) continue;
        CZYNWindowsOSInfo info;
        EXPECT_EQ(row.xp, info.isXP());
        EXPECT_EQ(row.vista, info.isVista());
        ++checked;
    }
    EXPECT_GE(checked, 1) << "the running version is in the table";
}

TEST_F(WindowsOSInfoTest, GathersServicePackAndZynDrive) {
    struct {
        const char* comment;
        std::optional<DWORD> csdVersion;
        const WCHAR* zynDrive;
        DWORD servicePack;
        bool peCheck;
    } rows[] = {
        {"Service Pack 3, ZYNDrive set", 0x0300, TEXT("D:"), 3, true},
        {"the low byte is dropped", 0x02FF, TEXT(""), 2, false},
        {"no CSDVersion, no ZYNDrive", std::nullopt, nullptr, 0, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        ScopedServicePack servicePack(row.csdVersion);
        ScopedEnvVar zynDrive(TEXT("ZYNDrive"), row.zynDrive);
        CZYNWindowsOSInfo info;
        EXPECT_EQ(row.servicePack, info.getServicePack());
        EXPECT_EQ(row.peCheck, info.getPECheckResult());
        EXPECT_EQ(row.peCheck, info.performPECheck());
    }
}

TEST_F(WindowsOSInfoTest, ShellQueryAnswersOnlyWhereTheShellIs) {
    const bool shell = shellPresent();
    CZYNWindowsOSInfo info;
    bool answer = false;
    EXPECT_EQ(shell, info.performOSQueryFunction(18, answer));
    // Query 18: XP or later, true wherever the shell answers; without one
    // the answer is left as it was.
    EXPECT_EQ(shell, answer);
    EXPECT_EQ(shell, info.getOSQuery18Result());
    if (!shell) {
        EXPECT_FALSE(info.getOSQuery37Result()) << "not asked after query 18 failed";
    }
}

TEST_F(WindowsOSInfoTest, OperationsAreTraced) {
    ScopedEnvVar zynDrive(TEXT("ZYNDrive"), nullptr);
    ASSERT_TRUE(enableLogging());
    const bool shell = shellPresent();
    {
        CZYNWindowsOSInfo info;
        info.isXP();
        info.isVista();
    }
    const std::string query = shell ? "<Passed>" : "<Failed>";
    struct {
        std::string line;
        size_t count;
    } expected[] = {
        {"<CZYNWindowsOSInfo::CZYNWindowsOSInfo> <Passed> <zyn_windows_os_info.cpp, 43> ", 1},
        {"<CZYNWindowsOSInfo::~CZYNWindowsOSInfo> <Passed> <zyn_windows_os_info.cpp, 167> ", 1},
        {"<CZYNWindowsOSInfo::performPECheck> <Failed Logical Result> <zyn_windows_os_info.cpp, "
         "419> ",
         1},
        // Query 37 is asked only when query 18 answered.
        {"<CZYNWindowsOSInfo::performOSQueryFunction> " + query +
             " <zyn_windows_os_info.cpp, 339> ",
         shell ? 2u : 1u},
        {"<zyn_windows_os_info.cpp, 185> ", 2},  // isXP: ENTRY and EXIT
        {"<zyn_windows_os_info.cpp, 219> ", 2},  // isVista
    };
    for (const auto& row : expected) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(row.count, logLinesWith(row.line).size());
    }
}

#ifndef _WIN32
// Natively only: the real version query never fails; the stand-in's can be
// made to (FailingVersionQueries).
TEST_F(WindowsOSInfoTest, VersionQueryFallsBackToTheBasicRecordThenGivesUp) {
    ASSERT_TRUE(enableLogging());
    ASSERT_TRUE(reportVersion("5.1"));
    {
        FailingVersionQueries refuse({284});
        CZYNWindowsOSInfo info;
        EXPECT_TRUE(info.isXP()) << "the basic record answered";
        EXPECT_EQ((std::vector<DWORD>{284, 276}), refuse.asked());
    }
    {
        FailingVersionQueries refuse({284, 276});
        EXPECT_THROW(CZYNWindowsOSInfo(), CZYNWindowsOSInfoInitNeededException);
    }
    const std::vector<std::string> records =
        logLinesWith("\"CZYNWindowsOSInfo construction failed. Cannot call member functions.\" ");
    ASSERT_EQ(1u, records.size());
    EXPECT_NE(std::string::npos, records[0].find("<EXCEPTION_BAD> "));
    EXPECT_NE(std::string::npos, records[0].find("<zyn_windows_os_info.cpp, 96> "));
    EXPECT_EQ(1u,
              logLinesWith(
                  "<CZYNWindowsOSInfo::CZYNWindowsOSInfo> <Failed> <zyn_windows_os_info.cpp, 43> ")
                  .size());
}
#endif
