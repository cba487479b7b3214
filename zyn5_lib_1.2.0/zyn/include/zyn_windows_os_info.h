// zyn_windows_os_info.h - CZYNWindowsOSInfo: what the library needs to know
// about the running Windows, gathered once when the object is built: the
// version number, the installed service pack, two answers of the shell's
// operating-system query, and whether the variable ZYNDrive is set.
//
// Every operation is traced (object "CZYNWindowsOSInfo"). Nothing changes
// after construction.
#ifndef ZYN_WINDOWS_OS_INFO_H
#define ZYN_WINDOWS_OS_INFO_H

#include <windows.h>

class CZYNWindowsOSInfo {
public:
    // Gathers everything. Throws CZYNWindowsOSInfoInitNeededException (written
    // when built) when neither the extended nor the basic version query
    // answers; every other failure leaves its field at false or 0.
    CZYNWindowsOSInfo();
    virtual ~CZYNWindowsOSInfo();

    // Version 5.1 up to (not including) 6.0.
    bool isXP();
    // Version 6.0 up to (not including) 7.0: 6.1, 6.2 and 6.3 count as well.
    bool isVista();
    // Asks the shell's IsOS (shlwapi.dll, ordinal 437) about `query` and
    // stores its answer in `answer`. False, with `answer` untouched, when the
    // library or the entry cannot be found.
    bool performOSQueryFunction(DWORD query, bool& answer);
    // True when the environment variable ZYNDrive holds a non-empty value.
    bool performPECheck();

    // The values gathered at construction.
    bool getOSQuery18Result() const { return osQuery18Result; }
    bool getOSQuery37Result() const { return osQuery37Result; }
    bool getPECheckResult() const { return peCheckResult; }
    DWORD getServicePack() const { return servicePack; }
    double getVersionNumber() const { return versionNumber; }

private:
    bool osQuery18Result;  // IsOS(18); false when the query failed
    bool osQuery37Result;  // IsOS(37); false when this query or query 18 failed
    bool peCheckResult;    // performPECheck at construction
    DWORD servicePack;     // CSDVersion >> 8; 0 when it cannot be read
    double versionNumber;  // major + minor * 0.1 (5.1 for XP, 6.0 for Vista)
};

#endif
