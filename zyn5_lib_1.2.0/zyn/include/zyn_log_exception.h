// zyn_log_exception.h - CZYNLogException1, the base of every exception
// class, and the library's exception catalogue. Every exception is level
// EXCEPTION_BAD. The common trailing parameters are the source file and line,
// then the output mask, logNow and logOnDestruction; every site in this
// program writes to the text output (1) at once (logNow) and not again on
// destruction, which the defaults say.
#ifndef ZYN_LOG_EXCEPTION_H
#define ZYN_LOG_EXCEPTION_H

#include "zyn_detailed_log.h"

class CZYNLogException1 : public CZYNDetailedLog {
public:
    // The general exception: the caller's message, result and result type.
    CZYNLogException1(const WCHAR* message, LONG result, DWORD resultType, const WCHAR* objectName,
                      const WCHAR* functionName, const WCHAR* sourceFile, DWORD line,
                      WORD outputMask = 1, bool logNow = true, bool logOnDestruction = false);
};

#define ZYN_EXCEPTION_TAIL \
    const WCHAR *sourceFile, DWORD line, WORD outputMask = 1, bool logNow = true, bool logOnDestruction = false

// "An unhandled exception occurred" - every catch-all handler.
class CZYNUnhandledExceptionException : public CZYNLogException1 {
public:
    CZYNUnhandledExceptionException(LONG code, ZYN_EXCEPTION_TAIL);
};

// "Unable to allocate memory ( %s )" - what was being allocated.
class CZYNMemAllocException : public CZYNLogException1 {
public:
    CZYNMemAllocException(const WCHAR* what, ZYN_EXCEPTION_TAIL);
};

// "Unable to initialize CZYNBuffer" - never written when built; written by
// the handler that catches it and again when the thrown object is destroyed.
class CZYNBufferInitException : public CZYNLogException1 {
public:
    CZYNBufferInitException(const WCHAR* sourceFile, DWORD line, bool logOnDestruction = true);
};

// "Index out of array bounds".
class CZYNIndexOutOfBoundsException : public CZYNLogException1 {
public:
    CZYNIndexOutOfBoundsException(const WCHAR* sourceFile, DWORD line, bool logNow = true);
};

// "memcpy() function failed" - written like CZYNBufferInitException.
class CZYNMemoryCopyException : public CZYNLogException1 {
public:
    CZYNMemoryCopyException(LONG code, const WCHAR* sourceFile, DWORD line,
                            bool logOnDestruction = true);
};

// "A bad argument was provided ( %s ). %s" - argument name, explanation.
class CZYNBadArgException : public CZYNLogException1 {
public:
    CZYNBadArgException(const WCHAR* argumentName, const WCHAR* explanation, ZYN_EXCEPTION_TAIL);
};

// "CZYNFile object failed to initialize".
class CZYNFileInitException : public CZYNLogException1 {
public:
    CZYNFileInitException(ZYN_EXCEPTION_TAIL);
};

// "CZYNDirectory object failed to initialize".
class CZYNDirectoryInitException : public CZYNLogException1 {
public:
    CZYNDirectoryInitException(ZYN_EXCEPTION_TAIL);
};

// "CZYNWindowsOSInfo construction failed. Cannot call member functions."
class CZYNWindowsOSInfoInitNeededException : public CZYNLogException1 {
public:
    CZYNWindowsOSInfoInitNeededException(ZYN_EXCEPTION_TAIL);
};

// "The environment variable name has not been initialized".
class CZYNUnknownVariableNameException : public CZYNLogException1 {
public:
    CZYNUnknownVariableNameException(ZYN_EXCEPTION_TAIL);
};

// "Unable to write profile string ( section: %s, key name: %s )".
class CZYNWritePrivateProfileStringException : public CZYNLogException1 {
public:
    CZYNWritePrivateProfileStringException(const WCHAR* section, const WCHAR* key, LONG code,
                                           ZYN_EXCEPTION_TAIL);
};

// "Unable to write profile section ( section: %s )".
class CZYNWritePrivateProfileSectionException : public CZYNLogException1 {
public:
    CZYNWritePrivateProfileSectionException(const WCHAR* section, LONG code, ZYN_EXCEPTION_TAIL);
};

