// zyn_wchar_string_edit.cpp - CZYNWCharString: editing, substrings and
// parsing.
//
// Implements: getWithoutLast, getWithoutFirst, removeLast, removeFirst,
// cutRange, extractRange, extractBetween, remove, insert, replace,
// trimCharacters, trim, findNotInSet, convertOccurrence, cutAtDelimiter,
// extractBeyond, parse, parseToList and expand, with their helpers.
//
// Every edit builds its result in a new string and hands it over at the end,
// so an operation that fails (a bad argument, memory running out) leaves the
// string, and any out string, as they were. Records carry the class's source
// file name, as the rest of the class's records do.
#include <algorithm>
#include <cstring>

#include "zyn_environment_variable.h"
#include "zyn_failure.h"
#include "zyn_function_trace.h"
#include "zyn_log_exception.h"
#include "zyn_wchar_string.h"

static const WCHAR* const SOURCE = TEXT("zyn_wchar_string.cpp");
static const WCHAR* const OBJECT = TEXT("CZYNWCharString");

namespace {

// The white-space table of trimming, in scan order, with the bit of the
// CZYNFlags value that selects each character.
struct TrimEntry {
    DWORD ulBit;
    WCHAR ch;
};
const TrimEntry kTrimTable[] = {
    {tcSpace, 0x20},    {tcTab, 0x09},       {tcFormFeed, 0x0C},       {tcAlert, 0x07},
    {tcLineFeed, 0x0A}, {tcBackspace, 0x08}, {tcCarriageReturn, 0x0D}, {tcVerticalTab, 0x0B},
};

// The site of an operation's catch-all handler (code errno).
zyn::Site site(DWORD line) { return {SOURCE, line, zyn::Errno}; }

// The other direction.
ParseMode opposite(ParseMode parseMode) { return parseMode == pmFromStart ? pmFromEnd : pmFromStart; }

bool isParseMode(ParseMode parseMode) { return parseMode == pmFromStart || parseMode == pmFromEnd; }

// The mode checks of remove and replace, for ulCount occurrences;
// szOccurTooFew explains an ssmOccur occurrence past the count.
void checkMode(subStringMode subStringMode, ULONG ulOccurrance, ULONG ulCount, const WCHAR* szOccurTooFew) {
    switch (subStringMode) {
    case ssmAll:
        return;
    case ssmOccur:
        if (ulOccurrance == 0)
            throw CZYNBadArgException(TEXT("ulOccurrance"),
                                      TEXT("ssmOccur mode requires ulOccurrance to be greater than 0"),
                                      SOURCE, __LINE__);
        if (ulCount < ulOccurrance)
            throw CZYNBadArgException(TEXT("ulOccurrance"), szOccurTooFew, SOURCE, __LINE__);
        return;
    case ssmNum:
        if (ulOccurrance == 0)
            throw CZYNBadArgException(TEXT("ulOccurrance"),
                                      TEXT("ssmNum mode requires ulOccurrance to be greater than 0"), SOURCE,
                                      __LINE__);
        if (ulCount < ulOccurrance)
            throw CZYNBadArgException(TEXT("ulOccurrance"),
                                      TEXT("there aren't enough strings to accommodate ulOccurrance"), SOURCE,
                                      __LINE__);
        return;
    }
    throw CZYNBadArgException(TEXT("subStringMode"), TEXT("invalid mode"), SOURCE, __LINE__);
}

}  // namespace

// The characters a CZYNFlags value selects, asked of the flags once per
// operation rather than once per code unit.
class CZYNWCharString::CharacterSet {
public:
    CharacterSet() : m_ulCount(0) {}
    explicit CharacterSet(const CZYNFlags& charFlags) : m_ulCount(0) {
        for (const TrimEntry& entry : kTrimTable)
            if (charFlags.hasFlags(entry.ulBit)) m_chars[m_ulCount++] = entry.ch;
    }
    bool contains(WCHAR ch) const {
        for (ULONG i = 0; i < m_ulCount; ++i)
            if (m_chars[i] == ch) return true;
        return false;
    }

private:
    WCHAR m_chars[sizeof(kTrimTable) / sizeof(kTrimTable[0])] = {};
    ULONG m_ulCount;
};

// --- Helpers ------------------------------------------------------------------

CZYNWCharString::Units CZYNWCharString::units(ULONG ulStart, ULONG ulCount) const {
    if (ulCount == 0) return {nullptr, 0};
    return {m_pBuffer + ulStart, ulCount};
}

