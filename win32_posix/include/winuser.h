/*
 * winuser.h - the one user32 function the library calls, wsprintfW, and the
 * integer-resource macros (a small number in a name's place, as the ordinal
 * of a GetProcAddress call).
 */
#ifndef WIN32_POSIX_WINUSER_H
#define WIN32_POSIX_WINUSER_H

#include "windef.h"

#define IS_INTRESOURCE(r) ((((ULONG_PTR)(r)) >> 16) == 0)
#define MAKEINTRESOURCEA(i) ((LPSTR)((ULONG_PTR)((WORD)(i))))
#define MAKEINTRESOURCEW(i) ((LPWSTR)((ULONG_PTR)((WORD)(i))))

extern "C" {

/* Formats into lpOut, which must hold 1025 WCHARs: like Windows, the output
   is limited to 1024 characters plus the terminating NUL. Returns the number
   of characters stored, without the NUL. */
int WINAPIV wsprintfW(LPWSTR lpOut, LPCWSTR lpFmt, ...);

}

#endif
