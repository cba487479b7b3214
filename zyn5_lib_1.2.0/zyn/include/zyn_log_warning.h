// zyn_log_warning.h - CZYNLogWarning, the base of the thrown warnings, and
// the log-only records (built, written and destroyed; never thrown). All are
// level WARNING except CZYNDebugLog (DEBUG).
#ifndef ZYN_LOG_WARNING_H
#define ZYN_LOG_WARNING_H

#include "zyn_detailed_log.h"
#include "zyn_log_exception.h"

class CZYNLogWarning : public CZYNDetailedLog {
public:
    CZYNLogWarning(const WCHAR* message, LONG result, DWORD resultType, const WCHAR* objectName,
                   const WCHAR* functionName, const WCHAR* sourceFile, DWORD line,
                   WORD outputMask = 1, bool logNow = true, bool logOnDestruction = false);
};

// "Unable to close registry key ( %s )".
class CZYNRegCloseKeyWarning : public CZYNLogWarning {
public:
    CZYNRegCloseKeyWarning(const WCHAR* keyPath, LONG code, const WCHAR* objectName,
                           const WCHAR* functionName, ZYN_EXCEPTION_TAIL);
};

// Log-only: "Unable to free memory ( %s )" - what was freed; result -1 or the caller's code.
class CZYNMemFreeWarning : public CZYNDetailedLog {
public:
    CZYNMemFreeWarning(const WCHAR* what, ZYN_EXCEPTION_TAIL);
    CZYNMemFreeWarning(const WCHAR* what, LONG code, ZYN_EXCEPTION_TAIL);
};

// Log-only: "Registry key is already closed ( %s )".
class CZYNRegKeyClosedWarning : public CZYNDetailedLog {
public:
    CZYNRegKeyClosedWarning(const WCHAR* keyPath, ZYN_EXCEPTION_TAIL);
};

// Log-only: "Registry key is already open ( %s )".
class CZYNRegKeyOpenWarning : public CZYNDetailedLog {
public:
    CZYNRegKeyOpenWarning(const WCHAR* keyPath, ZYN_EXCEPTION_TAIL);
};

// Log-only: a DEBUG note with the caller's text, result and result type.
class CZYNDebugLog : public CZYNDetailedLog {
public:
    CZYNDebugLog(const WCHAR* message, LONG result, DWORD resultType, const WCHAR* objectName,
                 const WCHAR* functionName, ZYN_EXCEPTION_TAIL);
};

#endif
