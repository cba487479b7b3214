// token_handles_test.cpp - CZYNWindowsProcess::setPrivilege closes the token
// it opens itself, on success and on failure, and never the caller's. The
// count of open handles is the stand-in's own, so this is checked natively.
#include "hbc_test.h"

#include <handles.h>

#include "zyn_windowsprocess.h"

namespace {

TEST(TokenHandles, SetPrivilegeClosesOnlyTheTokenItOpened) {
    ScopedPrivilege keep(TEXT("SeBackupPrivilege"), false);
    HANDLE caller = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &caller));
    const HANDLE own = nullptr;
    struct Row {
        const char* comment;
        const WCHAR* name;
        HANDLE token;
        bool result;
    } rows[] = {
        {"success, own token", TEXT("SeBackupPrivilege"), own, true},
        {"an unknown name, own token", TEXT("SeNoSuchPrivilege"), own, false},
        {"success, the caller's token", TEXT("SeBackupPrivilege"), caller, true},
        {"an unknown name, the caller's token", TEXT("SeNoSuchPrivilege"), caller, false},
    };
    CZYNWindowsProcess process;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.comment);
        size_t open = w32p::openHandleCount();
        EXPECT_EQ(row.result, process.setPrivilege(CZYNWCharString(row.name), true, row.token));
        EXPECT_EQ(open, w32p::openHandleCount());
    }
    EXPECT_TRUE(CloseHandle(caller));
}

}  // namespace
