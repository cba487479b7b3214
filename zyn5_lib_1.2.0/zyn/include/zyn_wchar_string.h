// zyn_wchar_string.h - CZYNWCharString: the library's text type, a
// NUL-terminated UTF-16 string held in a CZYNBuffer<WCHAR>, and the
// enumerations its operations take.
//
// A string is valid when its buffer holds storage and at least one element;
// every other state is the empty state (what a default-constructed string
// holds). Its text is the code units before the first zero element; the
// element count may exceed the length + 1 (slack), which compact trims. Code
// units are compared and searched as plain 16-bit values.
//
// Member operations never let an exception escape: they report failure
// through their result and leave it in the log. Constructors throw
// CZYNBufferInitException, and element access (inherited from the buffer)
// throws CZYNIndexOutOfBoundsException.
#ifndef ZYN_WCHAR_STRING_H
#define ZYN_WCHAR_STRING_H

#include <windows.h>

#include <initializer_list>

#include "zyn_buffer.h"
#include "zyn_dbllist.h"
#include "zyn_flags.h"

// Direction in which occurrences are counted.
enum ParseMode : LONG {
    pmFromStart = 1,  // from the start of the string, scanning forward
    pmFromEnd = 2     // from the end of the string, scanning backward
};

// Number systems of the numeric constructor.
enum NumberSystem : LONG {
    nsHex = 1,  // base 16, digits 0-9 A-F
    nsBin = 2,  // base 2
    nsOct = 4,  // base 8
    nsDec = 8   // base 10, signed
};

// Which occurrences a substring operation acts on.
enum subStringMode : LONG {
    ssmAll = 1,    // every occurrence
    ssmOccur = 2,  // only occurrence number ulOccurrance
    ssmNum = 4     // the first ulOccurrance occurrences
};

// Where trimming acts (bits of a CZYNFlags).
enum TrimWhere : LONG {
    twLeading = 1,  // the start of the string
    twTrailing = 2  // the end of the string
};

// The white-space characters trimming and parsing remove (bits of a
// CZYNFlags).
enum TrimCharacter : LONG {
    tcSpace = 0x01,           // 0x20
    tcTab = 0x02,             // 0x09
    tcFormFeed = 0x04,        // 0x0C
    tcAlert = 0x08,           // 0x07
    tcLineFeed = 0x10,        // 0x0A
    tcBackspace = 0x20,       // 0x08
    tcCarriageReturn = 0x40,  // 0x0D
    tcVerticalTab = 0x80,     // 0x0B
    tcAll = 0xFF
};

class CZYNWCharString : public CZYNBuffer<WCHAR> {
public:
    // --- Construction. Every constructor throws CZYNBufferInitException
    // when the string cannot be built.

    // The empty state.
    CZYNWCharString();
    // As operator=(const WCHAR*).
    CZYNWCharString(const WCHAR* szText);
    // A deep copy: the same element count and elements, slack included.
    CZYNWCharString(const CZYNWCharString& other);
    // Takes the other string's storage; the other string is left empty.
    CZYNWCharString(CZYNWCharString&& other) noexcept;
    // As operator=(const CZYNBuffer<WCHAR>&).
    CZYNWCharString(const CZYNBuffer<WCHAR>& buffer);
    // As operator=(WCHAR).
    CZYNWCharString(WCHAR ch);
    // The decimal text of lValue ("-12").
    explicit CZYNWCharString(LONG lValue);
    // The text of ulValue in the number system: nsHex, nsBin and nsOct give
    // upper-case digits; with usWidth not 0 exactly usWidth digits (zeros in
    // front, or only the usWidth least significant digits); with bPrefix the
    // prefix "0x", "0b" or "0o" before them. nsDec gives the decimal text of
    // ulValue taken as a signed 32-bit number and ignores usWidth and
    // bPrefix. Any other system is a bad argument.
    CZYNWCharString(ULONG ulValue, NumberSystem asNumberSystem, WORD usWidth = 0, bool bPrefix = false);

    // --- Assignment and concatenation. Each returns the string itself; a
    // failure is logged and leaves the string as the failed step left it.

    // Other in the empty state: the empty state. Otherwise a copy of all of
    // its elements, slack included. Assigning a string to itself keeps it.
    CZYNWCharString& operator=(const CZYNWCharString& other);
    // Null or "": the empty state. Otherwise exactly the text and its
    // terminator. The text may lie inside this string. A failed assignment
    // leaves the string as it was.
    CZYNWCharString& operator=(const WCHAR* szText);
    // An invalid buffer: the empty state. Otherwise all of the buffer's
    // elements with a zero appended, then compacted (for text that a system
    // call delivered without a terminator). A failed assignment leaves the
    // string as it was.
    CZYNWCharString& operator=(const CZYNBuffer<WCHAR>& buffer);
    // A one-character string; a zero character gives the empty state.
    CZYNWCharString& operator=(WCHAR ch);
    // Other's text of length 0: no change. Otherwise other's whole buffer
    // (text, terminator and slack) replaces this string's terminator and
    // slack. Appending a string to itself doubles its text.
    CZYNWCharString& operator+=(const CZYNWCharString& other);
    // A new string: a copy of this one with other appended.
    CZYNWCharString operator+(const CZYNWCharString& other) const;
    // Trims the buffer to length + 1. The empty state: false. Length 0:
    // releases the buffer (the empty state).
    bool compact();

