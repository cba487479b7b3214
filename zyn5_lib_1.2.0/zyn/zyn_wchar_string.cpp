// zyn_wchar_string.cpp - CZYNWCharString: storage, comparison and search.
//
// Implements: construction (text, copy, buffer, character, decimal and the
// hexadecimal/binary/octal digit formatter), assignment, concatenation,
// compact, length, comparison, find, getOccurrenceCount, contains,
// beginsWith, endsWith and reverse.
#include "zyn_wchar_string.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "zyn_failure.h"
#include "zyn_function_trace.h"
#include "zyn_log_exception.h"

static const WCHAR* const SOURCE = TEXT("zyn_wchar_string.cpp");
static const WCHAR* const OBJECT = TEXT("CZYNWCharString");

namespace {

const WCHAR kDigits[] = TEXT("0123456789ABCDEF");

// Plain 16-bit comparison of n code units: negative, 0 or positive.
int compareUnits(const WCHAR* a, const WCHAR* b, ULONG n) {
    for (ULONG i = 0; i < n; ++i) {
        if (a[i] != b[i]) return static_cast<WORD>(a[i]) < static_cast<WORD>(b[i]) ? -1 : 1;
    }
    return 0;
}

}  // namespace

// --- Construction -----------------------------------------------------------

CZYNWCharString::CZYNWCharString() : CZYNBuffer<WCHAR>() {}

CZYNWCharString::CZYNWCharString(const WCHAR* szText) : CZYNBuffer<WCHAR>() {
    if (!assignText(szText)) throw CZYNBufferInitException(SOURCE, __LINE__);
}

CZYNWCharString::CZYNWCharString(const CZYNWCharString& other) : CZYNBuffer<WCHAR>() {
    if (!assignString(other)) throw CZYNBufferInitException(SOURCE, __LINE__);
}

CZYNWCharString::CZYNWCharString(CZYNWCharString&& other) noexcept
    : CZYNBuffer<WCHAR>(std::move(other)) {}

CZYNWCharString::CZYNWCharString(const CZYNBuffer<WCHAR>& buffer) : CZYNBuffer<WCHAR>() {
    if (!assignBuffer(buffer)) throw CZYNBufferInitException(SOURCE, __LINE__);
}

CZYNWCharString::CZYNWCharString(WCHAR ch) : CZYNBuffer<WCHAR>() {
    if (!assignChar(ch)) throw CZYNBufferInitException(SOURCE, __LINE__);
}

CZYNWCharString::CZYNWCharString(LONG lValue) : CZYNBuffer<WCHAR>() {
    if (!formatDecimal(lValue)) throw CZYNBufferInitException(SOURCE, __LINE__);
}

CZYNWCharString::CZYNWCharString(ULONG ulValue, NumberSystem asNumberSystem, WORD usWidth, bool bPrefix)
    : CZYNBuffer<WCHAR>() {
    if (!formatNumber(ulValue, asNumberSystem, usWidth, bPrefix))
        throw CZYNBufferInitException(SOURCE, __LINE__);
}

bool CZYNWCharString::formatNumber(ULONG ulValue, NumberSystem asNumberSystem, WORD usWidth,
                                   bool bPrefix) {
    return zyn::guard({SOURCE, __LINE__, zyn::Errno}, false, [&] {
        unsigned shift = 0;
        WCHAR prefixLetter = 0;
        switch (asNumberSystem) {
        case nsHex: shift = 4; prefixLetter = TEXT('x'); break;
        case nsBin: shift = 1; prefixLetter = TEXT('b'); break;
        case nsOct: shift = 3; prefixLetter = TEXT('o'); break;
        case nsDec: return formatDecimal(static_cast<LONG>(ulValue));
        default:
            throw CZYNBadArgException(TEXT("asNumberSystem"),
                                      TEXT("mode isn't supported, must be hex,bin,or oct"), SOURCE,
                                      __LINE__);
        }
        const ULONG mask = (1u << shift) - 1;

        // The value 0 has the one digit '0'.
        ULONG ulDigits = 1;
        for (ULONG v = ulValue >> shift; v != 0; v >>= shift) ++ulDigits;
        // A width pads with zeros in front, or keeps only the least
        // significant digits; the prefix is never counted in it.
        const ULONG ulShown = usWidth ? usWidth : ulDigits;
        const ULONG ulPrefix = bPrefix ? 2 : 0;
        const ULONG ulLength = ulPrefix + ulShown;

        WCHAR* pText = newStorage(ulLength + 1);
        ULONG v = ulValue;
        for (ULONG pos = ulLength; pos > ulPrefix; v >>= shift) pText[--pos] = kDigits[v & mask];
        if (bPrefix) {
            pText[0] = TEXT('0');
            pText[1] = prefixLetter;
        }
        adopt(pText, ulLength + 1);
        return true;
    });
}

