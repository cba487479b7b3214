// utf.h - UTF-8 text and the Win32 API's UTF-16 text (WCHAR), both ways.
// Shared by hbc-host and the tests, which talk UTF-8 to people and files
// and UTF-16 to the API.
#ifndef HBC_UTF_H
#define HBC_UTF_H

#include <windows.h>

#include <string>

using wstr = std::basic_string<WCHAR>;

// UTF-16 as UTF-8; a lone surrogate becomes U+FFFD.
std::string toUtf8(const WCHAR* text, size_t length);
std::string toUtf8(const wstr& text);
// UTF-8 as UTF-16; bytes that are not UTF-8 become U+FFFD on Windows and are
// read as Windows-1252 on POSIX (the stand-in's rule for text files).
wstr fromUtf8(const std::string& text);

#endif
