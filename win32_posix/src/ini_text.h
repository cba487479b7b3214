/*
 * ini_text.h - the private-profile (INI) functions' pure logic, apart from
 * any system call: what a profile file's bytes mean and how a change turns
 * back into bytes.
 *
 *   decoding      the byte-order mark decides UTF-16LE; otherwise UTF-8, or
 *                 Windows-1252 when the bytes are not valid UTF-8
 *   parsing       lines, section headers, key=value entries, comments
 *   lookups       first matching section, first matching key, listings
 *   buffers       the copy rules of the W functions: a value cut to size-1,
 *                 a NUL-separated listing cut to size-2 with two NULs
 *   numbers       GetPrivateProfileIntW's parsing (signs, 0x/0o/0b, wrap)
 *   edits         set or delete a key, delete or replace a section, touching
 *                 only the lines concerned; every other line keeps its bytes
 */
#ifndef WIN32_POSIX_INI_TEXT_H
#define WIN32_POSIX_INI_TEXT_H

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "../include/win32_posix/text.h"

namespace w32p {
namespace ini {

// How the text after the byte-order mark (if any) is encoded.
enum class Encoding {
    Utf8,     // valid UTF-8 (the "ANSI code page" of a POSIX host)
    Cp1252,   // not valid UTF-8: one byte, one Windows-1252 character
    Utf16Le,  // after the mark FF FE
};

enum class LineKind {
    Blank,   // nothing but blanks
    Header,  // "[name]"
    Entry,   // holds '=': key=value
    Text,    // no '=': kept, listed by GetPrivateProfileSectionW, never looked up
};

struct Line {
    std::string raw;  // the bytes as stored, line end included
    wstring text;     // the decoded content, without the line end
    wstring ending;   // "\r\n", "\n", "\r", or "" for a last line without one
    LineKind kind = LineKind::Blank;
    bool comment = false;  // first non-blank character ';': hidden from listings
    wstring name;          // Header: the section; Entry: the key; Text: the text (all trimmed)
    wstring value;         // Entry: the value, trimmed, quotes kept
    bool fresh = false;    // made by an edit: encoded when the file is written
};

struct SectionSpan {
    size_t header;  // index of the "[name]" line
    size_t end;     // index of the next header, or the number of lines
};

struct Document {
    Encoding encoding = Encoding::Utf8;
    std::string bom;  // FF FE, EF BB BF (skipped when reading, kept when writing) or none
    std::vector<Line> lines;
    std::string trailer;  // an odd last byte of a UTF-16LE file, kept at the end

    // Set by indexForReading: the first section of each name (upper-cased),
    // and the headers in file order. A document without them is searched line
    // by line.
    bool indexed = false;
    std::unordered_map<wstring, SectionSpan> sectionsByName;
    std::vector<size_t> headers;
};

// --- decoding, parsing and writing back --------------------------------------

// Space, tab, vertical tab, form feed, CR, LF and Ctrl-Z (0x1A), as the
// profile functions trim names and values; no-break and other Unicode spaces
// are text.
bool isBlank(WCHAR c);
wstring_view trim(wstring_view text);
wstring_view trimLeading(wstring_view text);

// Splits the file's bytes into lines and parses each one.
Document parse(std::string_view bytes);
// Classifies one line's content (the part before a NUL, if any).
void parseLine(Line& line);
// The file's bytes: the byte-order mark, each line's stored bytes (fresh
// lines encoded now), the trailer. A Windows-1252 file whose new text cannot
// be held in Windows-1252, or would read back differently, is written whole
// in UTF-8, so no character is ever lost.
std::string serialise(const Document& doc);

// --- lookups -------------------------------------------------------------------

// Prepares a parsed document for lookups only (a document kept between
// calls): indexes its sections and drops what only writing needs (the
// stored bytes and the lines' raw text), which then no longer serialise.
void indexForReading(Document& doc);

// The first section whose name matches, blanks around `name` ignored, case
// ignored. Lines before the first header belong to no section; "[]" is the
// section "".
std::optional<SectionSpan> findSection(const Document& doc, wstring_view name);
// The first entry of the section whose key matches, as an index into lines.
std::optional<size_t> findEntry(const Document& doc, const SectionSpan& section, wstring_view key);

// The value of section/key, trimmed, quotes kept; nullopt when either is missing.
std::optional<wstring> findValue(const Document& doc, wstring_view section, wstring_view key);
// The keys of a section in file order (duplicates kept; comments and lines
// without '=' left out); nullopt when the section is missing.
std::optional<std::vector<wstring>> keyNames(const Document& doc, wstring_view section);
// The lines of a section as GetPrivateProfileSectionW lists them: "key=value"
// trimmed, quotes kept, lines without '=' as their bare text, no comments or
// blank lines; nullopt when the section is missing.
std::optional<std::vector<wstring>> sectionLines(const Document& doc, wstring_view section);
// Every section name in file order, duplicates kept; "[]" is left out (an
// empty name cannot be told apart from the end of a NUL-separated list).
std::vector<wstring> sectionNames(const Document& doc);

// --- buffers (size >= 1) ---------------------------------------------------------

// Trailing spaces removed (spaces only, not tabs), as GetPrivateProfileStringW
// treats its default.
wstring trimDefault(wstring_view defaultText);

// Copies one string: at most size-1 units and a NUL; returns the units kept.
// With `stripQuotes`, a text of two or more units that starts and ends with
// the same quote (' or ") loses both. The cut is made before the closing
// quote is dropped, so a quoted text comes out whole only when size is at
// least its length without the opening quote plus one (Wine's rule; nothing
// else is known of Windows here).
DWORD copyString(wstring_view text, bool stripQuotes, WCHAR* buffer, DWORD size);

// Copies a NUL-separated listing ended by a second NUL. It fits when size is
// at least total+2 (total = the lengths plus one NUL each) and returns total.
// Otherwise it keeps the first size-2 units, adds two NULs and returns size-2.
// An empty listing writes one NUL, and a second one when `twoNulsWhenEmpty`
// and size allows; it returns 0.
DWORD copyList(const std::vector<wstring>& items, WCHAR* buffer, DWORD size,
               bool twoNulsWhenEmpty);

// GetPrivateProfileIntW's number: leading white space, one sign, the prefix
// 0x, 0o or 0b (lower case only) or decimal digits, up to the first character
// that is not a digit of the base; wraps modulo 2^32; 0 when there are no digits.
UINT parseProfileInt(wstring_view text);

// --- edits (each returns true when the document changed) --------------------------

// Sets section/key to value. An existing entry (the first match) is rewritten
// as "key=value" with its key's spelling and line end. A new key goes after
// the section's last entry (or its header), a new section at the end of the
// file. New names and values lose their leading blanks; new lines end in CR LF.
bool setValue(Document& doc, wstring_view section, wstring_view key, wstring_view value);
// Removes the first entry of the first matching section.
bool deleteKey(Document& doc, wstring_view section, wstring_view key);
// Removes the first matching section, header included, up to the next header.
bool deleteSection(Document& doc, wstring_view section);
// Replaces the entries of the first matching section (appended when missing)
// by `lines`: each one holding '=' becomes "key=value", leading blanks of key
// and value removed; lines without '=' are dropped.
bool replaceSection(Document& doc, wstring_view section, const std::vector<wstring>& lines);

// A double-NUL-terminated list of strings ("a=1\0b=2\0\0") as its strings.
std::vector<wstring> splitList(const WCHAR* list);

}  // namespace ini
}  // namespace w32p

#endif
