/*
 * token.cpp - the process's access token: its privileges, their names and
 * identifiers, and handles to it.
 *
 *   privileges           Windows' names and identifiers (LUIDs), and what the
 *                        token of an administrator holds: everything an
 *                        elevated administrator's token lists, only
 *                        SeChangeNotify, SeImpersonate and SeCreateGlobal
 *                        enabled (SeBackup and SeRestore are held but
 *                        disabled)
 *   GetCurrentProcess    the process's pseudo-handle
 *   OpenProcessToken     a handle to the token, with the rights asked for
 *   LookupPrivilegeValueW
 *   AdjustTokenPrivileges
 *   privilegeEnabled     what the registry asks before saving or restoring
 *
 * There is one token per process: every handle to it sees the same state,
 * and CloseHandle closes a handle (handles.cpp).
 */
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <mutex>
#include <vector>

#include "handles.h"
#include "internal.h"
#include "../include/win32_posix/text.h"

namespace w32p {

namespace {

struct Privilege {
    const char16_t* name;
    DWORD luid;  // the LowPart; the HighPart is 0
    bool held;
    bool enabledByDefault;
};

// Windows' privileges in the order of their identifiers, and what the token
// of an elevated administrator holds.
const Privilege kPrivileges[] = {
    {u"SeCreateTokenPrivilege", 2, false, false},
    {u"SeAssignPrimaryTokenPrivilege", 3, false, false},
    {u"SeLockMemoryPrivilege", 4, false, false},
    {u"SeIncreaseQuotaPrivilege", 5, true, false},
    {u"SeMachineAccountPrivilege", 6, false, false},
    {u"SeTcbPrivilege", 7, false, false},
    {u"SeSecurityPrivilege", 8, true, false},
    {u"SeTakeOwnershipPrivilege", 9, true, false},
    {u"SeLoadDriverPrivilege", 10, true, false},
    {u"SeSystemProfilePrivilege", 11, true, false},
    {u"SeSystemtimePrivilege", 12, true, false},
    {u"SeProfileSingleProcessPrivilege", 13, true, false},
    {u"SeIncreaseBasePriorityPrivilege", 14, true, false},
    {u"SeCreatePagefilePrivilege", 15, true, false},
    {u"SeCreatePermanentPrivilege", 16, false, false},
    {u"SeBackupPrivilege", 17, true, false},
    {u"SeRestorePrivilege", 18, true, false},
    {u"SeShutdownPrivilege", 19, true, false},
    {u"SeDebugPrivilege", 20, true, false},
    {u"SeAuditPrivilege", 21, false, false},
    {u"SeSystemEnvironmentPrivilege", 22, true, false},
    {u"SeChangeNotifyPrivilege", 23, true, true},
    {u"SeRemoteShutdownPrivilege", 24, true, false},
    {u"SeUndockPrivilege", 25, true, false},
    {u"SeSyncAgentPrivilege", 26, false, false},
    {u"SeEnableDelegationPrivilege", 27, false, false},
    {u"SeManageVolumePrivilege", 28, true, false},
    {u"SeImpersonatePrivilege", 29, true, true},
    {u"SeCreateGlobalPrivilege", 30, true, true},
    {u"SeTrustedCredManAccessPrivilege", 31, false, false},
    {u"SeRelabelPrivilege", 32, false, false},
    {u"SeIncreaseWorkingSetPrivilege", 33, true, false},
    {u"SeTimeZonePrivilege", 34, true, false},
    {u"SeCreateSymbolicLinkPrivilege", 35, true, false},
    {u"SeDelegateSessionUserImpersonatePrivilege", 36, true, false},
};

const Privilege* findPrivilege(wstring_view name) {
    for (const Privilege& p : kPrivileges)
        if (equalsNoCase(name, p.name)) return &p;
    return nullptr;
}

// The token of the process: the attributes of each privilege it holds.
class Token {
public:
    struct Entry {
        DWORD luid;
        DWORD attributes;  // SE_PRIVILEGE_ENABLED_BY_DEFAULT, SE_PRIVILEGE_ENABLED
    };

    std::mutex mutex;
    std::vector<Entry> entries;

