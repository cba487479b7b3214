// token_test.cpp - the process's access token: privilege names and their
// identifiers, the default token's privileges, and adjusting them, against
// the real API under Wine and the stand-in natively. Every case leaves the
// token as it found it (ScopedPrivilege).
#include "hbc_test.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

const char* const kNewerNames =
    "Wine 8 does not know the privilege names newer than SeCreateGlobalPrivilege";

class TokenTest : public HbcTest {};

TEST_F(TokenTest, PrivilegeNamesGiveWindowsIdentifiers) {
    struct Row {
        const char* name;
        DWORD luid;  // 0: no such privilege
        bool newer;  // a name Wine 8 does not know
    } rows[] = {
        {"SeCreateTokenPrivilege", 2, false},  // the first
        {"SeBackupPrivilege", 17, false},
        {"SeRestorePrivilege", 18, false},
        {"SeChangeNotifyPrivilege", 23, false},
        {"sebackupprivilege", 17, false},  // any case
        {"SeCreateGlobalPrivilege", 30, false},
        {"SeTrustedCredManAccessPrivilege", 31, true},
        {"SeRelabelPrivilege", 32, true},
        {"SeIncreaseWorkingSetPrivilege", 33, true},
        {"SeTimeZonePrivilege", 34, true},
        {"SeCreateSymbolicLinkPrivilege", 35, true},
        {"SeDelegateSessionUserImpersonatePrivilege", 36, true},
        {"SeUnsolicitedInputPrivilege", 0, false},  // in the SDK's header, but no privilege
        {"SeNoSuchPrivilege", 0, false},
        {"", 0, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DWORD expected = row.newer ? expectOnHost<DWORD>(kNewerNames, row.luid, 0) : row.luid;
        LUID luid = {0xdeadbeef, 0x5eed};
        SetLastError(0xdeadbeef);
        BOOL found = LookupPrivilegeValueW(nullptr, W(row.name).c_str(), &luid);
        EXPECT_EQ(expected != 0, found != FALSE);
        if (expected) {
            EXPECT_EQ(expected, luid.LowPart);
            EXPECT_EQ(0, luid.HighPart);
        } else {
            EXPECT_EQ(static_cast<DWORD>(ERROR_NO_SUCH_PRIVILEGE), GetLastError());
            EXPECT_EQ(0xdeadbeefu, luid.LowPart);  // untouched
        }
    }
}

TEST_F(TokenTest, TheDefaultTokenHoldsBackupAndRestoreDisabled) {
    struct Row {
        const WCHAR* name;
        bool held, enabled;
    } rows[] = {
        {TEXT("SeBackupPrivilege"), true, false},
        {TEXT("SeRestorePrivilege"), true, false},
        {TEXT("SeDebugPrivilege"), true, false},
        {TEXT("SeChangeNotifyPrivilege"), true, true},
        {TEXT("SeCreateTokenPrivilege"), false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(U8(row.name));
        ScopedPrivilege probe(row.name, true);
        EXPECT_EQ(row.held, probe.held());
        EXPECT_EQ(row.enabled, probe.wasEnabled());
        EXPECT_EQ(row.held, privilegeEnabled(row.name));  // enabled while the probe lives
    }
    EXPECT_FALSE(privilegeEnabled(TEXT("SeBackupPrivilege")));  // and put back after it
}

// Adjusts one privilege through `token`, reporting the previous state.
BOOL adjust(HANDLE token, const WCHAR* name, DWORD attributes, TOKEN_PRIVILEGES* previous,
            DWORD previousSize, DWORD* size) {
    TOKEN_PRIVILEGES wanted = {1, {{{0, 0}, attributes}}};
    EXPECT_TRUE(LookupPrivilegeValueW(nullptr, name, &wanted.Privileges[0].Luid));
    SetLastError(0xdeadbeef);
    return AdjustTokenPrivileges(token, FALSE, &wanted, previousSize, previous, size);
}

TEST_F(TokenTest, AdjustingReportsWhatChangedThroughTheLastError) {
    ScopedPrivilege keep(TEXT("SeBackupPrivilege"), false);
    HANDLE token = nullptr;
    ASSERT_TRUE(
        OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
    struct Row {
        const char* comment;
        const WCHAR* name;
        DWORD attributes;
        DWORD lastError;
        DWORD changed;  // entries in the previous state
    } rows[] = {
        {"enabling a disabled privilege", TEXT("SeBackupPrivilege"), SE_PRIVILEGE_ENABLED, 0, 1},
        {"enabling it again changes nothing", TEXT("SeBackupPrivilege"), SE_PRIVILEGE_ENABLED, 0,
         expectOnHost<DWORD>("Wine lists every privilege it adjusts in the previous state, "
                             "changed or not",
                             0, 1)},
        {"disabling passes attributes 0", TEXT("SeBackupPrivilege"), 0, 0, 1},
        {"a privilege the token does not hold: TRUE all the same", TEXT("SeCreateTokenPrivilege"),
         SE_PRIVILEGE_ENABLED, ERROR_NOT_ALL_ASSIGNED, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.comment);
        TOKEN_PRIVILEGES previous = {0xdeadbeef, {}};
        DWORD size = 0xdeadbeef;
        EXPECT_TRUE(adjust(token, row.name, row.attributes, &previous, sizeof previous, &size));
        EXPECT_EQ(row.lastError, GetLastError());
        EXPECT_EQ(row.changed, previous.PrivilegeCount);
    }

    // A previous-state buffer too small refuses the whole call and says the
    // size needed.
    DWORD size = 0;
    TOKEN_PRIVILEGES previous = {};
    BOOL adjusted =
        adjust(token, TEXT("SeBackupPrivilege"), SE_PRIVILEGE_ENABLED, &previous, 4, &size);
    std::string outcome =
        adjusted ? "adjusted" : "refused, error " + std::to_string(GetLastError());
    outcome += ", size " + std::to_string(size) + ", enabled " +
               std::to_string(privilegeEnabled(TEXT("SeBackupPrivilege")));
    EXPECT_EQ(expectOnHost<std::string>("Wine adjusts the privileges whatever the previous-state "
                                        "buffer's size, and lists those that fit",
                                        "refused, error 122, size 16, enabled 0",
                                        "adjusted, size 4, enabled 1"),
              outcome);
    EXPECT_TRUE(CloseHandle(token));
}

TEST_F(TokenTest, ThreadsAdjustingTheOneTokenAtOnceAllSucceed) {
    ScopedPrivilege keep(TEXT("SeBackupPrivilege"), false);
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            HANDLE token = nullptr;
            if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                                  &token)) {
                ++failures;
                return;
            }
            for (int i = 0; i < 200; ++i) {
                TOKEN_PRIVILEGES previous = {};
                DWORD size = 0;
                BOOL enable = (i + t) % 2;
                if (!adjust(token, TEXT("SeBackupPrivilege"), enable ? SE_PRIVILEGE_ENABLED : 0,
                            &previous, sizeof previous, &size) ||
                    GetLastError() != ERROR_SUCCESS || previous.PrivilegeCount > 1)
                    ++failures;
            }
            if (!CloseHandle(token)) ++failures;
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(0, failures.load());
}

}  // namespace
