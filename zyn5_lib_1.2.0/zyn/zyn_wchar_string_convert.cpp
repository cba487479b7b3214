// zyn_wchar_string_convert.cpp - CZYNWCharString: number and character-code
// conversions.
//
// Implements: toLower, isNumeric, the digit tests (isBinaryDigits,
// isOctalDigits, isHexDigits), the number tests (isBinaryNumber,
// isOctalNumber, isHexNumber), stripNumberMarker, toNumber,
// getAsciiCodeString and getBufferFromAsciiCodeString.
//
// The tests read the text in place, with marker letters matched in either
// case, so that asking never costs a copy. Records carry the class's source
// file name, as the rest of the class's records do.
#include "zyn_failure.h"
#include "zyn_function_trace.h"
#include "zyn_log_exception.h"
#include "zyn_wchar_string.h"

static const WCHAR* const SOURCE = TEXT("zyn_wchar_string.cpp");
static const WCHAR* const OBJECT = TEXT("CZYNWCharString");

namespace {

// The site of an operation's catch-all handler (code errno).
zyn::Site site(DWORD line) { return {SOURCE, line, zyn::Errno}; }

// A run of code units: a text to be tested.
struct View {
    const WCHAR* p;
    ULONG n;
};

// 'A' to 'Z' as 'a' to 'z'; every other unit as it is.
WCHAR lower(WCHAR c) { return c >= TEXT('A') && c <= TEXT('Z') ? static_cast<WCHAR>(c + 0x20) : c; }

bool isBinDigit(WCHAR c) { return c == TEXT('0') || c == TEXT('1'); }
bool isOctDigit(WCHAR c) { return c >= TEXT('0') && c <= TEXT('7'); }
bool isDecDigit(WCHAR c) { return c >= TEXT('0') && c <= TEXT('9'); }
bool isHexDigit(WCHAR c) {
    return isDecDigit(c) || (lower(c) >= TEXT('a') && lower(c) <= TEXT('f'));
}

using DigitTest = bool (*)(WCHAR);

bool allDigits(View v, DigitTest digit) {
    for (ULONG i = 0; i < v.n; ++i)
        if (!digit(v.p[i])) return false;
    return true;
}

// The value of a digit already known to be one: letters from 'a' and from
// 'A' count from ten, others from '0'.
ULONG digitValue(WCHAR c) {
    if (c >= TEXT('a')) return c - 87;
    if (c >= TEXT('A')) return c - 55;
    return c - 48;
}

// Where a number text carries its system's marker.
enum class Marker { None, Prefix, Suffix };

// One number system as the text conversions read it.
struct NumberReading {
    NumberSystem system;
    ULONG base;
    ULONG maxDigits;  // what fits 32 bits
    DigitTest digit;
    WCHAR marker;           // 'b' or 'o'; 0 for hexadecimal ("0x" or 'h')
    const WCHAR* argument;  // of the record for too many digits
    const WCHAR* explanation;
};

// In the order stripNumberMarker tries them.
const NumberReading kReadings[] = {
    {nsBin, 2, 32, isBinDigit, TEXT('b'), TEXT("this"),
     TEXT("too many binary digits in string - will overflow unsigned long value")},
    {nsOct, 8, 12, isOctDigit, TEXT('o'), TEXT("this string"),
     TEXT("too many octal digits in string - will overflow unsigned long value")},
    {nsHex, 16, 8, isHexDigit, 0, TEXT("this string"),
     TEXT("too many hex digits in string - will overflow unsigned long value")},
};

const NumberReading& readingOf(NumberSystem system) {
    for (const NumberReading& reading : kReadings)
        if (reading.system == system) return reading;
    return kReadings[0];  // not reached: callers ask only for the three above
}

// Binary or octal: exactly one marker letter, at index 1 or last, and at
// least one digit beside it, every other unit a digit. In a text of two
// units the marker is both; it is then the suffix ("1b" is one).
Marker letterMarker(View v, WCHAR letter, DigitTest digit) {
    ULONG ulMarkers = 0;
    ULONG ulDigits = 0;
    ULONG ulFirst = 0;
    for (ULONG i = 0; i < v.n; ++i) {
        if (lower(v.p[i]) == letter) {
            if (ulMarkers++ == 0) ulFirst = i;
        } else if (digit(v.p[i])) {
            ++ulDigits;
        } else {
            return Marker::None;
        }
    }
    if (ulMarkers != 1 || ulDigits == 0) return Marker::None;
    if (lower(v.p[v.n - 1]) == letter) return Marker::Suffix;
    return ulFirst == 1 ? Marker::Prefix : Marker::None;
}

// Hexadecimal: hex digits with at most one 'x' and at most one 'h', never
// both, and at least one digit; "0x" with its 'x' at index 1, or an 'h' as
// the last unit.
Marker hexMarker(View v) {
    ULONG ulX = 0;
    ULONG ulH = 0;
    ULONG ulDigits = 0;
    ULONG ulFirstX = 0;
    bool bHas0x = false;
    for (ULONG i = 0; i < v.n; ++i) {
        const WCHAR c = lower(v.p[i]);
        if (c == TEXT('x')) {
            if (ulX++ == 0) ulFirstX = i;
            if (i > 0 && v.p[i - 1] == TEXT('0')) bHas0x = true;
        } else if (c == TEXT('h')) {
            ++ulH;
        } else if (isHexDigit(c)) {
            ++ulDigits;
        } else {
            return Marker::None;
        }
    }
    if (ulDigits == 0 || ulX > 1 || ulH > 1 || (ulX && ulH)) return Marker::None;
    if (bHas0x && ulFirstX == 1) return Marker::Prefix;
    if (ulH == 1 && lower(v.p[v.n - 1]) == TEXT('h')) return Marker::Suffix;
    return Marker::None;
}

Marker markerOf(View v, const NumberReading& reading) {
    return reading.marker ? letterMarker(v, reading.marker, reading.digit) : hexMarker(v);
}

// The digits of a text once its marker is taken off.
View digitsOf(View v, Marker marker) {
    switch (marker) {
        case Marker::Prefix:
            return {v.p + 2, v.n - 2};
        case Marker::Suffix:
            return {v.p, v.n - 1};
        default:
            return v;
    }
}

const WCHAR kHexDigits[] = TEXT("0123456789ABCDEF");

}  // namespace