    Token() {
        for (const Privilege& p : kPrivileges) {
            DWORD byDefault = SE_PRIVILEGE_ENABLED_BY_DEFAULT | SE_PRIVILEGE_ENABLED;
            if (p.held) entries.push_back({p.luid, p.enabledByDefault ? byDefault : 0u});
        }
    }

    // With the mutex held: the privilege's entry, or null when not held.
    Entry* find(const LUID& luid) {
        if (luid.HighPart != 0) return nullptr;
        for (Entry& e : entries)
            if (e.luid == luid.LowPart) return &e;
        return nullptr;
    }
};

Token& token() {
    static Token* instance = new Token;  // outlives static destructors
    return *instance;
}

// A handle to the token, with the rights it was opened with.
class TokenHandle : public HandleObject {
public:
    explicit TokenHandle(ACCESS_MASK access) : access(access) {}
    const ACCESS_MASK access;
};

ACCESS_MASK grantedTokenAccess(ACCESS_MASK desired) {
    ACCESS_MASK granted =
        desired & ~static_cast<ACCESS_MASK>(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE |
                                            GENERIC_ALL | MAXIMUM_ALLOWED);
    if (desired & GENERIC_READ) granted |= TOKEN_READ;
    if (desired & GENERIC_WRITE) granted |= TOKEN_WRITE;
    if (desired & GENERIC_EXECUTE) granted |= TOKEN_EXECUTE;
    if (desired & (GENERIC_ALL | MAXIMUM_ALLOWED)) granted |= TOKEN_ALL_ACCESS;
    return granted;
}

// The system name of LookupPrivilegeValueW names this machine: NULL, "", or
// the host's name (with or without the leading "\\").
bool isLocalSystem(const WCHAR* systemName) {
    wstring_view name = view(systemName);
    if (name.empty()) return true;
    if (name.size() > 2 && name[0] == u'\\' && name[1] == u'\\') name.remove_prefix(2);
    char host[256] = {0};
    if (::gethostname(host, sizeof host - 1) != 0) return false;
    return equalsNoCase(name, fromUtf8(host));
}

size_t privilegesSize(DWORD count) {
    return offsetof(TOKEN_PRIVILEGES, Privileges) + count * sizeof(LUID_AND_ATTRIBUTES);
}

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

}  // namespace

bool privilegeEnabled(const WCHAR* name) {
    const Privilege* privilege = findPrivilege(view(name));
    if (!privilege) return false;
    Token& t = token();
    std::lock_guard<std::mutex> lock(t.mutex);
    const Token::Entry* entry = t.find(LUID{privilege->luid, 0});
    return entry && (entry->attributes & SE_PRIVILEGE_ENABLED);
}

}  // namespace w32p

using namespace w32p;

/* The pseudo-handle of the current process, (HANDLE)-1: valid in this process
   only, and closing it succeeds without effect. */
extern "C" HANDLE WINAPI GetCurrentProcess(void) { return currentProcessHandle(); }

/* Opens the token of a process (only the current one is known here) with the
   rights asked for; generic rights map to token rights. TRUE with the handle;
   FALSE with ERROR_INVALID_HANDLE for another process handle, ERROR_NOACCESS
   for a NULL TokenHandle. */
extern "C" BOOL WINAPI OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess,
                                        PHANDLE TokenHandle) {
    if (ProcessHandle != currentProcessHandle()) return fail(ERROR_INVALID_HANDLE);
    if (!TokenHandle) return fail(ERROR_NOACCESS);
    *TokenHandle =
        insertHandle(std::make_shared<w32p::TokenHandle>(grantedTokenAccess(DesiredAccess)));
    return TRUE;
}

/* The identifier of a privilege name, matched case-insensitively. FALSE with
   ERROR_NO_SUCH_PRIVILEGE for a name Windows does not know (NULL included),
   RPC_S_SERVER_UNAVAILABLE for a system other than this one, ERROR_NOACCESS
   for a NULL lpLuid. */
