// zyn_text.cpp - helpers over NUL-terminated UTF-16 text.
#include "zyn_text.h"

#include <new>
#include <string>

namespace zyn {

DWORD textLength(const WCHAR* text) {
    return text ? static_cast<DWORD>(std::char_traits<WCHAR>::length(text)) : 0;
}

WCHAR* duplicateText(const WCHAR* text) {
    if (!text) return nullptr;
    DWORD n = textLength(text);
    WCHAR* copy = static_cast<WCHAR*>(allocateStorage((size_t(n) + 1) * sizeof(WCHAR)));
    if (!copy) return nullptr;
    std::char_traits<WCHAR>::copy(copy, text, n + 1);
    return copy;
}

void freeText(WCHAR*& text) {
    if (!text) return;
    volatile WCHAR* p = text;
    for (DWORD i = 0; p[i] != 0; ++i) p[i] = 0;
    freeStorage(text);
    text = nullptr;
}

bool containsText(const WCHAR* haystack, const WCHAR* needle) {
    if (!haystack || !needle) return false;
    std::basic_string_view<WCHAR> h(haystack);
    return h.find(needle) != std::basic_string_view<WCHAR>::npos;
}

DWORD copyText(WCHAR* dest, DWORD capacity, const WCHAR* src) {
    if (!dest || capacity == 0) return 0;
    DWORD n = 0;
    if (src)
        while (n + 1 < capacity && src[n] != 0) {
            dest[n] = src[n];
            ++n;
        }
    dest[n] = 0;
    return n;
}

bool appendText(WCHAR* dest, DWORD limit, DWORD* pos, const WCHAR* src) {
    if (!src) return true;
    for (DWORD i = 0; src[i] != 0; ++i) {
        if (*pos >= limit) return false;
        dest[(*pos)++] = src[i];
    }
    return true;
}

}  // namespace zyn