// --- Case and character classes -------------------------------------------------

bool CZYNWCharString::toLower() {
    return zyn::guard(site(__LINE__), false, [&] {
        if (!isValid()) return false;
        const ULONG ulLength = getLength();
        for (ULONG i = 0; i < ulLength; ++i) m_pBuffer[i] = lower(m_pBuffer[i]);
        return true;
    });
}

bool CZYNWCharString::isNumeric(bool bAllowSign, bool bAllowPoint) const {
    return zyn::guard(site(__LINE__), false, [&] {
        if (!isValid()) return false;
        const ULONG ulLength = getLength();
        bool bPoint = false;
        bool bDigit = false;
        for (ULONG i = 0; i < ulLength; ++i) {
            const WCHAR c = m_pBuffer[i];
            const bool bSignHere = c == TEXT('-') && i == 0 && bAllowSign;
            const bool bPointHere =
                c == TEXT('.') && bAllowPoint && !bPoint && i != 0 && i != ulLength - 1;
            if (isDecDigit(c))
                bDigit = true;
            else if (bPointHere)
                bPoint = true;
            else if (!bSignHere)
                return false;
        }
        // A sign alone is no number.
        return bDigit;
    });
}

bool CZYNWCharString::isBinaryDigits() const {
    return isValid() && allDigits({m_pBuffer, getLength()}, isBinDigit);
}

bool CZYNWCharString::isOctalDigits() const {
    return isValid() && allDigits({m_pBuffer, getLength()}, isOctDigit);
}

bool CZYNWCharString::isHexDigits() const {
    return isValid() && allDigits({m_pBuffer, getLength()}, isHexDigit);
}

bool CZYNWCharString::isBinaryNumber() const {
    return isValid() && markerOf({m_pBuffer, getLength()}, readingOf(nsBin)) != Marker::None;
}

bool CZYNWCharString::isOctalNumber() const {
    return isValid() && markerOf({m_pBuffer, getLength()}, readingOf(nsOct)) != Marker::None;
}

bool CZYNWCharString::isHexNumber() const {
    return isValid() && markerOf({m_pBuffer, getLength()}, readingOf(nsHex)) != Marker::None;
}

// --- Numbers ----------------------------------------------------------------------

bool CZYNWCharString::stripNumberMarker() {
    return zyn::guard(site(__LINE__), false, [&] {
        if (!isValid()) return false;
        const View text = {m_pBuffer, getLength()};
        for (const NumberReading& reading : kReadings) {
            const Marker marker = markerOf(text, reading);
            if (marker == Marker::None) continue;
            const View digits = digitsOf(text, marker);
            CZYNWCharString rest = joined({{digits.p, digits.n}});
            takeOver(rest);
            return true;
        }
        return false;
    });
}