// "OpenProcessToken call failed for handle:%s".
class CZYNOpenProcessTokenException : public CZYNLogException1 {
public:
    CZYNOpenProcessTokenException(const WCHAR* handleDescription, LONG code, ZYN_EXCEPTION_TAIL);
};

// "LookupPrivilegeValue call failed for privilege:%s".
class CZYNLookupPrivilegeValueException : public CZYNLogException1 {
public:
    CZYNLookupPrivilegeValueException(const WCHAR* privilegeName, LONG code, ZYN_EXCEPTION_TAIL);
};

// "AdjustTokenPrivileges call failed for handle:%s".
class CZYNAdjustTokenPrivilegesException : public CZYNLogException1 {
public:
    CZYNAdjustTokenPrivilegesException(const WCHAR* handleName, LONG code, ZYN_EXCEPTION_TAIL);
};

// "CZYNRegistryKey object failed to initialize".
class CZYNRegKeyInitException : public CZYNLogException1 {
public:
    CZYNRegKeyInitException(ZYN_EXCEPTION_TAIL);
};

// "Unable to enumerate subkeys from key ( \"%s\" )".
class CZYNRegEnumKeyException : public CZYNLogException1 {
public:
    CZYNRegEnumKeyException(const WCHAR* keyPath, LONG code, const WCHAR* objectName,
                            const WCHAR* functionName, ZYN_EXCEPTION_TAIL);
};

// "Unable to enumerate values from key ( \"%s\" )".
class CZYNRegEnumValueException : public CZYNLogException1 {
public:
    CZYNRegEnumValueException(const WCHAR* keyPath, LONG code, const WCHAR* objectName,
                              const WCHAR* functionName, ZYN_EXCEPTION_TAIL);
};

// "Unable to create registry key ( \"%s\" )" - result type passed/failed.
class CZYNRegKeyCreateException : public CZYNLogException1 {
public:
    CZYNRegKeyCreateException(const WCHAR* keyPath, LONG code, const WCHAR* objectName,
                              const WCHAR* functionName, ZYN_EXCEPTION_TAIL);
};

// "Unable to save registry key ( \"%s\" )".
class CZYNRegSaveKeyException : public CZYNLogException1 {
public:
    CZYNRegSaveKeyException(const WCHAR* keyPath, LONG code, const WCHAR* objectName,
                            const WCHAR* functionName, ZYN_EXCEPTION_TAIL);
};

// "Unable to load registry key ( \"%s\" )".
class CZYNRegRestoreKeyException : public CZYNLogException1 {
public:
    CZYNRegRestoreKeyException(const WCHAR* keyPath, LONG code, const WCHAR* objectName,
                               const WCHAR* functionName, ZYN_EXCEPTION_TAIL);
};

// "Unable to query info on registry key ( \"%s\" )".
class CZYNRegQueryInfoKeyException : public CZYNLogException1 {
public:
    CZYNRegQueryInfoKeyException(const WCHAR* keyPath, LONG code, ZYN_EXCEPTION_TAIL);
};

// "Unable to query multiple values from registry key ( \"%s\" )".
class CZYNRegQueryMultipleValuesException : public CZYNLogException1 {
public:
    CZYNRegQueryMultipleValuesException(const WCHAR* keyPath, LONG code, ZYN_EXCEPTION_TAIL);
};

// "Unable to Set registry value ( \"%s\\%s\" )".
class CZYNRegValueSetException : public CZYNLogException1 {
public:
    CZYNRegValueSetException(const WCHAR* keyPath, const WCHAR* valueName, LONG code,
                             const WCHAR* objectName, const WCHAR* functionName, ZYN_EXCEPTION_TAIL);
};

// "Unable to query registry value ( \"%s\\%s\" )" - caught by the multi-string
// value class; nothing in this program raises it.
class CZYNRegValueQueryException : public CZYNLogException1 {
public:
    CZYNRegValueQueryException(const WCHAR* keyPath, const WCHAR* valueName, LONG code,
                               const WCHAR* objectName, const WCHAR* functionName,
                               ZYN_EXCEPTION_TAIL);
};

#endif