bool CZYNWCharString::formatDecimal(LONG lValue) {
    return zyn::guard({SOURCE, __LINE__, zyn::Errno}, false, [&] {
        const bool bNegative = lValue < 0;
        // The magnitude as unsigned, so that the most negative value formats.
        const ULONG ulMagnitude = bNegative ? 0u - static_cast<ULONG>(lValue) : static_cast<ULONG>(lValue);
        ULONG ulDigits = 1;
        for (ULONG v = ulMagnitude / 10; v != 0; v /= 10) ++ulDigits;
        const ULONG ulLength = ulDigits + (bNegative ? 1 : 0);

        WCHAR* pText = newStorage(ulLength + 1);
        ULONG v = ulMagnitude;
        for (ULONG pos = ulLength; pos > (bNegative ? 1u : 0u); v /= 10) pText[--pos] = kDigits[v % 10];
        if (bNegative) pText[0] = TEXT('-');
        adopt(pText, ulLength + 1);
        return true;
    });
}

// --- Assignment and concatenation -------------------------------------------

bool CZYNWCharString::assignString(const CZYNWCharString& other) {
    if (&other == this) return true;
    return zyn::guard({SOURCE, __LINE__, zyn::Errno}, false, [&] {
        if (!other.isValid()) return release();
        return copyFrom(other);
    });
}

bool CZYNWCharString::assignText(const WCHAR* szText) {
    return zyn::guard({SOURCE, __LINE__, zyn::Errno}, false, [&] {
        if (!szText || szText[0] == 0) return release();
        const size_t length = std::char_traits<WCHAR>::length(szText);
        if (length >= kMaxCount)
            throw CZYNMemAllocException(TEXT("m_pBuffer"), SOURCE, __LINE__);
        // The new storage is filled before the old is freed, because the text
        // may lie inside this string.
        const ULONG ulCount = static_cast<ULONG>(length) + 1;
        WCHAR* pText = newStorage(ulCount);
        std::memcpy(pText, szText, length * sizeof(WCHAR));
        adopt(pText, ulCount);
        return true;
    });
}

bool CZYNWCharString::assignBuffer(const CZYNBuffer<WCHAR>& buffer) {
    return zyn::guard({SOURCE, __LINE__, zyn::Errno}, false, [&] {
        if (!buffer.isValid()) return release();
        const ULONG ulElements = buffer.getCount();
        if (ulElements == kMaxCount)
            throw CZYNMemAllocException(TEXT("m_pBuffer"), SOURCE, __LINE__);
        // Filled before the old storage is freed: the buffer may be this string.
        WCHAR* pText = newStorage(ulElements + 1);
        std::memcpy(pText, buffer.getBuffer(), ulElements * sizeof(WCHAR));
        adopt(pText, ulElements + 1);
        compact();
        return true;
    });
}

bool CZYNWCharString::assignChar(WCHAR ch) {
    return zyn::guard({SOURCE, __LINE__, zyn::Errno}, false, [&] {
        if (ch == 0) return release();
        WCHAR* pText = newStorage(2);
        pText[0] = ch;
        adopt(pText, 2);
        return true;
    });
}

CZYNWCharString& CZYNWCharString::operator=(const CZYNWCharString& other) {
    assignString(other);
    return *this;
}

CZYNWCharString& CZYNWCharString::operator=(const WCHAR* szText) {
    assignText(szText);
    return *this;
}

CZYNWCharString& CZYNWCharString::operator=(const CZYNBuffer<WCHAR>& buffer) {
    assignBuffer(buffer);
    return *this;
}

