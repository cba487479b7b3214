/*
 * win32_posix/text.h - UTF-16 helpers shared by the stand-in's areas and its
 * tests: conversions between UTF-8 and UTF-16, and Windows' case-insensitive
 * comparison of names (registry keys and values, profile sections and keys,
 * environment variables, file names).
 */
#ifndef WIN32_POSIX_TEXT_H
#define WIN32_POSIX_TEXT_H

#include <string>
#include <string_view>

#include "../windef.h"

namespace w32p {

using wstring = std::u16string;
using wstring_view = std::u16string_view;

// Length of a NUL-terminated UTF-16 text; 0 for null.
size_t wlen(const WCHAR* text);

// A null pointer gives an empty view.
wstring_view view(const WCHAR* text);

// UTF-8 to UTF-16. Bytes that are not valid UTF-8 are read as Windows-1252, so
// no byte is lost (the "ANSI code page" of a POSIX host).
wstring fromUtf8(std::string_view bytes);
// True when the bytes are valid UTF-8 as a whole.
bool isValidUtf8(std::string_view bytes);
// Windows-1252 to UTF-16.
wstring fromCp1252(std::string_view bytes);
// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string toUtf8(wstring_view text);

// Upper-case mapping of one code unit, as Windows folds names for comparison.
WCHAR upcase(WCHAR c);
// Case-insensitive comparison of two names: <0, 0, >0.
int compareNoCase(wstring_view a, wstring_view b);
bool equalsNoCase(wstring_view a, wstring_view b);

}  // namespace w32p

#endif
