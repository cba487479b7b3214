// utf.cpp - UTF-8 and UTF-16 conversions: the system's on Windows, the
// stand-in's on POSIX.
#include "utf.h"

#include <vector>

#ifndef _WIN32
#include <win32_posix/text.h>
#endif

std::string toUtf8(const WCHAR* text, size_t length) {
#ifdef _WIN32
    if (length == 0) return std::string();
    int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr,
                                   nullptr);
    std::string out(size > 0 ? size : 0, '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), &out[0], size, nullptr,
                            nullptr);
    return out;
#else
    return w32p::toUtf8(w32p::wstring_view(text, length));
#endif
}

std::string toUtf8(const wstr& text) { return toUtf8(text.data(), text.size()); }

wstr fromUtf8(const std::string& text) {
#ifdef _WIN32
    if (text.empty()) return wstr();
    int size =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::vector<WCHAR> out(size > 0 ? size : 0);
    if (size > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(),
                            size);
    return wstr(out.begin(), out.end());
#else
    return w32p::fromUtf8(text);
#endif
}
