/*
 * windows.h - the Win32 subset for POSIX builds (win32_posix).
 *
 * The library and the plug-in include <windows.h> and nothing else of the
 * platform. On Windows that is the SDK's header; on POSIX it is this one, an
 * umbrella over per-area headers named like the SDK's. Everything declared
 * here behaves as the real function does: the same return values, error
 * codes, buffer-size rules and case-insensitive names.
 *
 * Text is UTF-16: WCHAR is char16_t here (wchar_t is 32-bit on POSIX) and
 * TEXT("...") makes a u"..." literal.
 *
 * Inventory: the functions the product calls, by area. A function not listed
 * is not implemented.
 *   error        GetLastError SetLastError
 *   registry     RegOpenKeyExW RegCreateKeyExW RegCloseKey RegQueryValueExW
 *                RegSetValueExW RegDeleteValueW RegDeleteKeyW RegDeleteTreeW
 *                RegEnumKeyExW RegEnumValueW RegQueryInfoKeyW RegQueryMultipleValuesW
 *                RegSaveKeyW RegRestoreKeyW
 *   token        GetCurrentProcess OpenProcessToken LookupPrivilegeValueW
 *                AdjustTokenPrivileges (CloseHandle closes a token)
 *   module       GetModuleFileNameW LoadLibraryW GetProcAddress FreeLibrary
 *   version      GetVersionExW
 *   files        CreateFileW SetFilePointer WriteFile ReadFile GetFileSize
 *                CloseHandle CreateDirectoryW RemoveDirectoryW DeleteFileW
 *                GetFileAttributesW FindFirstFileW FindNextFileW FindClose
 *   heap         GetProcessHeap HeapAlloc HeapFree
 *   time         GetLocalTime
 *   thread       Sleep
 *   format       wsprintfW
 *   environment  GetEnvironmentVariableW SetEnvironmentVariableW
 *                ExpandEnvironmentStringsW GetWindowsDirectoryW
 *   profile      GetPrivateProfileStringW GetPrivateProfileIntW
 *                GetPrivateProfileSectionW GetPrivateProfileSectionNamesW
 *                WritePrivateProfileStringW WritePrivateProfileSectionW
 */
#ifndef WIN32_POSIX_WINDOWS_H
#define WIN32_POSIX_WINDOWS_H

#include "windef.h"
#include "winerror.h"
#include "winnt.h"
#include "winbase.h"
#include "winreg.h"
#include "winuser.h"

#endif
