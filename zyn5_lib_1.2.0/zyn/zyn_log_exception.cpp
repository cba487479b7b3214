// zyn_log_exception.cpp - the exception catalogue: each class fixes its
// message, result and result type; all are level EXCEPTION_BAD.
#include "zyn_log_exception.h"

namespace {
const DWORD ERROR_CODE = ZYN_RESULT_ERROR_CODE;
const DWORD PASSED = ZYN_RESULT_PASSED;
}  // namespace

CZYNLogException1::CZYNLogException1(const WCHAR* message, LONG result, DWORD resultType,
                                     const WCHAR* objectName, const WCHAR* functionName,
                                     const WCHAR* sourceFile, DWORD line, WORD outputMask,
                                     bool logNow, bool logOnDestruction)
    : CZYNDetailedLog(ZYN_EXCEPTION_BAD, message, result, resultType, objectName, functionName,
                      sourceFile, line, logNow, logOnDestruction, outputMask, nullptr, nullptr) {}

#define ZYN_TAIL_ARGS sourceFile, line, outputMask, logNow, logOnDestruction
#define ZYN_TAIL_PARAMS \
    const WCHAR *sourceFile, DWORD line, WORD outputMask, bool logNow, bool logOnDestruction

CZYNUnhandledExceptionException::CZYNUnhandledExceptionException(LONG code, ZYN_TAIL_PARAMS)
    : CZYNLogException1(TEXT("An unhandled exception occurred"), code, ERROR_CODE, nullptr,
                        nullptr, ZYN_TAIL_ARGS) {}

CZYNMemAllocException::CZYNMemAllocException(const WCHAR* what, ZYN_TAIL_PARAMS)
    : CZYNLogException1(CZYNMessage(TEXT("Unable to allocate memory ( %s )"), what).text(),
                        ZYN_NO_CODE, ERROR_CODE, nullptr, nullptr, ZYN_TAIL_ARGS) {}

CZYNBufferInitException::CZYNBufferInitException(const WCHAR* sourceFile, DWORD line,
                                                 bool logOnDestruction)
    : CZYNLogException1(TEXT("Unable to initialize CZYNBuffer"), ZYN_NO_CODE, ERROR_CODE, nullptr,
                        nullptr, sourceFile, line, 1, false, logOnDestruction) {}

CZYNIndexOutOfBoundsException::CZYNIndexOutOfBoundsException(const WCHAR* sourceFile, DWORD line,
                                                             bool logNow)
    : CZYNLogException1(TEXT("Index out of array bounds"), ZYN_NO_CODE, ERROR_CODE, nullptr,
                        nullptr, sourceFile, line, 1, logNow, false) {}

CZYNMemoryCopyException::CZYNMemoryCopyException(LONG code, const WCHAR* sourceFile, DWORD line,
                                                 bool logOnDestruction)
    : CZYNLogException1(TEXT("memcpy() function failed"), code, ERROR_CODE, nullptr, nullptr,
                        sourceFile, line, 1, false, logOnDestruction) {}

// A missing argument name shows as "Unknown"; the explanation goes in as given.
CZYNBadArgException::CZYNBadArgException(const WCHAR* argumentName, const WCHAR* explanation,
                                         ZYN_TAIL_PARAMS)
    : CZYNLogException1(CZYNMessage(TEXT("A bad argument was provided ( %s ). %s"), argumentName,
                                    explanation, false)
                            .text(),
                        0, ERROR_CODE, nullptr, nullptr, ZYN_TAIL_ARGS) {}

CZYNFileInitException::CZYNFileInitException(ZYN_TAIL_PARAMS)
    : CZYNLogException1(TEXT("CZYNFile object failed to initialize"), ZYN_NO_CODE, ERROR_CODE,
                        nullptr, nullptr, ZYN_TAIL_ARGS) {}

CZYNDirectoryInitException::CZYNDirectoryInitException(ZYN_TAIL_PARAMS)
    : CZYNLogException1(TEXT("CZYNDirectory object failed to initialize"), ZYN_NO_CODE,
                        ERROR_CODE, nullptr, nullptr, ZYN_TAIL_ARGS) {}

CZYNWindowsOSInfoInitNeededException::CZYNWindowsOSInfoInitNeededException(ZYN_TAIL_PARAMS)
    : CZYNLogException1(
          TEXT("CZYNWindowsOSInfo construction failed. Cannot call member functions."),
          ZYN_NO_CODE, ERROR_CODE, nullptr, nullptr, ZYN_TAIL_ARGS) {}

CZYNUnknownVariableNameException::CZYNUnknownVariableNameException(ZYN_TAIL_PARAMS)
    : CZYNLogException1(TEXT("The environment variable name has not been initialized"),
                        ZYN_NO_CODE, ERROR_CODE, nullptr, nullptr, ZYN_TAIL_ARGS) {}

CZYNWritePrivateProfileStringException::CZYNWritePrivateProfileStringException(
    const WCHAR* section, const WCHAR* key, LONG code, ZYN_TAIL_PARAMS)
    : CZYNLogException1(
          CZYNMessage(TEXT("Unable to write profile string ( section: %s, key name: %s )"),
                      section, key)
              .text(),
          code, ERROR_CODE, nullptr, nullptr, ZYN_TAIL_ARGS) {}

CZYNWritePrivateProfileSectionException::CZYNWritePrivateProfileSectionException(
    const WCHAR* section, LONG code, ZYN_TAIL_PARAMS)
    : CZYNLogException1(CZYNMessage(TEXT("Unable to write profile section ( section: %s )"),
                                    section)
                            .text(),
                        code, ERROR_CODE, nullptr, nullptr, ZYN_TAIL_ARGS) {}

