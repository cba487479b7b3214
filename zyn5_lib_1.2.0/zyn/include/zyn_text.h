// zyn_text.h - small helpers over NUL-terminated UTF-16 text, used where the
// library works below its own string class (the diagnostics records). They
// stand in for the C library's wcs* functions, whose wchar_t is not UTF-16 on
// every platform.
#ifndef ZYN_TEXT_H
#define ZYN_TEXT_H

#include <windows.h>

namespace zyn {

// The library's raw storage (buffers, texts, value arrays): zeroed bytes from
// the process heap, or null when memory runs out. Freed with freeStorage.
inline void* allocateStorage(size_t bytes) {
    return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes);
}
inline void freeStorage(void* storage) {
    if (storage) HeapFree(GetProcessHeap(), 0, storage);
}

// Number of code units before the terminator; 0 for null.
DWORD textLength(const WCHAR* text);

// True for null and for "".
inline bool isEmptyText(const WCHAR* text) { return text == nullptr || text[0] == 0; }

// A fresh heap copy (allocateStorage) of the text; null for null or when memory runs out.
WCHAR* duplicateText(const WCHAR* text);

// Overwrites the text with zeros, frees it (freeStorage) and nulls the pointer.
void freeText(WCHAR*& text);

// True when `needle` occurs in `haystack` (plain code units, case-sensitive).
bool containsText(const WCHAR* haystack, const WCHAR* needle);

// Copies at most capacity - 1 units of src and a terminator into dest
// (capacity >= 1); returns the number of units copied.
DWORD copyText(WCHAR* dest, DWORD capacity, const WCHAR* src);

// Appends src at dest[*pos], keeping *pos + units below `limit`; returns false
// when src had to be cut.
bool appendText(WCHAR* dest, DWORD limit, DWORD* pos, const WCHAR* src);

}  // namespace zyn

#endif
