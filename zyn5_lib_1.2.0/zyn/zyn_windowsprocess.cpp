// zyn_windowsprocess.cpp - CZYNWindowsProcess: one privilege of a token
// switched on or off with OpenProcessToken, LookupPrivilegeValueW and
// AdjustTokenPrivileges.
//
// Implements: construction and destruction (traces only), setPrivilege.
#include "zyn_windowsprocess.h"

#include "zyn_failure.h"
#include "zyn_function_trace.h"
#include "zyn_log_exception.h"
#include "zyn_log_warning.h"

static const WCHAR* const SOURCE = TEXT("zyn_windowsprocess.cpp");
static const WCHAR* const OBJECT = TEXT("CZYNWindowsProcess");

// The privileges record with its one entry, whose size is the buffer length
// the adjustment is given.
static_assert(sizeof(TOKEN_PRIVILEGES) == 16, "TOKEN_PRIVILEGES with one entry is 16 bytes");

CZYNWindowsProcess::CZYNWindowsProcess() {
    CZYNFunctionTrace trace(OBJECT, TEXT("Constructor"), SOURCE, 55);
    trace.passed(true);
}

CZYNWindowsProcess::~CZYNWindowsProcess() {
    CZYNFunctionTrace trace(OBJECT, TEXT("Destructor ~CZYNWindowsProcess"), SOURCE, 80);
    trace.passed(true);
}

bool CZYNWindowsProcess::setPrivilege(const CZYNWCharString& privilegeName, bool enable,
                                      const HANDLE& hToken) {
    CZYNFunctionTrace trace(OBJECT, TEXT("setPrivilege"), SOURCE, 426);
    // The token this operation opened itself, which it also closes; a failed
    // close is only reported.
    HANDLE hLocalToken = nullptr;
    auto closeLocalToken = [&](DWORD line) {
        if (hLocalToken && !CloseHandle(hLocalToken))
            CZYNMemFreeWarning(TEXT("hLocalToken"), static_cast<LONG>(GetLastError()), SOURCE,
                               line);
        hLocalToken = nullptr;
    };
    return trace.passed(zyn::guard(
        {SOURCE, 509, zyn::LastError}, false,
        [&] {
            HANDLE handle = hToken;
            if (!handle) {
                if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &hLocalToken))
                    throw CZYNOpenProcessTokenException(TEXT("GetCurrentProcess()"),
                                                        static_cast<LONG>(GetLastError()), SOURCE,
                                                        447);
                handle = hLocalToken;
            }
            LUID luid;
            if (!LookupPrivilegeValueW(nullptr, privilegeName.getText(), &luid))
                throw CZYNLookupPrivilegeValueException(
                    privilegeName.getText(), static_cast<LONG>(GetLastError()), SOURCE, 457);
            TOKEN_PRIVILEGES privileges;
            privileges.PrivilegeCount = 1;
            privileges.Privileges[0].Luid = luid;
            privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
            if (!AdjustTokenPrivileges(handle, FALSE, &privileges, sizeof(privileges), nullptr,
                                       nullptr))
                throw CZYNAdjustTokenPrivilegesException(
                    TEXT("hToken"), static_cast<LONG>(GetLastError()), SOURCE, 477);
            closeLocalToken(484);
            return true;
        },
        [&](zyn::Caught caught) { closeLocalToken(caught == zyn::CaughtRecord ? 502 : 516); }));
}
