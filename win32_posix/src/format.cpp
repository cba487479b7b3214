/*
 * format.cpp - user32's small formatter.
 *
 *   wsprintfW   %s %c %d %i %u %x %X %p %% with the flags - # 0, a width and a
 *               precision; l, h, w, I64, I32 and I size prefixes; S and C for
 *               strings and characters of the other width. No floating point,
 *               no * widths, no + or blank flags: an unknown conversion
 *               character is printed as it stands.
 *
 * The rules of the details follow what Wine reproduces of Windows: the
 * precision of a number counts its sign ("%.4d" of -7 is "-007"), a precision
 * of 0 means none, "0" pads numbers only and not with "-", "#" puts 0x or 0X
 * before the digits of hexadecimal numbers without counting it in the width,
 * and h is ignored for numbers. The output stops after 1024 characters, as on
 * Windows, so the buffer must hold 1025 WCHARs.
 */
#include <cstdarg>
#include <cstdint>

#include "../include/win32_posix/text.h"
#include "internal.h"

namespace w32p {

namespace {

// Windows' output limit in characters, without the terminating NUL.
const int kOutputLimit = 1024;

class Output {
public:
    explicit Output(WCHAR* buffer) : m_buffer(buffer) {}
    void put(WCHAR c) {
        if (m_length < kOutputLimit) m_buffer[m_length++] = c;
    }
    void repeat(WCHAR c, int64_t count) {
        for (int64_t i = 0; i < count && m_length < kOutputLimit; ++i) m_buffer[m_length++] = c;
    }
    bool full() const { return m_length >= kOutputLimit; }
    int finish() {
        m_buffer[m_length] = 0;
        return m_length;
    }

private:
    WCHAR* m_buffer;
    int m_length = 0;
};

struct Conversion {
    bool left = false;     // '-'
    bool prefix = false;   // '#'
    bool zero = false;     // '0'
    int64_t width = 0;
    int64_t precision = 0;  // 0: none
    enum Size { Default, Short, Long, Wide, Int64, Int32, Pointer } size = Default;
};

// Reads a decimal number, saturating far beyond any output.
int64_t readNumber(const WCHAR*& p) {
    int64_t value = 0;
    while (*p >= u'0' && *p <= u'9') {
        if (value < 100000) value = value * 10 + (*p - u'0');
        ++p;
    }
    return value;
}

void putText(Output& out, const Conversion& conv, const WCHAR* text, size_t length) {
    int64_t shown = static_cast<int64_t>(length);
    if (conv.precision > 0 && conv.precision < shown) shown = conv.precision;
    if (!conv.left) out.repeat(u' ', conv.width - shown);
    for (int64_t i = 0; i < shown; ++i) out.put(text[i]);
    if (conv.left) out.repeat(u' ', conv.width - shown);
}

void putNumber(Output& out, const Conversion& conv, uint64_t magnitude, bool negative, int base,
               bool upper, int64_t minimumDigits = 0) {
    WCHAR digits[24];
    int n = 0;
    const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    do {
        digits[n++] = static_cast<WCHAR>(set[magnitude % static_cast<unsigned>(base)]);
        magnitude /= static_cast<unsigned>(base);
    } while (magnitude);
    while (n < minimumDigits) digits[n++] = u'0';
    const int64_t length = n + (negative ? 1 : 0);  // the sign counts
    int64_t precision = conv.precision > length ? conv.precision : length;
    if (conv.zero && !conv.left && conv.width > precision) precision = conv.width;
    const bool hexPrefix = conv.prefix && base == 16;
    if (!conv.left) out.repeat(u' ', conv.width - precision);
    if (hexPrefix) {
        out.put(u'0');
        out.put(upper ? u'X' : u'x');
    }
    if (negative) out.put(u'-');
    out.repeat(u'0', precision - length);
    while (n > 0) out.put(digits[--n]);
    if (conv.left) out.repeat(u' ', conv.width - precision);
}

// Narrow text is in the "ANSI code page", UTF-8 on POSIX.
wstring narrowText(const char* text) { return fromUtf8(text); }

int format(WCHAR* buffer, const WCHAR* fmt, va_list args) {
    Output out(buffer);
    static const WCHAR kNull[] = u"(null)";
    for (const WCHAR* p = fmt; *p && !out.full();) {
        if (*p != u'%') {
            out.put(*p++);
            continue;
        }
        ++p;
        if (*p == u'%') {
            out.put(*p++);
            continue;
        }
        Conversion conv;
        if (*p == u'-') conv.left = true, ++p;
        if (*p == u'#') conv.prefix = true, ++p;
        if (*p == u'0') conv.zero = true, ++p;
        conv.width = readNumber(p);
        if (*p == u'.') {
            ++p;
            conv.precision = readNumber(p);
        }
        if (*p == u'l') {
            conv.size = Conversion::Long, ++p;
        } else if (*p == u'h') {
            conv.size = Conversion::Short, ++p;
        } else if (*p == u'w') {
            conv.size = Conversion::Wide, ++p;
        } else if (*p == u'I') {
            if (p[1] == u'6' && p[2] == u'4') {
                conv.size = Conversion::Int64, p += 3;
            } else if (p[1] == u'3' && p[2] == u'2') {
                conv.size = Conversion::Int32, p += 3;
            } else {
                conv.size = Conversion::Pointer, ++p;
            }
        }
        const bool wide64 = conv.size == Conversion::Int64 ||
                            (conv.size == Conversion::Pointer && sizeof(void*) == 8);
        const WCHAR type = *p;
        if (!type) break;
        ++p;
        switch (type) {
        case u'c':
        case u'C': {
            // c is wide unless h; C is narrow unless l or w.
            bool narrow = type == u'c' ? conv.size == Conversion::Short
                                       : conv.size != Conversion::Long && conv.size != Conversion::Wide;
            int value = va_arg(args, int);
            WCHAR c = static_cast<WCHAR>(value);
            if (narrow) c = fromCp1252(std::string(1, static_cast<char>(value)))[0];
            putText(out, Conversion{conv.left, false, false, conv.width, 0, Conversion::Default}, &c, 1);
            break;
        }
        case u's':
        case u'S': {
            bool narrow = type == u's' ? conv.size == Conversion::Short
                                       : conv.size != Conversion::Long && conv.size != Conversion::Wide;
            if (narrow) {
                const char* text = va_arg(args, const char*);
                if (!text) {
                    putText(out, conv, kNull, 6);
                } else {
                    wstring converted = narrowText(text);
                    putText(out, conv, converted.data(), converted.size());
                }
            } else {
                const WCHAR* text = va_arg(args, const WCHAR*);
                if (!text) text = kNull;
                putText(out, conv, text, std::char_traits<WCHAR>::length(text));
            }
            break;
        }
        case u'd':
        case u'i': {
            int64_t value = wide64 ? va_arg(args, int64_t) : va_arg(args, int32_t);
            uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value)
                                           : static_cast<uint64_t>(value);
            putNumber(out, conv, magnitude, value < 0, 10, false);
            break;
        }
        case u'u': {
            uint64_t value = wide64 ? va_arg(args, uint64_t) : va_arg(args, uint32_t);
            putNumber(out, conv, value, false, 10, false);
            break;
        }
        case u'x':
        case u'X': {
            uint64_t value = wide64 ? va_arg(args, uint64_t) : va_arg(args, uint32_t);
            putNumber(out, conv, value, false, 16, type == u'X');
            break;
        }
        case u'p': {
            // All the digits of the pointer, in upper case.
            uintptr_t value = reinterpret_cast<uintptr_t>(va_arg(args, void*));
            Conversion plain;
            putNumber(out, plain, value, false, 16, true, 2 * sizeof(void*));
            break;
        }
        default:
            // Not a conversion Windows knows: the character itself.
            out.put(type);
            break;
        }
    }
    return out.finish();
}

}  // namespace

}  // namespace w32p

/* Formats into lpOut, which must hold 1025 WCHARs: at most 1024 characters
   are written, then a NUL. Returns the number of characters stored, without
   the NUL. Never fails; no error is set. */
extern "C" int WINAPIV wsprintfW(LPWSTR lpOut, LPCWSTR lpFmt, ...) {
    if (!lpOut) return 0;
    if (!lpFmt) {
        lpOut[0] = 0;
        return 0;
    }
    va_list args;
    va_start(args, lpFmt);
    int length = w32p::format(lpOut, lpFmt, args);
    va_end(args);
    return length;
}