    // --- Inspection.

    // Number of code units before the first zero element (never counting
    // past the buffer); 0 for the empty state.
    ULONG getLength() const;
    // The text, for calls that take a NUL-terminated string; "" for the
    // empty state. (A caller that overwrote the terminator through
    // elementAt gets it back from compact.)
    const WCHAR* getText() const;

    // --- Comparison, code unit by code unit. Two strings in the empty state
    // are equal; a valid string never equals one in the empty state. The
    // ordering operators order only strings of equal length: <= and >= are
    // false for strings of different lengths (or when either is in the empty
    // state), and < and > are their negations.

    bool operator==(const CZYNWCharString& other) const;
    bool operator!=(const CZYNWCharString& other) const;
    bool operator<=(const CZYNWCharString& other) const;
    bool operator>=(const CZYNWCharString& other) const;
    bool operator<(const CZYNWCharString& other) const;
    bool operator>(const CZYNWCharString& other) const;

    // --- Search. Positions are 0-based code units; occurrences 1-based and
    // overlapping ('aa' occurs at 0, 1 and 2 in 'aaaa').

    // True, with the index of the ulOccurrance-th occurrence counted in the
    // parseMode direction in *pulPos (when pulPos is not null); false when
    // there is none, and then *pulPos is untouched. ulOccurrance 0 or above
    // this string's length is a bad argument (logged, false). A valid
    // subString of length 0 matches at every index from the start and never
    // from the end.
    bool find(const CZYNWCharString& subString, ULONG ulOccurrance, ParseMode parseMode,
              ULONG* pulPos) const;
    // Number of occurrences, at most this string's length.
    ULONG getOccurrenceCount(const CZYNWCharString& subString) const;
    // subString occurs somewhere.
    bool contains(const CZYNWCharString& subString) const;
    // The first occurrence is at index 0 (traced).
    bool beginsWith(const CZYNWCharString& subString) const;
    // The last occurrence ends at the end of this string (traced).
    bool endsWith(const CZYNWCharString& subString) const;
    // Reverses the code units in place. The empty state: false.
    bool reverse();

    // --- Editing, substrings and parsing. Positions are 0-based code units,
    // occurrences 1-based and counted in the ParseMode direction. A bad
    // argument is logged and the operation returns false with the string
    // (and any out string) unchanged.