CZYNWCharString CZYNWCharString::joined(std::initializer_list<Units> pieces) {
    ULONGLONG ullTotal = 0;
    for (const Units& piece : pieces) ullTotal += piece.ulCount;
    CZYNWCharString result;
    if (ullTotal == 0) return result;
    if (ullTotal >= kMaxCount) throw CZYNMemAllocException(TEXT("m_pBuffer"), SOURCE, __LINE__);
    const ULONG ulTotal = static_cast<ULONG>(ullTotal);
    WCHAR* pText = newStorage(ulTotal + 1);
    ULONG ulAt = 0;
    for (const Units& piece : pieces) {
        if (piece.ulCount) std::memcpy(pText + ulAt, piece.pText, piece.ulCount * sizeof(WCHAR));
        ulAt += piece.ulCount;
    }
    result.adopt(pText, ulTotal + 1);
    return result;
}

CZYNWCharString CZYNWCharString::withoutLast(ULONG n) const {
    if (n == 0) return CZYNWCharString(*this);
    const ULONG ulLength = getLength();
    if (n >= ulLength) return CZYNWCharString();
    return joined({units(0, ulLength - n)});
}

CZYNWCharString CZYNWCharString::withoutFirst(ULONG n) const {
    if (n == 0) return CZYNWCharString(*this);
    const ULONG ulLength = getLength();
    if (n >= ulLength) return CZYNWCharString();
    return joined({units(n, ulLength - n)});
}

void CZYNWCharString::takeOver(CZYNWCharString& other) noexcept {
    if (&other == this) return;
    adopt(other.m_pBuffer, other.m_ulCount);
    other.m_pBuffer = nullptr;
    other.m_ulCount = 0;
}

// --- Ends ---------------------------------------------------------------------

CZYNWCharString CZYNWCharString::getWithoutLast(ULONG n) const {
    return zyn::guardCatchAll(site(__LINE__), CZYNWCharString(), [&] { return withoutLast(n); });
}

CZYNWCharString CZYNWCharString::getWithoutFirst(ULONG n) const {
    return zyn::guardCatchAll(site(__LINE__), CZYNWCharString(), [&] { return withoutFirst(n); });
}

CZYNWCharString& CZYNWCharString::removeLast(ULONG n) {
    zyn::guardCatchAll(site(__LINE__), false, [&] {
        CZYNWCharString result = withoutLast(n);
        takeOver(result);
        return true;
    });
    return *this;
}

CZYNWCharString& CZYNWCharString::removeFirst(ULONG n) {
    zyn::guardCatchAll(site(__LINE__), false, [&] {
        CZYNWCharString result = withoutFirst(n);
        takeOver(result);
        return true;
    });
    return *this;
}

// --- Ranges -------------------------------------------------------------------

bool CZYNWCharString::cutRange(ULONG ulStartPos, ULONG ulEndPos, bool bDropStart, bool bDropEnd) {
    return zyn::guardCatchAll(site(__LINE__), false, [&] {
        if (!isValid()) return false;
        const ULONG ulLength = getLength();
        if (ulStartPos >= ulLength)
            throw CZYNBadArgException(TEXT("ulStartPos"),
                                      TEXT("start position is past the end of the string"), SOURCE, __LINE__);
        if (ulEndPos >= ulLength)
            throw CZYNBadArgException(TEXT("ulEndPos"), TEXT("end position is past the end of the string"),
                                      SOURCE, __LINE__);
        if (ulStartPos == ulEndPos)
            throw CZYNBadArgException(TEXT("ulEndPos & ulStartPos"),
                                      TEXT("start and end positions can't be equal"), SOURCE, __LINE__);
        if (ulEndPos < ulStartPos) {
            // Keep the inside, indices ulEndPos..ulStartPos, less the ends dropped.
            const ULONG ulFirst = ulEndPos + (bDropEnd ? 1 : 0);
            const ULONG ulPastLast = ulStartPos + (bDropStart ? 0 : 1);
            CZYNWCharString result = joined({units(ulFirst, ulPastLast - ulFirst)});
            takeOver(result);
        } else {
            // Delete the inside: the head up to ulStartPos, the tail from ulEndPos.
            const ULONG ulHead = ulStartPos + (bDropStart ? 0 : 1);
            const ULONG ulTail = ulEndPos + (bDropEnd ? 1 : 0);
            CZYNWCharString result = joined({units(0, ulHead), units(ulTail, ulLength - ulTail)});
            takeOver(result);
        }
        return true;
    });
}

