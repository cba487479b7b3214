/*
 * winuser.h - the one user32 function the library calls: wsprintfW.
 */
#ifndef WIN32_POSIX_WINUSER_H
#define WIN32_POSIX_WINUSER_H

#include "windef.h"

extern "C" {

/* Formats into lpOut, which must hold 1025 WCHARs: like Windows, the output
   is limited to 1024 characters plus the terminating NUL. Returns the number
   of characters stored, without the NUL. */
int WINAPIV wsprintfW(LPWSTR lpOut, LPCWSTR lpFmt, ...);

}

#endif
