/*
 * text.cpp - UTF-8 / UTF-16 conversion and Windows' case folding of names.
 */
#include "../include/win32_posix/text.h"

namespace w32p {

size_t wlen(const WCHAR* text) {
    return text ? std::char_traits<WCHAR>::length(text) : 0;
}

wstring_view view(const WCHAR* text) {
    return text ? wstring_view(text) : wstring_view();
}

namespace {

// Windows-1252 bytes 0x80..0x9F; the others are their own code points.
const char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void appendCodePoint(wstring& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

// Decodes one UTF-8 sequence at bytes[i]; returns its length, 0 when invalid.
size_t decodeUtf8(std::string_view bytes, size_t i, char32_t& cp) {
    unsigned char b0 = static_cast<unsigned char>(bytes[i]);
    size_t len;
    char32_t min;
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    } else if ((b0 & 0xE0) == 0xC0) {
        len = 2; cp = b0 & 0x1F; min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3; cp = b0 & 0x0F; min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4; cp = b0 & 0x07; min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > bytes.size()) return 0;
    for (size_t k = 1; k < len; ++k) {
        unsigned char b = static_cast<unsigned char>(bytes[i + k]);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

}  // namespace

bool isValidUtf8(std::string_view bytes) {
    char32_t cp = 0;
    for (size_t i = 0; i < bytes.size();) {
        size_t n = decodeUtf8(bytes, i, cp);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

wstring fromCp1252(std::string_view bytes) {
    wstring out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        unsigned char b = static_cast<unsigned char>(ch);
        out.push_back(b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : static_cast<char16_t>(b));
    }
    return out;
}

wstring fromUtf8(std::string_view bytes) {
    if (!isValidUtf8(bytes)) return fromCp1252(bytes);
    wstring out;
    out.reserve(bytes.size());
    char32_t cp = 0;
    for (size_t i = 0; i < bytes.size();) {
        i += decodeUtf8(bytes, i, cp);
        appendCodePoint(out, cp);
    }
    return out;
}

std::string toUtf8(wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

WCHAR upcase(WCHAR c) {
    if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<WCHAR>(c - 0x20) : c;
    // Latin-1: à..þ except ÷; ÿ -> Ÿ.
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return static_cast<WCHAR>(c - 0x20);
    if (c == 0xFF) return 0x178;
    // Latin Extended-A: pairs, upper case at the even (or odd) position.
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
        return (c & 1) ? static_cast<WCHAR>(c - 1) : c;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
        return (c & 1) ? c : static_cast<WCHAR>(c - 1);
    // Greek and Cyrillic.
    if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) return static_cast<WCHAR>(c - 0x20);
    if (c >= 0x430 && c <= 0x44F) return static_cast<WCHAR>(c - 0x20);
    if (c >= 0x450 && c <= 0x45F) return static_cast<WCHAR>(c - 0x50);
    // Full-width Latin letters.
    if (c >= 0xFF41 && c <= 0xFF5A) return static_cast<WCHAR>(c - 0x20);
    return c;
}

int compareNoCase(wstring_view a, wstring_view b) {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        if (a[i] == b[i]) continue;  // most names compared agree unit for unit
        WCHAR x = upcase(a[i]);
        WCHAR y = upcase(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool equalsNoCase(wstring_view a, wstring_view b) {
    return a.size() == b.size() && compareNoCase(a, b) == 0;
}

}  // namespace w32p