bool CZYNWCharString::extractRange(CZYNWCharString& out, ULONG ulStartPos, ULONG ulEndPos, bool bIncludeStart,
                                   bool bIncludeEnd) const {
    return zyn::guardCatchAll(site(__LINE__), false, [&] {
        if (ulEndPos < ulStartPos)
            throw CZYNBadArgException(TEXT("ulStartPos"),
                                      TEXT("start position can't be greater than end position - use "
                                           "extractOutside( ) or deleteRange( ) instead"),
                                      SOURCE, __LINE__);
        if (ulStartPos != ulEndPos) {
            if (!isValid()) return false;
            // cutRange keeps the inside when its start lies after its end, so
            // the positions go in swapped, and with them the two flags.
            CZYNWCharString result(*this);
            if (!result.cutRange(ulEndPos, ulStartPos, !bIncludeEnd, !bIncludeStart)) return false;
            out.takeOver(result);
        } else {
            // One position: it must lie within the text, whether or not its
            // character is wanted; outside it the element check's record is
            // written (also for the empty state).
            if (ulStartPos >= getLength()) throw zyn::elementCheckFailure();
            CZYNWCharString result =
                bIncludeStart || bIncludeEnd ? joined({units(ulStartPos, 1)}) : CZYNWCharString();
            out.takeOver(result);
        }
        return true;
    });
}

bool CZYNWCharString::extractBetween(CZYNWCharString& out, const CZYNWCharString& startDelimiter,
                                     ULONG ulStartOccurrance, const CZYNWCharString& endDelimiter,
                                     ULONG ulEndOccurrance, bool bIncludeStart, bool bIncludeEnd) const {
    return zyn::guardCatchAll(site(__LINE__), false, [&] {
        // Both delimiters are looked for (and what either search logs is
        // written) before either result counts. A start delimiter of length 0
        // stands at every index from the start; an end delimiter of length 0
        // is never found, since it is counted from the end.
        ULONG s = 0;
        ULONG e = 0;
        const bool bStart = find(startDelimiter, ulStartOccurrance, pmFromStart, &s);
        const bool bEnd = find(endDelimiter, ulEndOccurrance, pmFromEnd, &e);
        if (!bStart || !bEnd) return false;
        // The end delimiter must begin after the start delimiter ends;
        // otherwise there is nothing between them (and the range below would
        // cut through a delimiter).
        const ULONG ulStartLength = startDelimiter.getLength();
        const ULONG ulEndLength = endDelimiter.getLength();
        if (e < s + ulStartLength) return false;
        // The text from the start delimiter, or just after it, up to the end
        // of the end delimiter, or just before it; two neighbouring excluded
        // delimiters have nothing between them.
        const ULONG ulFirst = bIncludeStart ? s : s + ulStartLength;
        const ULONG ulPast = bIncludeEnd ? e + ulEndLength : e;
        if (ulPast == ulFirst) {
            CZYNWCharString none;
            out.takeOver(none);
            return true;
        }
        return extractRange(out, ulFirst, ulPast - 1, true, true);
    });
}

// --- Substrings ---------------------------------------------------------------

bool CZYNWCharString::remove(const CZYNWCharString& subString, ULONG ulOccurrance,
                             subStringMode subStringMode) {
    return zyn::guardCatchAll(site(__LINE__), false, [&] {
        if (!isValid()) return false;
        const ULONG ulSubLength = subString.getLength();
        const ULONG ulCount = getOccurrenceCount(subString);
        if (ulCount == 0) return false;

        checkMode(subStringMode, ulOccurrance, ulCount,
                  TEXT("there aren't enough strings to accommodate ulOccurrance"));
        const ULONG ulPasses = subStringMode == ssmAll     ? ulCount
                               : subStringMode == ssmOccur ? 1
                                                           : ulOccurrance;
        const ULONG ulWhich = subStringMode == ssmOccur ? ulOccurrance : 1;

        // Each pass removes the chosen occurrence of the text as the previous
        // pass left it; a pass that finds none (an occurrence that overlapped
        // one already removed) is skipped. A subString of length 0 occurs at
        // every index, and removing it leaves the text as it is.
        CZYNWCharString work(*this);
        if (ulSubLength > 0 && subStringMode == ssmOccur) {
            ULONG ulPos = 0;
            if (work.find(subString, ulWhich, pmFromStart, &ulPos)) {
                const ULONG ulAfter = ulPos + ulSubLength;
                CZYNWCharString next =
                    joined({work.units(0, ulPos), work.units(ulAfter, work.getLength() - ulAfter)});
                work.takeOver(next);
            }
        } else if (ulSubLength > 0) {
            // Every pass takes the first occurrence. Of all occurrences that
            // one ends first, so one scan meets them in the passes' order: the
            // units are copied out, and whenever the copy ends with subString
            // (also one that a removal has just brought together), that
            // occurrence comes off again, until ulPasses are gone.
            const ULONG ulLength = getLength();
            CZYNWCharString kept;
            kept.adopt(newStorage(ulLength + 1), ulLength + 1);
            WCHAR* pKept = kept.m_pBuffer;
            ULONG ulKept = 0;
            ULONG ulRemoved = 0;
            for (ULONG i = 0; i < ulLength; ++i) {
                pKept[ulKept++] = m_pBuffer[i];
                if (ulRemoved < ulPasses && ulKept >= ulSubLength &&
                    kept.matchesAt(ulKept - ulSubLength, subString, ulSubLength)) {
                    ulKept -= ulSubLength;
                    ++ulRemoved;
                }
            }
            CZYNWCharString next = joined({kept.units(0, ulKept)});
            work.takeOver(next);
        }
        takeOver(work);
        compact();
        return true;
    });
}

