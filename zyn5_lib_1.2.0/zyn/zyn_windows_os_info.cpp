// zyn_windows_os_info.cpp - CZYNWindowsOSInfo: the running Windows' version
// (GetVersionExW), its service pack (the registry's CSDVersion), the shell's
// IsOS answers and the ZYNDrive check, gathered once at construction.
//
// Implements: construction and destruction, isXP, isVista,
// performOSQueryFunction and performPECheck.
#include "zyn_windows_os_info.h"

#include "zyn_environment_variable.h"
#include "zyn_failure.h"
#include "zyn_function_trace.h"
#include "zyn_log_exception.h"
#include "zyn_registry_dword.h"

static const WCHAR* const SOURCE = TEXT("zyn_windows_os_info.cpp");
static const WCHAR* const OBJECT = TEXT("CZYNWindowsOSInfo");

namespace {

// The shell's IsOS: one query value in, nonzero for yes.
using IsOSFunction = BOOL(WINAPI*)(DWORD);
const WORD kIsOSOrdinal = 437;
const DWORD kQueryXPOrGreater = 18;
const DWORD kQuery37 = 37;

// The installed service pack: the registry's CSDVersion shifted right by 8
// bits (0x0200 is Service Pack 2); 0 when the value cannot be read.
DWORD readServicePack() {
    return zyn::guard({SOURCE, __LINE__, zyn::LastError}, DWORD(0), [] {
        CZYNRegistryDword csdVersion(
            HKEY_LOCAL_MACHINE,
            CZYNWCharString(TEXT("SYSTEM\\CurrentControlSet\\Control\\Windows")),
            CZYNWCharString(TEXT("CSDVersion")), KEY_READ, false, 0);
        DWORD value = 0;
        return csdVersion.getValue(value, false) ? DWORD(value >> 8) : DWORD(0);
    });
}

}  // namespace

CZYNWindowsOSInfo::CZYNWindowsOSInfo()
    : osQuery18Result(false),
      osQuery37Result(false),
      peCheckResult(false),
      servicePack(0),
      versionNumber(0.0) {
    CZYNFunctionTrace trace(OBJECT, TEXT("CZYNWindowsOSInfo"), SOURCE, 43);
    trace.passed(false);
    if (performPECheck()) peCheckResult = true;
    bool answer = false;
    if (performOSQueryFunction(kQueryXPOrGreater, answer)) {
        osQuery18Result = answer;
        if (performOSQueryFunction(kQuery37, answer)) osQuery37Result = answer;
    }
    servicePack = readServicePack();

    // The extended record first, then the basic one.
    OSVERSIONINFOEXW version = {};
    version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXW);
    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version))) {
        version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
        if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version)))
            throw CZYNWindowsOSInfoInitNeededException(SOURCE, 96);
    }
    versionNumber = static_cast<double>(version.dwMinorVersion) * 0.1 +
                    static_cast<double>(version.dwMajorVersion);
    trace.passed(true);
}

CZYNWindowsOSInfo::~CZYNWindowsOSInfo() {
    CZYNFunctionTrace trace(OBJECT, TEXT("~CZYNWindowsOSInfo"), SOURCE, 167);
    trace.passed(true);
}

bool CZYNWindowsOSInfo::isXP() {
    CZYNFunctionTrace trace(OBJECT, TEXT("isXP"), SOURCE, 185);
    return trace.compared(versionNumber >= 5.1 && versionNumber < 6.0);
}

bool CZYNWindowsOSInfo::isVista() {
    CZYNFunctionTrace trace(OBJECT, TEXT("isVista"), SOURCE, 219);
    return trace.compared(versionNumber >= 6.0 && versionNumber < 7.0);
}

bool CZYNWindowsOSInfo::performOSQueryFunction(DWORD query, bool& answer) {
    CZYNFunctionTrace trace(OBJECT, TEXT("performOSQueryFunction"), SOURCE, 339);
    HMODULE hShell = nullptr;
    return trace.passed(zyn::guardCatchAll(
        {SOURCE, 367, zyn::LastError}, false,
        [&] {
            hShell = LoadLibraryW(TEXT("shlwapi.dll"));
            if (!hShell) return false;
            // IsOS is exported by its ordinal only.
            const FARPROC entry = GetProcAddress(hShell, MAKEINTRESOURCEA(kIsOSOrdinal));
            if (entry)
                answer =
                    reinterpret_cast<IsOSFunction>(reinterpret_cast<void*>(entry))(query) != FALSE;
            FreeLibrary(hShell);
            hShell = nullptr;
            return entry != nullptr;
        },
        [&] {
            if (hShell) FreeLibrary(hShell);
        }));
}

bool CZYNWindowsOSInfo::performPECheck() {
    CZYNFunctionTrace trace(OBJECT, TEXT("performPECheck"), SOURCE, 419);
    return trace.compared(zyn::guardCatchAll({SOURCE, 435, zyn::LastError}, false, [] {
        CZYNWCharString value;
        return CZYNEnvironmentVariable(CZYNWCharString(TEXT("ZYNDrive"))).getValue(value) &&
               value.getLength() > 0;
    }));
}