extern "C" BOOL WINAPI LookupPrivilegeValueW(LPCWSTR lpSystemName, LPCWSTR lpName, PLUID lpLuid) {
    if (!isLocalSystem(lpSystemName)) return fail(RPC_S_SERVER_UNAVAILABLE);
    const Privilege* privilege = findPrivilege(view(lpName));
    if (!privilege) return fail(ERROR_NO_SUCH_PRIVILEGE);
    if (!lpLuid) return fail(ERROR_NOACCESS);
    *lpLuid = LUID{privilege->luid, 0};
    return TRUE;
}

/* Enables or disables (SE_PRIVILEGE_ENABLED), or removes, the privileges NewState lists, or
   disables all. TRUE with last error 0, or ERROR_NOT_ALL_ASSIGNED when one is not held.
   PreviousState gets those that changed; too small, it fails with ERROR_INSUFFICIENT_BUFFER, the
   size in *ReturnLength, nothing changed. FALSE: ERROR_INVALID_HANDLE, ERROR_ACCESS_DENIED (the
   handle's rights), ERROR_INVALID_PARAMETER, ERROR_NOACCESS. */
extern "C" BOOL WINAPI AdjustTokenPrivileges(HANDLE TokenHandle, BOOL DisableAllPrivileges,
                                             PTOKEN_PRIVILEGES NewState, DWORD BufferLength,
                                             PTOKEN_PRIVILEGES PreviousState, PDWORD ReturnLength) {
    std::shared_ptr<w32p::TokenHandle> handle = lookupHandleAs<w32p::TokenHandle>(TokenHandle);
    if (!handle) return fail(ERROR_INVALID_HANDLE);
    ACCESS_MASK needed = TOKEN_ADJUST_PRIVILEGES | (PreviousState ? TOKEN_QUERY : 0);
    if ((handle->access & needed) != needed) return fail(ERROR_ACCESS_DENIED);
    if (!DisableAllPrivileges && !NewState) return fail(ERROR_INVALID_PARAMETER);
    if (PreviousState && !ReturnLength) return fail(ERROR_NOACCESS);

    Token& t = token();
    std::lock_guard<std::mutex> lock(t.mutex);
    // What each change does, worked out before anything changes.
    struct Change {
        Token::Entry* entry;
        DWORD attributes;  // the new ones
        bool remove;
    };
    std::vector<Change> changes;
    bool allAssigned = true;
    if (DisableAllPrivileges) {
        for (Token::Entry& e : t.entries)
            if (e.attributes & SE_PRIVILEGE_ENABLED)
                changes.push_back(
                    {&e, e.attributes & ~static_cast<DWORD>(SE_PRIVILEGE_ENABLED), false});
    } else {
        for (DWORD i = 0; i < NewState->PrivilegeCount; ++i) {
            const LUID_AND_ATTRIBUTES& wanted = NewState->Privileges[i];
            Token::Entry* entry = t.find(wanted.Luid);
            if (!entry) {
                allAssigned = false;
                continue;
            }
            bool remove = (wanted.Attributes & SE_PRIVILEGE_REMOVED) != 0;
            DWORD attributes = (entry->attributes & ~static_cast<DWORD>(SE_PRIVILEGE_ENABLED)) |
                               (wanted.Attributes & SE_PRIVILEGE_ENABLED);
            if (remove || attributes != entry->attributes)
                changes.push_back({entry, attributes, remove});
        }
    }
    if (PreviousState) {
        DWORD needed = static_cast<DWORD>(privilegesSize(static_cast<DWORD>(changes.size())));
        *ReturnLength = needed;
        if (BufferLength < needed) return fail(ERROR_INSUFFICIENT_BUFFER);
        PreviousState->PrivilegeCount = static_cast<DWORD>(changes.size());
        for (size_t i = 0; i < changes.size(); ++i)
            PreviousState->Privileges[i] = {{changes[i].entry->luid, 0},
                                            changes[i].entry->attributes};
    }
    std::vector<DWORD> removed;
    for (const Change& c : changes) {
        c.entry->attributes = c.attributes;
        if (c.remove) removed.push_back(c.entry->luid);
    }
    for (DWORD luid : removed)
        t.entries.erase(std::find_if(t.entries.begin(), t.entries.end(),
                                     [&](const Token::Entry& e) { return e.luid == luid; }));
    SetLastError(allAssigned ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED);
    return TRUE;
}