bool CZYNWCharString::insert(const CZYNWCharString& string, ULONG ulPos) {
    return zyn::guardCatchAll(site(__LINE__), false, [&] {
        if (!isValid() && ulPos != 0) return false;
        if (!string.isValid())
            throw CZYNBadArgException(TEXT("string"), TEXT("can't insert an invalid string"), SOURCE,
                                      __LINE__);
        const ULONG ulLength = getLength();
        if (ulLength < ulPos)
            throw CZYNBadArgException(TEXT("ulPos"), TEXT("position is out of string bounds"), SOURCE,
                                      __LINE__);
        // Both strings are read before this one changes: string may be this
        // one. At either end the two are joined as + joins them, so the
        // buffer of the part behind (its slack included) comes along, and a
        // string of length 0 inserted into the empty state is a text of
        // length 0. Inside the text the result is exactly sized.
        if (ulPos == 0 || ulPos == ulLength) {
            CZYNWCharString result =
                ulPos == 0 ? concatenated(string, *this) : concatenated(*this, string);
            takeOver(result);
        } else {
            CZYNWCharString result = joined({units(0, ulPos), string.units(0, string.getLength()),
                                             units(ulPos, ulLength - ulPos)});
            takeOver(result);
        }
        return true;
    });
}

bool CZYNWCharString::replace(const CZYNWCharString& oldString, const CZYNWCharString& newString,
                              ULONG ulOccurrance, subStringMode subStringMode) {
    return zyn::guard<CZYNBadArgException>(site(__LINE__), false, [&] {
        if (!isValid()) return false;
        if (!oldString.isValid())
            throw CZYNBadArgException(TEXT("oldString"), TEXT("string is invalid"), SOURCE, __LINE__);
        const ULONG ulCount = getOccurrenceCount(oldString);
        if (ulCount == 0) return false;

        checkMode(subStringMode, ulOccurrance, ulCount, TEXT("occurrance is out of bounds"));
        // Replacements to make at most.
        const ULONG ulWanted = subStringMode == ssmAll     ? ulCount
                               : subStringMode == ssmOccur ? 1
                                                           : ulOccurrance;
        // An oldString of length 0 stands at every index: one occurrence is
        // replaced by inserting newString there, but every replacement would
        // make a new occurrence of its own, so more than one is refused.
        const ULONG ulOldLength = oldString.getLength();
        if (ulOldLength == 0 && ulWanted > 1)
            throw CZYNBadArgException(TEXT("oldString"), TEXT("string is invalid"), SOURCE,
                                      __LINE__);

        // The occurrences are those of the original text, taken from the
        // start; an occurrence that overlaps one already taken is passed over,
        // and the inserted text is never searched, so a replacement that
        // contains oldString (or forms it with its neighbours) is left alone.
        const ULONG ulLength = getLength();
        const ULONG ulNewLength = newString.getLength();
        ULONG ulFirst = 0;
        if (subStringMode == ssmOccur && !find(oldString, ulOccurrance, pmFromStart, &ulFirst)) return false;

        auto scan = [&](auto&& onMatch) {
            ULONG ulMade = 0;
            for (ULONG ulPos = ulFirst; ulPos + ulOldLength <= ulLength;) {
                if (!matchesAt(ulPos, oldString, ulOldLength)) {
                    ++ulPos;
                    continue;
                }
                onMatch(ulPos);
                ulPos += ulOldLength;
                if (++ulMade == ulWanted) break;
            }
            return ulMade;
        };
        const ULONG ulMade = scan([](ULONG) {});
        // The first ulOccurrance occurrences overlap, so fewer can be replaced.
        if (subStringMode == ssmNum && ulMade < ulWanted) return false;

        const ULONGLONG ullTotal =
            ULONGLONG(ulLength) - ULONGLONG(ulMade) * ulOldLength + ULONGLONG(ulMade) * ulNewLength;
        if (ullTotal >= kMaxCount) throw CZYNMemAllocException(TEXT("m_pBuffer"), SOURCE, __LINE__);
        // A text wholly replaced by a newString of length 0 is a text of
        // length 0, as inserting newString into the empty state gives; an
        // empty-state newString deletes it all.
        CZYNWCharString result =
            ullTotal == 0 && newString.isValid() ? CZYNWCharString(newString) : CZYNWCharString();
        if (ullTotal > 0) {
            const ULONG ulTotal = static_cast<ULONG>(ullTotal);
            WCHAR* pText = newStorage(ulTotal + 1);
            ULONG ulAt = 0;
            ULONG ulCopied = 0;  // the text before this index has been written
            auto copy = [&](const WCHAR* pFrom, ULONG ulCount) {
                if (ulCount) std::memcpy(pText + ulAt, pFrom, ulCount * sizeof(WCHAR));
                ulAt += ulCount;
            };
            scan([&](ULONG ulPos) {
                copy(m_pBuffer + ulCopied, ulPos - ulCopied);
                copy(newString.getBuffer(), ulNewLength);
                ulCopied = ulPos + ulOldLength;
            });
            copy(m_pBuffer + ulCopied, ulLength - ulCopied);
            result.adopt(pText, ulTotal + 1);
        }
        takeOver(result);
        return true;
    });
}