    // A copy without the last n code units; n at or past the length gives
    // the empty state (n 0 gives a plain copy, also of the empty state).
    CZYNWCharString getWithoutLast(ULONG n) const;
    // The text from index n on; the same rules at the other end.
    CZYNWCharString getWithoutFirst(ULONG n) const;
    // This string becomes getWithoutLast(n) / getWithoutFirst(n).
    CZYNWCharString& removeLast(ULONG n);
    CZYNWCharString& removeFirst(ULONG n);
    // ulStartPos < ulEndPos: deletes everything strictly between the two
    // positions (and the characters at them with bDropStart / bDropEnd).
    // ulEndPos < ulStartPos: keeps only indices ulEndPos..ulStartPos (without
    // the character at ulStartPos with bDropStart, at ulEndPos with
    // bDropEnd). Both positions must lie inside the text and differ.
    bool cutRange(ULONG ulStartPos, ULONG ulEndPos, bool bDropStart, bool bDropEnd);
    // out = the text from ulStartPos to ulEndPos, each end included when its
    // flag says so; ulEndPos must not be below ulStartPos, and both must lie
    // within the text. Equal positions: the one character when either flag
    // is set, else the empty state; a position outside the text writes the
    // buffer's element-check record.
    bool extractRange(CZYNWCharString& out, ULONG ulStartPos, ULONG ulEndPos, bool bIncludeStart,
                      bool bIncludeEnd) const;
    // out = the text between the ulStartOccurrance-th startDelimiter counted
    // from the start and the ulEndOccurrance-th endDelimiter counted from the
    // end, with either delimiter included when its flag says so. False when
    // either is missing or the end delimiter does not follow the start one.
    // A startDelimiter of length 0 stands at every index from the start; an
    // endDelimiter of length 0 is never found.
    bool extractBetween(CZYNWCharString& out, const CZYNWCharString& startDelimiter,
                        ULONG ulStartOccurrance, const CZYNWCharString& endDelimiter,
                        ULONG ulEndOccurrance, bool bIncludeStart, bool bIncludeEnd) const;
    // Removes every occurrence (ssmAll), occurrence ulOccurrance (ssmOccur)
    // or the first ulOccurrance occurrences (ssmNum) of subString. False when
    // it does not occur. A subString of length 0 occurs at every index and
    // removing it leaves the text as it is.
    bool remove(const CZYNWCharString& subString, ULONG ulOccurrance, subStringMode subStringMode);
    // Inserts string before index ulPos (ulPos = length appends). At 0 this
    // string's whole buffer, slack included, follows string's text; at the
    // end string's whole buffer follows this text; inside, the result is
    // exactly sized. A string of length 0 inserted into the empty state gives
    // a text of length 0.
    bool insert(const CZYNWCharString& string, ULONG ulPos);
    // Replaces occurrences of oldString, chosen as remove chooses them, by
    // newString (an empty-state newString deletes them; one of length 0 leaves
    // a text of length 0 where everything is replaced). Replacements are never
    // searched again. False when oldString does not occur. An oldString of
    // length 0 stands at every index: replacing one occurrence inserts
    // newString there; more than one is refused as a bad argument.
    bool replace(const CZYNWCharString& oldString, const CZYNWCharString& newString,
                 ULONG ulOccurrance, subStringMode subStringMode);
    // Overwrites with zeros the trailing run (twTrailing) and removes the
    // leading run (twLeading) of chExtra and the characters charFlags
    // selects. The buffer keeps its size when only trailing units go.
    bool trimCharacters(WCHAR chExtra, CZYNFlags whereFlags, CZYNFlags charFlags);
    // Removes the characters charFlags selects: twLeading the leading run,
    // twTrailing the trailing run, both bits also every one inside. A text
    // made only of such characters becomes the empty state. No where-flags or
    // no characters: nothing changes. When nothing is removed the string keeps
    // its buffer, slack included; otherwise the result is exactly sized.
    bool trim(CZYNFlags whereFlags, CZYNFlags charFlags);
    // *pulPos = the first (pmFromStart) or last (pmFromEnd) index whose code
    // unit charFlags does not select. False when there is none.
    bool findNotInSet(CZYNFlags charFlags, ParseMode parseMode, ULONG* pulPos) const;
    // *pulOccurrance = the number, counted from the other end, of the
    // ulOccurrance-th occurrence of subString counted in parseMode.
    bool convertOccurrence(const CZYNWCharString& subString, ULONG ulOccurrance, ParseMode parseMode,
                           ULONG* pulOccurrance) const;
    // pmFromStart: drops the text before the ulOccurrance-th subString (and
    // the delimiter itself with bExclude). pmFromEnd: drops the text after
    // the ulOccurrance-th subString counted from the end (and the delimiter
    // with bExclude). A subString of length 0 stands at every index from the
    // start, and never from the end.
    bool cutAtDelimiter(const CZYNWCharString& subString, ULONG ulOccurrance, ParseMode parseMode,
                        bool bExclude);
    // pmFromStart: out = the text before the ulOccurrance-th subString.
    // pmFromEnd: out = the text after the ulOccurrance-th subString counted
    // from the end. The delimiter is part of out with bIncludeDelimiter.
    bool extractBeyond(CZYNWCharString& out, const CZYNWCharString& subString, ULONG ulOccurrance,
                       ParseMode parseMode, bool bIncludeDelimiter) const;
    // out = token number ulOccurrance, trimmed with trim(whereFlags,
    // charFlags). pmFromStart: the tokens the delimiters separate (b
    // delimiters make b + 1 tokens; none makes the whole text token 1).
    // pmFromEnd: the text between delimiter ulOccurrance and the next one.
    // An empty token (two adjacent delimiters) succeeds as the empty state. A
    // delimiter of length 0 is refused with a bad-argument record, except in
    // a text of length 0, which is its own one token.
    bool parse(CZYNWCharString& out, const CZYNWCharString& delimiter, ULONG ulOccurrance,
               ParseMode parseMode, CZYNFlags whereFlags, CZYNFlags charFlags) const;
    // Every token parse gives, in order, with its 0-based index as tag;
    // pmFromEnd takes the text inside each pair of delimiters. True when the
    // list is not empty. The list is cleared first (left alone when this
    // string or the delimiter is in the empty state) and left empty when it
    // cannot be filled. A delimiter of length 0 is refused as parse refuses
    // it.
    bool parseToList(CZYNDblList<CZYNObjNode<CZYNWCharString>>& list, const CZYNWCharString& delimiter,
                     ParseMode parseMode, CZYNFlags whereFlags, CZYNFlags charFlags) const;
    // Replaces every %NAME% whose environment variable has a value by that
    // value, where it stands (traced). The '%' are paired from the start;
    // values are not searched for further references. True when the text
    // has no pair of '%' or a reference was replaced; false, with the text
    // unchanged, when no reference resolved.
    bool expand();