CZYNWCharString& CZYNWCharString::operator=(WCHAR ch) {
    assignChar(ch);
    return *this;
}

CZYNWCharString& CZYNWCharString::operator+=(const CZYNWCharString& other) {
    zyn::attempt({SOURCE, __LINE__, zyn::Errno}, [&] {
        if (other.getLength() == 0) return;
        // Both taken before resizing, which changes other when it is this string.
        const ULONG ulLength = getLength();
        const ULONG ulOther = other.m_ulCount;
        if (ulOther > kMaxCount - ulLength)
            throw CZYNMemAllocException(TEXT("m_pBuffer"), SOURCE, __LINE__);
        if (!resize(ulLength + ulOther)) return;
        // resize kept the first ulOther elements, so when other is this string
        // its elements are still there; the ranges may then overlap.
        std::memmove(m_pBuffer + ulLength, other.m_pBuffer, ulOther * sizeof(WCHAR));
    });
    return *this;
}

CZYNWCharString CZYNWCharString::operator+(const CZYNWCharString& other) const {
    return zyn::guard({SOURCE, __LINE__, zyn::Errno}, CZYNWCharString(),
                      [&] { return concatenated(*this, other); });
}

CZYNWCharString CZYNWCharString::concatenated(const CZYNWCharString& head,
                                              const CZYNWCharString& tail) {
    // A copy of head, then tail appended to it as += appends.
    if (tail.getLength() == 0) return CZYNWCharString(head);
    const ULONG ulHead = head.getLength();
    const ULONG ulTail = tail.m_ulCount;
    if (ulTail > kMaxCount - ulHead)
        throw CZYNMemAllocException(TEXT("m_pBuffer"), SOURCE, __LINE__);
    WCHAR* pText = newStorage(ulHead + ulTail);
    if (ulHead) std::memcpy(pText, head.m_pBuffer, ulHead * sizeof(WCHAR));
    std::memcpy(pText + ulHead, tail.m_pBuffer, ulTail * sizeof(WCHAR));
    CZYNWCharString result;
    result.adopt(pText, ulHead + ulTail);
    return result;
}

bool CZYNWCharString::compact() {
    return zyn::guard({SOURCE, __LINE__, zyn::Errno}, false, [&] {
        if (!isValid()) return false;
        const ULONG ulLength = getLength();
        if (ulLength == 0) return release();
        if (m_ulCount == ulLength + 1) return true;
        return resize(ulLength + 1);
    });
}

// --- Inspection -------------------------------------------------------------

ULONG CZYNWCharString::getLength() const {
    if (!isValid()) return 0;
    ULONG ulLength = 0;
    while (ulLength < m_ulCount && m_pBuffer[ulLength] != 0) ++ulLength;
    return ulLength;
}

const WCHAR* CZYNWCharString::getText() const { return isValid() ? m_pBuffer : TEXT(""); }

// --- Comparison -------------------------------------------------------------

bool CZYNWCharString::operator==(const CZYNWCharString& other) const {
    if (!isValid() || !other.isValid()) return !isValid() && !other.isValid();
    const ULONG ulLength = getLength();
    return ulLength == other.getLength() && compareUnits(m_pBuffer, other.m_pBuffer, ulLength) == 0;
}

bool CZYNWCharString::operator!=(const CZYNWCharString& other) const { return !(*this == other); }

bool CZYNWCharString::operator<=(const CZYNWCharString& other) const {
    if (!isValid() || !other.isValid()) return false;
    const ULONG ulLength = getLength();
    return ulLength == other.getLength() && compareUnits(m_pBuffer, other.m_pBuffer, ulLength) <= 0;
}

bool CZYNWCharString::operator>=(const CZYNWCharString& other) const {
    if (!isValid() || !other.isValid()) return false;
    const ULONG ulLength = getLength();
    return ulLength == other.getLength() && compareUnits(m_pBuffer, other.m_pBuffer, ulLength) >= 0;
}

bool CZYNWCharString::operator<(const CZYNWCharString& other) const { return !(*this >= other); }

bool CZYNWCharString::operator>(const CZYNWCharString& other) const { return !(*this <= other); }