// --- Trimming -----------------------------------------------------------------

bool CZYNWCharString::trimCharacters(WCHAR chExtra, CZYNFlags whereFlags, CZYNFlags charFlags) {
    return zyn::guardCatchAll(site(__LINE__), false, [&] {
        if (!isValid()) return false;
        const CharacterSet set(charFlags);
        const bool bLeading = whereFlags.hasFlags(twLeading);
        const bool bTrailing = whereFlags.hasFlags(twTrailing);
        const ULONG ulLength = getLength();
        auto trimmed = [&](WCHAR ch) { return ch == chExtra || set.contains(ch); };

        // The trailing run [ulEnd, ulLength) is overwritten with zeros.
        ULONG ulEnd = ulLength;
        if (bTrailing)
            while (ulEnd > 0 && trimmed(m_pBuffer[ulEnd - 1])) --ulEnd;
        // The leading run is counted over the text as the trailing pass leaves
        // it: its zeros match only an extra character of 0.
        ULONG ulLead = 0;
        if (bLeading)
            while (ulLead < ulLength && (ulLead < ulEnd ? trimmed(m_pBuffer[ulLead]) : chExtra == 0))
                ++ulLead;

        if (ulLead == 0) {
            // The buffer stays as it is; only the trailing units become zeros.
            for (ULONG i = ulEnd; i < ulLength; ++i) m_pBuffer[i] = 0;
            return true;
        }
        CZYNWCharString rest = ulLead >= ulEnd ? CZYNWCharString() : joined({units(ulLead, ulEnd - ulLead)});
        takeOver(rest);
        return true;
    });
}

void CZYNWCharString::trimWith(const CharacterSet& set, bool bLeading, bool bTrailing) {
    const ULONG ulLength = getLength();
    ULONG c = 0;  // the first unit not in the set
    while (c < ulLength && set.contains(m_pBuffer[c])) ++c;
    if (c == ulLength) {
        // Nothing but selected characters: nothing is left when either end is
        // trimmed, and the text stays when neither is.
        if (!bLeading && !bTrailing) return;
        CZYNWCharString none;
        takeOver(none);
        return;
    }
    ULONG e = ulLength - 1;  // the last unit not in the set (there is one)
    while (set.contains(m_pBuffer[e])) --e;

    const ULONG ulHeadEnd = bLeading ? 0 : c;
    const ULONG ulTailStart = bTrailing ? ulLength : e + 1;
    // With both ends trimmed the selected characters inside go as well.
    const bool bInside = bLeading && bTrailing;
    ULONG ulTotal = ulHeadEnd + (ulLength - ulTailStart);
    for (ULONG i = c; i <= e; ++i)
        if (!bInside || !set.contains(m_pBuffer[i])) ++ulTotal;
    // The text neither begins nor ends with a selected character and nothing
    // inside goes: the string stays as it is, its whole buffer included, since
    // the kept part is then the whole string. (A text of one character is
    // kept as that one character, exactly sized.)
    if (c == 0 && e == ulLength - 1 && c != e && ulTotal == ulLength) return;

    WCHAR* pText = newStorage(ulTotal + 1);
    ULONG ulAt = 0;
    for (ULONG i = 0; i < ulHeadEnd; ++i) pText[ulAt++] = m_pBuffer[i];
    for (ULONG i = c; i <= e; ++i)
        if (!bInside || !set.contains(m_pBuffer[i])) pText[ulAt++] = m_pBuffer[i];
    for (ULONG i = ulTailStart; i < ulLength; ++i) pText[ulAt++] = m_pBuffer[i];
    adopt(pText, ulTotal + 1);
}

