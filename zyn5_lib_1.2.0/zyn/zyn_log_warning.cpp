// zyn_log_warning.cpp - the warnings (level WARNING) and the log-only
// records; CZYNDebugLog is the DEBUG note of the plug-in and the registry key.
#include "zyn_log_warning.h"

#define ZYN_TAIL_ARGS sourceFile, line, logNow, logOnDestruction, outputMask, nullptr, nullptr
#define ZYN_TAIL_PARAMS \
    const WCHAR *sourceFile, DWORD line, WORD outputMask, bool logNow, bool logOnDestruction

CZYNLogWarning::CZYNLogWarning(const WCHAR* message, LONG result, DWORD resultType,
                               const WCHAR* objectName, const WCHAR* functionName,
                               ZYN_TAIL_PARAMS)
    : CZYNDetailedLog(ZYN_WARNING, message, result, resultType, objectName, functionName,
                      ZYN_TAIL_ARGS) {}

CZYNRegCloseKeyWarning::CZYNRegCloseKeyWarning(const WCHAR* keyPath, LONG code,
                                               const WCHAR* objectName, const WCHAR* functionName,
                                               ZYN_TAIL_PARAMS)
    : CZYNLogWarning(CZYNMessage(TEXT("Unable to close registry key ( %s )"), keyPath).text(), code,
                     ZYN_RESULT_ERROR_CODE, objectName, functionName, sourceFile, line, outputMask,
                     logNow, logOnDestruction) {}

CZYNMemFreeWarning::CZYNMemFreeWarning(const WCHAR* what, ZYN_TAIL_PARAMS)
    : CZYNMemFreeWarning(what, ZYN_NO_CODE, sourceFile, line, outputMask, logNow,
                         logOnDestruction) {}

CZYNMemFreeWarning::CZYNMemFreeWarning(const WCHAR* what, LONG code, ZYN_TAIL_PARAMS)
    : CZYNDetailedLog(ZYN_WARNING, CZYNMessage(TEXT("Unable to free memory ( %s )"), what).text(),
                      code, ZYN_RESULT_ERROR_CODE, nullptr, nullptr, ZYN_TAIL_ARGS) {}

CZYNRegKeyClosedWarning::CZYNRegKeyClosedWarning(const WCHAR* keyPath, ZYN_TAIL_PARAMS)
    : CZYNDetailedLog(ZYN_WARNING,
                      CZYNMessage(TEXT("Registry key is already closed ( %s )"), keyPath).text(),
                      ZYN_NO_CODE, ZYN_RESULT_PASSED, nullptr, nullptr, ZYN_TAIL_ARGS) {}

CZYNRegKeyOpenWarning::CZYNRegKeyOpenWarning(const WCHAR* keyPath, ZYN_TAIL_PARAMS)
    : CZYNDetailedLog(ZYN_WARNING,
                      CZYNMessage(TEXT("Registry key is already open ( %s )"), keyPath).text(),
                      ZYN_NO_CODE, ZYN_RESULT_PASSED, nullptr, nullptr, ZYN_TAIL_ARGS) {}

CZYNDebugLog::CZYNDebugLog(const WCHAR* message, LONG result, DWORD resultType,
                           const WCHAR* objectName, const WCHAR* functionName, ZYN_TAIL_PARAMS)
    : CZYNDetailedLog(ZYN_DEBUG, message, result, resultType, objectName, functionName,
                      ZYN_TAIL_ARGS) {}