// --- Search -----------------------------------------------------------------

bool CZYNWCharString::matchesAt(ULONG ulIndex, const CZYNWCharString& subString,
                                ULONG ulSubLength) const {
    return compareUnits(m_pBuffer + ulIndex, subString.m_pBuffer, ulSubLength) == 0;
}

bool CZYNWCharString::find(const CZYNWCharString& subString, ULONG ulOccurrance, ParseMode parseMode,
                           ULONG* pulPos) const {
    return zyn::guard<CZYNBadArgException>({SOURCE, __LINE__, zyn::Errno}, false, [&] {
        if (!isValid() || !subString.isValid()) return false;
        const ULONG ulLength = getLength();
        const ULONG ulSubLength = subString.getLength();
        if (ulSubLength > ulLength) return false;
        if (ulOccurrance > ulLength)
            throw CZYNBadArgException(
                TEXT("ulOccurrance"),
                TEXT("value is impossible since it is larger than the length of this string"), SOURCE,
                __LINE__);
        if (ulOccurrance == 0)
            throw CZYNBadArgException(TEXT("ulOccurrance"), TEXT("value must be greater than 0"), SOURCE,
                                      __LINE__);

        ULONG ulFound = 0;
        if (parseMode == pmFromStart) {
            for (ULONG i = 0; i <= ulLength - ulSubLength; ++i) {
                if (matchesAt(i, subString, ulSubLength) && ++ulFound == ulOccurrance) {
                    if (pulPos) *pulPos = i;
                    return true;
                }
            }
        } else if (parseMode == pmFromEnd && ulSubLength > 0) {
            for (ULONG i = ulLength - ulSubLength + 1; i-- > 0;) {
                if (matchesAt(i, subString, ulSubLength) && ++ulFound == ulOccurrance) {
                    if (pulPos) *pulPos = i;
                    return true;
                }
            }
        }
        return false;
    });
}

ULONG CZYNWCharString::getOccurrenceCount(const CZYNWCharString& subString) const {
    // One forward scan; the count stops at this string's length, as counting
    // occurrence 1, 2, ... up to the length with find would.
    return zyn::guard({SOURCE, __LINE__, zyn::Errno}, ULONG(0), [&] {
        if (!isValid() || !subString.isValid()) return ULONG(0);
        const ULONG ulLength = getLength();
        const ULONG ulSubLength = subString.getLength();
        if (ulSubLength > ulLength) return ULONG(0);
        ULONG ulCount = 0;
        for (ULONG i = 0; i <= ulLength - ulSubLength && ulCount < ulLength; ++i)
            if (matchesAt(i, subString, ulSubLength)) ++ulCount;
        return ulCount;
    });
}

bool CZYNWCharString::contains(const CZYNWCharString& subString) const {
    return zyn::guard({SOURCE, __LINE__, zyn::Errno}, false,
                      [&] { return find(subString, 1, pmFromStart, nullptr); });
}

bool CZYNWCharString::beginsWith(const CZYNWCharString& subString) const {
    CZYNFunctionTrace trace(OBJECT, TEXT("beginsWith"), SOURCE, __LINE__);
    const bool bResult = zyn::guard({SOURCE, __LINE__, zyn::LastError}, false, [&] {
        ULONG ulPos = 0;
        return find(subString, 1, pmFromStart, &ulPos) && ulPos == 0;
    });
    return trace.passed(bResult);
}

bool CZYNWCharString::endsWith(const CZYNWCharString& subString) const {
    CZYNFunctionTrace trace(OBJECT, TEXT("endsWith"), SOURCE, __LINE__);
    const bool bResult = zyn::guard({SOURCE, __LINE__, zyn::LastError}, false, [&] {
        ULONG ulPos = 0;
        return find(subString, 1, pmFromEnd, &ulPos) &&
               ulPos + subString.getLength() == getLength();
    });
    return trace.passed(bResult);
}

bool CZYNWCharString::reverse() {
    return zyn::guard({SOURCE, __LINE__, zyn::Errno}, false, [&] {
        if (!isValid()) return false;
        std::reverse(m_pBuffer, m_pBuffer + getLength());
        return true;
    });
}