bool CZYNWCharString::trim(CZYNFlags whereFlags, CZYNFlags charFlags) {
    return zyn::guardCatchAll(site(__LINE__), false, [&] {
        if (!isValid() || whereFlags.getFlags() == 0 || charFlags.getFlags() == 0) return true;
        const CharacterSet set(charFlags);
        trimWith(set, whereFlags.hasFlags(twLeading), whereFlags.hasFlags(twTrailing));
        return true;
    });
}

bool CZYNWCharString::findNotInSet(CZYNFlags charFlags, ParseMode parseMode, ULONG* pulPos) const {
    return zyn::guardCatchAll(site(__LINE__), false, [&] {
        if (!isValid() || !isParseMode(parseMode)) return false;
        const CharacterSet set(charFlags);
        const ULONG ulLength = getLength();
        for (ULONG k = 0; k < ulLength; ++k) {
            const ULONG i = parseMode == pmFromStart ? k : ulLength - 1 - k;
            if (!set.contains(m_pBuffer[i])) {
                if (pulPos) *pulPos = i;
                return true;
            }
        }
        return false;
    });
}

// --- Delimiters ---------------------------------------------------------------

bool CZYNWCharString::convertOccurrence(const CZYNWCharString& subString, ULONG ulOccurrance,
                                        ParseMode parseMode, ULONG* pulOccurrance) const {
    return zyn::guardCatchAll(site(__LINE__), false, [&] {
        if (!isValid()) return false;
        if (subString.getLength() == 0)
            throw CZYNBadArgException(TEXT("subString"), TEXT("must contain a string"), SOURCE, __LINE__);
        if (!isParseMode(parseMode))
            throw CZYNBadArgException(TEXT("parseMode"), TEXT("invalid parse mode"), SOURCE, __LINE__);
        if (!find(subString, ulOccurrance, parseMode, nullptr)) return false;
        // Both directions see the same set of occurrences (overlapping ones
        // included), in opposite orders: number k of n from one end is number
        // n - k + 1 from the other.
        const ULONG ulCount = getOccurrenceCount(subString);
        if (pulOccurrance) *pulOccurrance = ulCount - ulOccurrance + 1;
        return true;
    });
}

bool CZYNWCharString::cutAtDelimiter(const CZYNWCharString& subString, ULONG ulOccurrance,
                                     ParseMode parseMode, bool bExclude) {
    return zyn::guardCatchAll(site(__LINE__), false, [&] {
        if (!isValid() || !isParseMode(parseMode)) return false;
        // A subString of length 0 stands at every index from the start, and
        // never from the end.
        const ULONG ulSubLength = subString.getLength();
        ULONG ulPos = 0;
        if (!find(subString, ulOccurrance, parseMode, &ulPos)) return false;
        // pmFromStart: the string starts at the delimiter, or just after it.
        // pmFromEnd: it ends with the delimiter, or just before it.
        const ULONG ulKeep = bExclude ? ulPos : ulPos + ulSubLength;
        CZYNWCharString result = parseMode == pmFromStart
                                     ? withoutFirst(bExclude ? ulPos + ulSubLength : ulPos)
                                     : withoutLast(getLength() - ulKeep);
        takeOver(result);
        return true;
    });
}

bool CZYNWCharString::extractBeyond(CZYNWCharString& out, const CZYNWCharString& subString,
                                    ULONG ulOccurrance, ParseMode parseMode, bool bIncludeDelimiter) const {
    return zyn::guardCatchAll(site(__LINE__), false, [&] {
        ULONG ulOther = 0;
        if (!convertOccurrence(subString, ulOccurrance, parseMode, &ulOther)) return false;
        CZYNWCharString copy(*this);
        if (!copy.cutAtDelimiter(subString, ulOther, opposite(parseMode), !bIncludeDelimiter)) return false;
        out.takeOver(copy);
        return true;
    });
}