bool CZYNWCharString::toNumber(LONG* plValue, NumberSystem numberSystem) const {
    return zyn::guard(site(__LINE__), false, [&] {
        if (!isValid()) return false;
        if (!plValue)
            throw CZYNBadArgException(TEXT("plValue"), TEXT("pointer is null"), SOURCE, __LINE__);
        CZYNWCharString copy(*this);
        copy.trimCharacters(TEXT(' '), twLeading | twTrailing, tcAll);
        const View text = {copy.m_pBuffer, copy.getLength()};
        // A blank text holds no number.
        if (text.n == 0) return false;

        if (numberSystem == nsDec) {
            if (!copy.isNumeric(true, false)) return false;
            const bool bNegative = text.p[0] == TEXT('-');
            // The magnitude, checked against the signed 32-bit range as it
            // grows, so that any number of digits is safe.
            const ULONGLONG ullLimit = bNegative ? 0x80000000ull : 0x7FFFFFFFull;
            ULONGLONG ullMagnitude = 0;
            for (ULONG i = bNegative ? 1 : 0; i < text.n; ++i) {
                ullMagnitude = ullMagnitude * 10 + digitValue(text.p[i]);
                if (ullMagnitude > ullLimit)
                    throw CZYNBadArgException(
                        TEXT("this string"),
                        TEXT("decimal value in string is outside the range of a long value"),
                        SOURCE, __LINE__);
            }
            *plValue = static_cast<LONG>(bNegative ? 0u - static_cast<ULONG>(ullMagnitude)
                                                   : static_cast<ULONG>(ullMagnitude));
            return true;
        }
        if (numberSystem != nsHex && numberSystem != nsBin && numberSystem != nsOct) return false;

        // Plain digits of the system, or digits with the system's own marker.
        // Only that marker is taken off: in a hexadecimal text a 'b' is a
        // digit ("1B" is 27), never a binary marker.
        const NumberReading& reading = readingOf(numberSystem);
        const Marker marker = markerOf(text, reading);
        if (marker == Marker::None && !allDigits(text, reading.digit)) return false;
        const View digits = digitsOf(text, marker);
        if (digits.n > reading.maxDigits)
            // These records carry no source position.
            throw CZYNBadArgException(reading.argument, reading.explanation, nullptr, 0);
        ULONG ulValue = 0;
        for (ULONG i = 0; i < digits.n; ++i)
            ulValue = ulValue * reading.base + digitValue(digits.p[i]);
        *plValue = static_cast<LONG>(ulValue);
        return true;
    });
}

// --- Byte codes -------------------------------------------------------------------

CZYNWCharString CZYNWCharString::getAsciiCodeString() const {
    CZYNFunctionTrace trace(OBJECT, TEXT("getAsciiCodeString"), SOURCE, __LINE__);
    CZYNWCharString result;
    const bool bResult = zyn::guard({SOURCE, __LINE__, zyn::LastError}, false, [&] {
        if (!isValid()) return true;
        // Two digits and a space per byte; the last byte's space is the
        // terminator.
        const ULONGLONG ullBytes = ULONGLONG(m_ulCount) * sizeof(WCHAR);
        if (ullBytes * 3 > kMaxCount)
            throw CZYNMemAllocException(TEXT("m_pBuffer"), SOURCE, __LINE__);
        const ULONG ulUnits = static_cast<ULONG>(ullBytes * 3);
        WCHAR* pText = newStorage(ulUnits);
        for (ULONG i = 0; i < ullBytes; ++i) {
            // Each code unit low byte first, whatever the machine's order.
            const WORD unit = static_cast<WORD>(m_pBuffer[i / 2]);
            const BYTE b = static_cast<BYTE>(i % 2 ? unit >> 8 : unit & 0xFF);
            pText[3 * i] = kHexDigits[b >> 4];
            pText[3 * i + 1] = kHexDigits[b & 0x0F];
            if (3 * i + 2 < ulUnits - 1) pText[3 * i + 2] = TEXT(' ');
        }
        result.adopt(pText, ulUnits);
        return true;
    });
    trace.passed(bResult);
    return result;
}

CZYNBuffer<BYTE> CZYNWCharString::getBufferFromAsciiCodeString() const {
    CZYNFunctionTrace trace(OBJECT, TEXT("getBufferFromAsciiCodeString"), SOURCE, __LINE__);
    CZYNBuffer<BYTE> result;
    const bool bResult = zyn::guard(
        {SOURCE, __LINE__, zyn::LastError}, false,
        [&] {
            // Pairs start at 0, 3, 6, ...: two digits and one separator each.
            const ULONG ulLength = getLength();
            if (!result.allocate((ulLength + 1) / 3)) return false;
            bool bComplete = true;
            ULONG ulRead = 0;
            ULONG i = 0;
            for (; i + 2 <= ulLength; i += 3) {
                // Two hexadecimal digits are read here; any other pair is left
                // to toNumber, which also takes white space and markers ("0x",
                // " 7"). Reading the common case directly spares a copy, a trim
                // and their trace records per byte.
                const WCHAR high = m_pBuffer[i];
                const WCHAR low = m_pBuffer[i + 1];
                LONG lValue = 0;
                if (isHexDigit(high) && isHexDigit(low)) {
                    lValue = static_cast<LONG>(digitValue(high) * 16 + digitValue(low));
                } else if (!joined({units(i, 2)}).toNumber(&lValue, nsHex)) {
                    // What follows a pair that is not a number cannot be trusted
                    // to line up either: the bytes before it are the result.
                    CZYNBadArgException(TEXT("this string"),
                                        TEXT("byte code is not a hexadecimal number"), SOURCE,
                                        __LINE__);
                    bComplete = false;
                    break;
                }
                result.elementAt(ulRead++) = static_cast<BYTE>(lValue & 0xFF);
            }
            if (bComplete && i < ulLength) {
                // One code unit left over: the pair cannot be taken, which the
                // range check reports.
                CZYNWCharString pair;
                joined({units(i, 1)}).extractRange(pair, 0, 1, true, true);
                bComplete = false;
            }
            if (ulRead < result.getCount() && !result.resize(ulRead)) return false;
            return bComplete;
        },
        [&] { result.release(); });
    trace.passed(bResult);
    return result;
}