CZYNOpenProcessTokenException::CZYNOpenProcessTokenException(const WCHAR* handleDescription,
                                                             LONG code, ZYN_TAIL_PARAMS)
    : CZYNLogException1(
          CZYNMessage(TEXT("OpenProcessToken call failed for handle:%s"), handleDescription).text(),
          code, ERROR_CODE, nullptr, nullptr, ZYN_TAIL_ARGS) {}

CZYNLookupPrivilegeValueException::CZYNLookupPrivilegeValueException(const WCHAR* privilegeName,
                                                                     LONG code, ZYN_TAIL_PARAMS)
    : CZYNLogException1(
          CZYNMessage(TEXT("LookupPrivilegeValue call failed for privilege:%s"), privilegeName)
              .text(),
          code, ERROR_CODE, nullptr, nullptr, ZYN_TAIL_ARGS) {}

CZYNAdjustTokenPrivilegesException::CZYNAdjustTokenPrivilegesException(const WCHAR* handleName,
                                                                       LONG code, ZYN_TAIL_PARAMS)
    : CZYNLogException1(
          CZYNMessage(TEXT("AdjustTokenPrivileges call failed for handle:%s"), handleName).text(),
          code, ERROR_CODE, nullptr, nullptr, ZYN_TAIL_ARGS) {}

CZYNRegKeyInitException::CZYNRegKeyInitException(ZYN_TAIL_PARAMS)
    : CZYNLogException1(TEXT("CZYNRegistryKey object failed to initialize"), ZYN_NO_CODE,
                        ERROR_CODE, nullptr, nullptr, ZYN_TAIL_ARGS) {}

CZYNRegEnumKeyException::CZYNRegEnumKeyException(const WCHAR* keyPath, LONG code,
                                                 const WCHAR* objectName,
                                                 const WCHAR* functionName, ZYN_TAIL_PARAMS)
    : CZYNLogException1(
          CZYNMessage(TEXT("Unable to enumerate subkeys from key ( \"%s\" )"), keyPath).text(),
          code, ERROR_CODE, objectName, functionName, ZYN_TAIL_ARGS) {}

CZYNRegEnumValueException::CZYNRegEnumValueException(const WCHAR* keyPath, LONG code,
                                                     const WCHAR* objectName,
                                                     const WCHAR* functionName, ZYN_TAIL_PARAMS)
    : CZYNLogException1(
          CZYNMessage(TEXT("Unable to enumerate values from key ( \"%s\" )"), keyPath).text(),
          code, ERROR_CODE, objectName, functionName, ZYN_TAIL_ARGS) {}

CZYNRegKeyCreateException::CZYNRegKeyCreateException(const WCHAR* keyPath, LONG code,
                                                     const WCHAR* objectName,
                                                     const WCHAR* functionName, ZYN_TAIL_PARAMS)
    : CZYNLogException1(CZYNMessage(TEXT("Unable to create registry key ( \"%s\" )"), keyPath).text(),
                        code, PASSED, objectName, functionName, ZYN_TAIL_ARGS) {}

CZYNRegSaveKeyException::CZYNRegSaveKeyException(const WCHAR* keyPath, LONG code,
                                                 const WCHAR* objectName,
                                                 const WCHAR* functionName, ZYN_TAIL_PARAMS)
    : CZYNLogException1(CZYNMessage(TEXT("Unable to save registry key ( \"%s\" )"), keyPath).text(),
                        code, PASSED, objectName, functionName, ZYN_TAIL_ARGS) {}

CZYNRegRestoreKeyException::CZYNRegRestoreKeyException(const WCHAR* keyPath, LONG code,
                                                       const WCHAR* objectName,
                                                       const WCHAR* functionName, ZYN_TAIL_PARAMS)
    : CZYNLogException1(CZYNMessage(TEXT("Unable to load registry key ( \"%s\" )"), keyPath).text(),
                        code, PASSED, objectName, functionName, ZYN_TAIL_ARGS) {}

CZYNRegQueryInfoKeyException::CZYNRegQueryInfoKeyException(const WCHAR* keyPath, LONG code,
                                                           ZYN_TAIL_PARAMS)
    : CZYNLogException1(
          CZYNMessage(TEXT("Unable to query info on registry key ( \"%s\" )"), keyPath).text(),
          code, PASSED, nullptr, nullptr, ZYN_TAIL_ARGS) {}

CZYNRegQueryMultipleValuesException::CZYNRegQueryMultipleValuesException(const WCHAR* keyPath,
                                                                         LONG code, ZYN_TAIL_PARAMS)
    : CZYNLogException1(
          CZYNMessage(TEXT("Unable to query multiple values from registry key ( \"%s\" )"), keyPath)
              .text(),
          code, PASSED, nullptr, nullptr, ZYN_TAIL_ARGS) {}

CZYNRegValueSetException::CZYNRegValueSetException(const WCHAR* keyPath, const WCHAR* valueName,
                                                   LONG code, const WCHAR* objectName,
                                                   const WCHAR* functionName, ZYN_TAIL_PARAMS)
    : CZYNLogException1(
          CZYNMessage(TEXT("Unable to Set registry value ( \"%s\\%s\" )"), keyPath, valueName).text(),
          code, PASSED, objectName, functionName, ZYN_TAIL_ARGS) {}

CZYNRegValueQueryException::CZYNRegValueQueryException(const WCHAR* keyPath,
                                                       const WCHAR* valueName, LONG code,
                                                       const WCHAR* objectName,
                                                       const WCHAR* functionName, ZYN_TAIL_PARAMS)
    : CZYNLogException1(
          CZYNMessage(TEXT("Unable to query registry value ( \"%s\\%s\" )"), keyPath, valueName)
              .text(),
          code, PASSED, objectName, functionName, ZYN_TAIL_ARGS) {}