    // --- Number and character-code conversions. Base markers: binary 'b'
    // and octal 'o' as a prefix at index 1 ("0b101") or as the last
    // character ("101b"); hexadecimal "0x" as a prefix or 'h' as the last
    // character. Marker letters match in either case.

    // 'A' to 'Z' become 'a' to 'z'; nothing else changes. The empty state:
    // false.
    bool toLower();
    // Digits, with a '-' at index 0 when bAllowSign and one '.' neither
    // first nor last when bAllowPoint; at least one digit. The empty state:
    // false.
    bool isNumeric(bool bAllowSign, bool bAllowPoint) const;
    // Every code unit is a digit of the system: true for a text of length 0,
    // false for the empty state.
    bool isBinaryDigits() const;
    bool isOctalDigits() const;
    bool isHexDigits() const;
    // Digits of the system with exactly one marker of it, in an accepted
    // place. A text without a marker is not such a number.
    bool isBinaryNumber() const;
    bool isOctalNumber() const;
    bool isHexNumber() const;
    // Removes the marker of the first system (binary, octal, hexadecimal)
    // whose is...Number test accepts the text; false when none does. In a
    // text of two code units the marker is taken as the suffix ("1b" leaves
    // "1").
    bool stripNumberMarker();
    // *plValue = the text, trimmed of white space, read as a number of the
    // system: nsHex, nsBin and nsOct with or without that system's own marker
    // (at most 8, 32 and 12 digits, taken modulo 2^32; more is a logged bad
    // argument), nsDec as a signed 32-bit decimal (a value outside that range
    // is a logged bad argument). False, with *plValue unchanged, for any text
    // that is not such a number, a blank one included.
    bool toNumber(LONG* plValue, NumberSystem numberSystem) const;
    // The byte image of the whole buffer (terminator and slack included,
    // each code unit low byte first) as two upper-case hexadecimal digits per
    // byte, separated by single spaces: 'AB' in three elements gives
    // "41 00 42 00 00 00". The empty state gives the empty state (traced).
    CZYNWCharString getAsciiCodeString() const;
    // The bytes written in the text as pairs of hexadecimal digits, each
    // pair followed by one separator of any kind (the last needs none); the
    // inverse of getAsciiCodeString. Reading stops, keeping the bytes before
    // it, at a pair that is not a number (a bad-argument record says where)
    // or at a single code unit left over at the end (the range check's
    // record) (traced).
    CZYNBuffer<BYTE> getBufferFromAsciiCodeString() const;

private:
    // The assignments, saying whether they succeeded.
    bool assignString(const CZYNWCharString& other);
    bool assignText(const WCHAR* szText);
    bool assignBuffer(const CZYNBuffer<WCHAR>& buffer);
    bool assignChar(WCHAR ch);
    // The numeric constructors' formatters.
    bool formatNumber(ULONG ulValue, NumberSystem asNumberSystem, WORD usWidth, bool bPrefix);
    bool formatDecimal(LONG lValue);
    // head + tail, throwing the library's exceptions when memory runs out: a
    // copy of head (slack included), then, unless tail's text is empty,
    // tail's whole buffer (terminator and slack) in place of head's
    // terminator and slack.
    static CZYNWCharString concatenated(const CZYNWCharString& head, const CZYNWCharString& tail);
    // Whether subString's subLength units equal this string's at ulIndex.
    bool matchesAt(ULONG ulIndex, const CZYNWCharString& subString, ULONG ulSubLength) const;

    // --- Editing helpers. They throw the library's exceptions when memory
    // runs out, for the guarded operations above to handle; this string is
    // changed only by takeOver, so a failed edit leaves it as it was.

    // A run of code units: ulCount units from pText.
    struct Units {
        const WCHAR* pText;
        ULONG ulCount;
    };
    // ulCount units of this string's text from index ulStart (both within
    // the text).
    Units units(ULONG ulStart, ULONG ulCount) const;
    // A new string holding the pieces one after the other, exactly sized;
    // the empty state when they hold nothing.
    static CZYNWCharString joined(std::initializer_list<Units> pieces);
    // getWithoutLast / getWithoutFirst that throw on failure.
    CZYNWCharString withoutLast(ULONG n) const;
    CZYNWCharString withoutFirst(ULONG n) const;
    // This string takes other's storage; other is left in the empty state.
    void takeOver(CZYNWCharString& other) noexcept;
    // The characters a CZYNFlags selects from the white-space table.
    class CharacterSet;
    // trim with the selection already worked out.
    void trimWith(const CharacterSet& set, bool bLeading, bool bTrailing);
};

#endif
