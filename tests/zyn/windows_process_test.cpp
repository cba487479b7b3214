// windows_process_test.cpp - CZYNWindowsProcess::setPrivilege: enabling and
// disabling through the process's own token or the caller's, the failures
// and their records, the traces, and that a caller's token stays open.
#include "hbc_test.h"
#include "zyn_windowsprocess.h"

namespace {

const WCHAR* const kBackup = TEXT("SeBackupPrivilege");

class WindowsProcessTest : public HbcTest {
protected:
    void TearDown() override {
        if (m_token) {
            EXPECT_TRUE(CloseHandle(m_token)) << "the caller's token stays open";
        }
        HbcTest::TearDown();
    }
    HANDLE callerToken(DWORD access) {
        EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), access, &m_token));
        return m_token;
    }
    HANDLE m_token = nullptr;
};

TEST_F(WindowsProcessTest, SetPrivilegeSwitchesThePrivilegeInEitherToken) {
    ScopedPrivilege keep(kBackup, false);
    enableLogging();
    const HANDLE own = nullptr;
    const HANDLE caller = callerToken(TOKEN_ADJUST_PRIVILEGES);
    struct Row {
        const char* comment;
        const WCHAR* name;
        bool enable;
        HANDLE token;
        bool enabledAfter;
    } rows[] = {
        {"enable, through the process's own token", kBackup, true, own, true},
        {"disable: attributes 0", kBackup, false, own, false},
        {"enable, through the caller's token", kBackup, true, caller, true},
        {"disable, through the caller's token", kBackup, false, caller, false},
        {"names match in any case", TEXT("SEBACKUPPRIVILEGE"), true, own, true},
    };
    CZYNWindowsProcess process;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.comment);
        EXPECT_TRUE(process.setPrivilege(CZYNWCharString(row.name), row.enable, row.token));
        EXPECT_EQ(row.enabledAfter, privilegeEnabled(kBackup));
    }
    // A privilege the token does not hold: the adjustment is accepted.
    EXPECT_TRUE(process.setPrivilege(CZYNWCharString(TEXT("SeCreateTokenPrivilege")), true, own));
    EXPECT_TRUE(logLinesWith("<EXCEPTION_BAD>").empty());
}

TEST_F(WindowsProcessTest, FailuresAreLoggedAndReturnFalse) {
    ScopedPrivilege keep(kBackup, false);
    enableLogging();
    const HANDLE queryOnly = callerToken(TOKEN_QUERY);
    struct Row {
        const char* comment;
        const WCHAR* name;
        HANDLE token;
        const char* record;
    } rows[] = {
        {"an unknown name, own token", TEXT("SeNoSuchPrivilege"), nullptr,
         "\"LookupPrivilegeValue call failed for privilege:SeNoSuchPrivilege\" <Error: 0x00000521> "
         "<zyn_windowsprocess.cpp, 457> "},
        {"an unknown name, the caller's token", TEXT("SeNoSuchPrivilege"), queryOnly,
         "\"LookupPrivilegeValue call failed for privilege:SeNoSuchPrivilege\" <Error: 0x00000521> "
         "<zyn_windowsprocess.cpp, 457> "},
        {"a caller's token without the right to adjust", kBackup, queryOnly,
         "\"AdjustTokenPrivileges call failed for handle:hToken\" <Error: 0x00000005> "
         "<zyn_windowsprocess.cpp, 477> "},
        {"not a token", kBackup, reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(0x7770)),
         "\"AdjustTokenPrivileges call failed for handle:hToken\" <Error: 0x00000006> "
         "<zyn_windowsprocess.cpp, 477> "},
    };
    CZYNWindowsProcess process;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.comment);
        size_t before = logLinesWith(row.record).size();
        EXPECT_FALSE(process.setPrivilege(CZYNWCharString(row.name), true, row.token));
        EXPECT_EQ(before + 1, logLinesWith(row.record).size()) << "written once";
        EXPECT_FALSE(privilegeEnabled(kBackup));
    }
    EXPECT_TRUE(logLinesWith("Unable to free memory").empty());
    EXPECT_TRUE(logLinesWith("An unhandled exception").empty());
}

TEST_F(WindowsProcessTest, OperationsAreTraced) {
    ScopedPrivilege keep(kBackup, false);
    enableLogging();
    {
        CZYNWindowsProcess process;
        process.setPrivilege(CZYNWCharString(kBackup), true, nullptr);
        process.setPrivilege(CZYNWCharString(TEXT("SeNoSuchPrivilege")), true, nullptr);
    }
    struct {
        const char* line;
        size_t count;
    } expected[] = {
        {"<ENTRY> ", 4},
        {"<CZYNWindowsProcess::Constructor> <Passed> <zyn_windowsprocess.cpp, 55> ", 1},
        {"<CZYNWindowsProcess::Destructor ~CZYNWindowsProcess> <Passed> <zyn_windowsprocess.cpp, "
         "80> ",
         1},
        {"<CZYNWindowsProcess::setPrivilege> <Passed> <zyn_windowsprocess.cpp, 426> ", 1},
        {"<CZYNWindowsProcess::setPrivilege> <Failed> <zyn_windowsprocess.cpp, 426> ", 1},
    };
    for (const auto& row : expected) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(row.count, logLinesWith(row.line).size());
    }
}

}  // namespace