// --- Parsing ------------------------------------------------------------------

bool CZYNWCharString::parse(CZYNWCharString& out, const CZYNWCharString& delimiter, ULONG ulOccurrance,
                            ParseMode parseMode, CZYNFlags whereFlags, CZYNFlags charFlags) const {
    return zyn::guardCatchAll(site(__LINE__), false, [&] {
        if (!isValid() || !delimiter.isValid()) return false;
        if (ulOccurrance == 0)
            throw CZYNBadArgException(TEXT("ulOccurrance"), TEXT("ulOccurrance must be greater than 0"),
                                      SOURCE, __LINE__);
        if (!isParseMode(parseMode)) return false;
        // A delimiter of length 0 stands at every index; the delimiter
        // operations below refuse it (with their record), except that a text
        // of length 0 holds none and is its own one token.
        const ULONG b = getOccurrenceCount(delimiter);

        CZYNWCharString token;
        if (b == 0) {
            // One token, the whole text; no pair of delimiters encloses anything.
            if (ulOccurrance != 1 || parseMode != pmFromStart) return false;
            CZYNWCharString whole(*this);
            token.takeOver(whole);
        } else if (b < ulOccurrance - 1) {
            // b delimiters separate b + 1 tokens (and enclose fewer pairs).
            return false;
        } else if (parseMode == pmFromStart) {
            if (ulOccurrance == 1) {
                if (!extractBeyond(token, delimiter, 1, pmFromStart, false)) return false;
            } else if (ulOccurrance == b + 1) {
                if (!extractBeyond(token, delimiter, 1, pmFromEnd, false)) return false;
            } else {
                ULONG k = 0;
                if (!convertOccurrence(delimiter, ulOccurrance, pmFromStart, &k)) return false;
                if (!extractBetween(token, delimiter, ulOccurrance - 1, delimiter, k, false, false))
                    return false;
            }
        } else {
            // Token n lies between delimiters n and n + 1 (the search for
            // delimiter n + 1 logs a number past the length of the text).
            ULONG k = 0;
            if (!convertOccurrence(delimiter, ulOccurrance + 1, pmFromStart, &k)) return false;
            if (!extractBetween(token, delimiter, ulOccurrance, delimiter, k, false, false)) return false;
        }
        if (!token.trim(whereFlags, charFlags)) return false;
        out.takeOver(token);
        return true;
    });
}

bool CZYNWCharString::parseToList(CZYNDblList<CZYNObjNode<CZYNWCharString>>& list,
                                  const CZYNWCharString& delimiter, ParseMode parseMode, CZYNFlags whereFlags,
                                  CZYNFlags charFlags) const {
    // The tokens parse gives for n = 1, 2, 3, ... (pmFromEnd: 1, 3, 5, ...)
    // until it fails, found in one pass over the text instead of one pass per
    // token.
    return zyn::guardCatchAll(
        site(__LINE__), false,
        [&] {
            if (!isValid() || !delimiter.isValid()) return false;
            list.clear();
            if (!isParseMode(parseMode)) return false;
            const ULONG ulDelimiter = delimiter.getLength();
            const ULONG b = getOccurrenceCount(delimiter);
            if (b == 0 || ulDelimiter == 0) {
                // No delimiter in the text, or one of length 0: at most the
                // one token that parse gives first (the whole text, or its
                // refusal of such a delimiter, with the record).
                CZYNWCharString token;
                if (parse(token, delimiter, 1, parseMode, whereFlags, charFlags))
                    list.add(token, 0);
                return list.getCount() > 0;
            }

            const bool bTrim = whereFlags.getFlags() != 0 && charFlags.getFlags() != 0;
            CharacterSet set;
            if (bTrim) set = CharacterSet(charFlags);
            const bool bLeading = bTrim && whereFlags.hasFlags(twLeading);
            const bool bTrailing = bTrim && whereFlags.hasFlags(twTrailing);
            auto addToken = [&](ULONG ulStart, ULONG ulEnd, LONG lTag) {
                CZYNWCharString token = joined({units(ulStart, ulEnd - ulStart)});
                if (bTrim && token.isValid()) token.trimWith(set, bLeading, bTrailing);
                if (list.add(token, lTag)) return true;
                list.clear();
                return false;
            };

            const ULONG ulLength = getLength();
            // Every occurrence, overlapping ones included, as find numbers them.
            CZYNBuffer<ULONG> positions(b);
            ULONG ulFound = 0;
            for (ULONG i = 0; ulFound < b && i + ulDelimiter <= ulLength; ++i)
                if (matchesAt(i, delimiter, ulDelimiter)) positions.elementAt(ulFound++) = i;

            if (parseMode == pmFromStart) {
                for (ULONG n = 1; n <= b + 1; ++n) {
                    const ULONG ulStart = n == 1 ? 0 : positions.getAt(n - 2) + ulDelimiter;
                    const ULONG ulEnd = n == b + 1 ? ulLength : positions.getAt(n - 1);
                    // Overlapping delimiters enclose no token: parse stops there.
                    if (ulEnd < ulStart) break;
                    if (!addToken(ulStart, ulEnd, static_cast<LONG>(n - 1))) break;
                }
            } else {
                for (ULONG n = 1; n < b; n += 2) {
                    const ULONG ulStart = positions.getAt(n - 1) + ulDelimiter;
                    const ULONG ulEnd = positions.getAt(n);
                    if (ulEnd < ulStart) break;
                    if (!addToken(ulStart, ulEnd, static_cast<LONG>((n - 1) / 2))) break;
                }
            }
            return list.getCount() > 0;
        },
        [&] { list.clear(); });
}

