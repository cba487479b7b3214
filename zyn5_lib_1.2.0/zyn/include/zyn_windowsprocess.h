// zyn_windowsprocess.h - CZYNWindowsProcess: switches one named privilege of
// the current process's access token on or off (for example
// "SeBackupPrivilege" before saving a registry key to a file).
//
// The class holds no data. Its constructor, destructor and setPrivilege are
// traced (object "CZYNWindowsProcess", source file zyn_windowsprocess.cpp).
#ifndef ZYN_WINDOWSPROCESS_H
#define ZYN_WINDOWSPROCESS_H

#include <windows.h>

#include "zyn_wchar_string.h"

class CZYNWindowsProcess {
public:
    CZYNWindowsProcess();
    virtual ~CZYNWindowsProcess();

    // Enables (or, with enable false, disables) the named privilege in the
    // token `hToken`, or in the process's own token when `hToken` is 0: that
    // one is opened and closed again here. The caller's handle is only read,
    // and never closed. True when the system accepted the adjustment, also
    // when the token does not hold the privilege (ERROR_NOT_ALL_ASSIGNED is
    // not examined); false, with the failure logged, when the token cannot be
    // opened, the name is unknown or the adjustment is refused. The privilege
    // stays as set.
    bool setPrivilege(const CZYNWCharString& privilegeName, bool enable, const HANDLE& hToken);
};

#endif