// --- Environment references -----------------------------------------------------

bool CZYNWCharString::expand() {
    CZYNFunctionTrace trace(OBJECT, TEXT("expand"), SOURCE, __LINE__);
    const bool bResult = zyn::guardCatchAll({SOURCE, __LINE__, zyn::LastError}, false, [&] {
        // The references are the pairs of '%' taken from the start: the first
        // with the second, the third with the fourth, and so on. Each is
        // replaced where it stands, so a value is never searched for further
        // references.
        // The result is built piece by piece in a buffer that doubles when
        // it runs out, so that the cost grows with the text, not with the
        // number of references times the text.
        const ULONG ulLength = getLength();
        CZYNWCharString result;
        ULONG ulResult = 0;  // units of result in use
        auto append = [&](const Units& piece) {
            if (piece.ulCount == 0) return;
            if (piece.ulCount > kMaxCount - 1 - ulResult)
                throw CZYNMemAllocException(TEXT("m_pBuffer"), SOURCE, __LINE__);
            const ULONG ulNeeded = ulResult + piece.ulCount + 1;
            if (ulNeeded > result.m_ulCount) {
                const ULONG ulRoom = result.m_ulCount > (kMaxCount - 1) / 2
                                         ? kMaxCount - 1
                                         : std::max(ulNeeded, 2 * result.m_ulCount);
                CZYNWCharString bigger;
                bigger.adopt(newStorage(ulRoom), ulRoom);
                if (ulResult) std::memcpy(bigger.m_pBuffer, result.m_pBuffer, ulResult * sizeof(WCHAR));
                result.takeOver(bigger);
            }
            std::memcpy(result.m_pBuffer + ulResult, piece.pText, piece.ulCount * sizeof(WCHAR));
            ulResult += piece.ulCount;
        };
        ULONG ulCopied = 0;  // the text before this index is in result
        bool bPair = false;
        bool bResolved = false;
        ULONG ulPos = 0;
        for (;;) {
            ULONG ulOpen = ulPos;
            while (ulOpen < ulLength && m_pBuffer[ulOpen] != TEXT('%')) ++ulOpen;
            ULONG ulClose = ulOpen + 1;
            while (ulClose < ulLength && m_pBuffer[ulClose] != TEXT('%')) ++ulClose;
            if (ulClose >= ulLength) break;
            bPair = true;
            ulPos = ulClose + 1;
            // "%%" names nothing: no variable has an empty name.
            if (ulClose == ulOpen + 1) continue;
            CZYNWCharString name = joined({units(ulOpen + 1, ulClose - ulOpen - 1)});
            CZYNEnvironmentVariable variable(name);
            CZYNWCharString value;
            if (!variable.getValue(value)) continue;  // left in the text
            append(units(ulCopied, ulOpen - ulCopied));
            append(value.units(0, value.getLength()));
            ulCopied = ulPos;
            bResolved = true;
        }
        // Nothing to expand is success; references that all stay are not.
        if (!bPair) return true;
        if (!bResolved) return false;
        append(units(ulCopied, ulLength - ulCopied));
        CZYNWCharString next = joined({result.units(0, ulResult)});
        takeOver(next);
        return true;
    });
    return trace.passed(bResult);
}
