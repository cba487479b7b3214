/*
 * ini_text.cpp - the private-profile functions' pure logic: decoding and
 * parsing a profile file, lookups and listings, the buffer copy rules,
 * GetPrivateProfileIntW's numbers, and edits that rewrite only the lines
 * concerned.
 *
 *   decoding and parsing     parse, parseLine, serialise
 *   lookups                  findSection, findEntry, findValue, keyNames,
 *                            sectionLines, sectionNames
 *   buffers                  trimDefault, copyString, copyList
 *   numbers                  parseProfileInt
 *   edits                    setValue, deleteKey, deleteSection, replaceSection
 */
#include "ini_text.h"

#include <algorithm>
#include <array>

namespace w32p {
namespace ini {

namespace {

const WCHAR kCrLf[] = u"\r\n";

// Windows-1252 back from UTF-16: the byte for each character that has one.
std::optional<char> cp1252Byte(WCHAR c) {
    static const std::array<WCHAR, 256> table = [] {
        std::array<WCHAR, 256> t{};
        for (int b = 0; b < 256; ++b) t[b] = fromCp1252(std::string(1, static_cast<char>(b)))[0];
        return t;
    }();
    if (c < 0x80) return static_cast<char>(c);
    for (int b = 0x80; b < 256; ++b)
        if (table[b] == c) return static_cast<char>(b);
    return std::nullopt;
}

// The text in the document's encoding; nullopt when Windows-1252 cannot hold it.
std::optional<std::string> encodeText(Encoding encoding, wstring_view text) {
    std::string out;
    switch (encoding) {
    case Encoding::Utf8:
        return toUtf8(text);
    case Encoding::Utf16Le:
        out.reserve(text.size() * 2);
        for (WCHAR c : text) {
            out.push_back(static_cast<char>(c & 0xFF));
            out.push_back(static_cast<char>(c >> 8));
        }
        return out;
    case Encoding::Cp1252:
        out.reserve(text.size());
        for (WCHAR c : text) {
            std::optional<char> b = cp1252Byte(c);
            if (!b) return std::nullopt;
            out.push_back(*b);
        }
        return out;
    }
    return out;
}

bool allAscii(std::string_view bytes) {
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Splits text into (content, line end) pairs: CR LF, LF and CR each end a
// line; a last line without an end is kept.
template <typename Text, typename Unit>
void splitLines(const Text& text, std::vector<std::pair<size_t, size_t>>& contents,
                std::vector<size_t>& endingLengths) {
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = pos;
        while (end < text.size() && text[end] != Unit('\r') && text[end] != Unit('\n')) ++end;
        size_t endingLength = 0;
        if (end < text.size()) {
            endingLength = 1;
            if (text[end] == Unit('\r') && end + 1 < text.size() && text[end + 1] == Unit('\n'))
                endingLength = 2;
        }
        contents.emplace_back(pos, end - pos);
        endingLengths.push_back(endingLength);
        pos = end + endingLength;
    }
}

Line makeLine(wstring text) {
    Line line;
    line.text = std::move(text);
    line.ending = kCrLf;
    line.fresh = true;
    parseLine(line);
    return line;
}

// Gives a line that ends the file without a line end a CR LF, so that a line
// can follow it.
void ensureEnding(const Document& doc, Line& line) {
    if (!line.ending.empty()) return;
    line.ending = kCrLf;
    if (!line.fresh) line.raw += *encodeText(doc.encoding, kCrLf);
}

// Where a section's entries end: after its last entry or line of text (not a
// comment), else right after its header. Blank lines and comments after that
// point lead into the next section and stay where they are.
size_t bodyEnd(const Document& doc, const SectionSpan& section) {
    size_t last = section.header + 1;
    for (size_t i = section.header + 1; i < section.end; ++i) {
        const Line& line = doc.lines[i];
        if ((line.kind == LineKind::Entry || line.kind == LineKind::Text) && !line.comment)
            last = i + 1;
    }
    return last;
}

wstring entryText(wstring_view key, wstring_view value) {
    wstring text(key);
    text.push_back(u'=');
    text.append(value);
    return text;
}

}  // namespace

// --- decoding, parsing and writing back --------------------------------------

bool isBlank(WCHAR c) {
    return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f' || c == 0x1A || c == u'\r' ||
           c == u'\n';
}

wstring_view trim(wstring_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

wstring_view trimLeading(wstring_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    return text;
}

void parseLine(Line& line) {
    line.kind = LineKind::Blank;
    line.comment = false;
    line.name.clear();
    line.value.clear();

    wstring_view content(line.text);
    size_t nul = content.find(u'\0');
    if (nul != wstring_view::npos) content = content.substr(0, nul);  // a NUL ends the line's text
    wstring_view s = trim(content);
    if (s.empty()) return;

    if (s[0] == u'[') {
        size_t close = s.rfind(u']');  // the name runs to the last ']'
        if (close != wstring_view::npos) {
            line.kind = LineKind::Header;
            line.name = wstring(trim(s.substr(1, close - 1)));
            return;
        }
        // No closing bracket: an ordinary line of the current section.
    }
    line.comment = s[0] == u';';
    size_t eq = s.find(u'=');  // the value is everything after the first '='
    if (eq == wstring_view::npos) {
        line.kind = LineKind::Text;
        line.name = wstring(s);
    } else {
        line.kind = LineKind::Entry;
        line.name = wstring(trim(s.substr(0, eq)));
        line.value = wstring(trim(s.substr(eq + 1)));
    }
}

Document parse(std::string_view bytes) {
    Document doc;
    std::vector<std::pair<size_t, size_t>> contents;
    std::vector<size_t> endingLengths;

    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        doc.encoding = Encoding::Utf16Le;
        doc.bom = std::string(bytes.substr(0, 2));
        std::string_view body = bytes.substr(2);
        wstring units;
        units.reserve(body.size() / 2);
        for (size_t i = 0; i + 1 < body.size(); i += 2)
            units.push_back(static_cast<WCHAR>(static_cast<unsigned char>(body[i]) |
                                               (static_cast<unsigned char>(body[i + 1]) << 8)));
        if (body.size() % 2) doc.trailer = std::string(body.substr(body.size() - 1));
        splitLines<wstring, WCHAR>(units, contents, endingLengths);
        doc.lines.reserve(contents.size());
        for (size_t i = 0; i < contents.size(); ++i) {
            Line line;
            line.text = units.substr(contents[i].first, contents[i].second);
            line.ending = units.substr(contents[i].first + contents[i].second, endingLengths[i]);
            line.raw = std::string(body.substr(contents[i].first * 2,
                                               (contents[i].second + endingLengths[i]) * 2));
            parseLine(line);
            doc.lines.push_back(std::move(line));
        }
        return doc;
    }

    std::string_view body = bytes;
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        doc.bom = std::string(bytes.substr(0, 3));
        body = bytes.substr(3);
    }
    doc.encoding = isValidUtf8(body) ? Encoding::Utf8 : Encoding::Cp1252;
    splitLines<std::string_view, char>(body, contents, endingLengths);
    doc.lines.reserve(contents.size());
    for (size_t i = 0; i < contents.size(); ++i) {
        Line line;
        std::string_view content = body.substr(contents[i].first, contents[i].second);
        line.text = doc.encoding == Encoding::Utf8 ? fromUtf8(content) : fromCp1252(content);
        line.ending = fromCp1252(body.substr(contents[i].first + contents[i].second, endingLengths[i]));
        line.raw = std::string(body.substr(contents[i].first, contents[i].second + endingLengths[i]));
        parseLine(line);
        doc.lines.push_back(std::move(line));
    }
    return doc;
}

std::string serialise(const Document& doc) {
    std::string out = doc.bom;
    bool whole = true;  // every fresh line could be encoded
    for (const Line& line : doc.lines) {
        if (!line.fresh) {
            out += line.raw;
            continue;
        }
        std::optional<std::string> bytes = encodeText(doc.encoding, line.text + line.ending);
        if (!bytes) {
            whole = false;
            break;
        }
        out += *bytes;
    }
    out += doc.trailer;
    if (doc.encoding != Encoding::Cp1252) return out;

    // A Windows-1252 file stays so while it can hold the new text and would
    // still be read as Windows-1252 (not valid UTF-8, or plain ASCII, which
    // reads the same either way). Otherwise the whole file becomes UTF-8: the
    // bytes change, the text does not.
    std::string_view body = std::string_view(out).substr(doc.bom.size());
    if (whole && (!isValidUtf8(body) || allAscii(body))) return out;
    out = doc.bom;
    for (const Line& line : doc.lines) out += toUtf8(line.text + line.ending);
    return out;
}

// --- lookups -------------------------------------------------------------------

namespace {
wstring upcased(wstring_view name) {
    wstring key(name);
    for (WCHAR& c : key) c = upcase(c);
    return key;
}
}  // namespace

void indexForReading(Document& doc) {
    doc.sectionsByName.clear();
    doc.headers.clear();
    size_t open = doc.lines.size();  // the section being read, if any
    for (size_t i = 0; i <= doc.lines.size(); ++i) {
        if (i < doc.lines.size() && doc.lines[i].kind != LineKind::Header) continue;
        if (open < doc.lines.size())
            doc.sectionsByName.emplace(upcased(doc.lines[open].name), SectionSpan{open, i});
        if (i < doc.lines.size()) doc.headers.push_back(i);
        open = i;
    }
    for (Line& line : doc.lines) {
        wstring().swap(line.text);
        wstring().swap(line.ending);
        std::string().swap(line.raw);
    }
    std::string().swap(doc.bom);
    std::string().swap(doc.trailer);
    doc.indexed = true;
}

std::optional<SectionSpan> findSection(const Document& doc, wstring_view name) {
    wstring_view wanted = trim(name);
    if (doc.indexed) {
        auto found = doc.sectionsByName.find(upcased(wanted));
        if (found == doc.sectionsByName.end()) return std::nullopt;
        return found->second;
    }
    for (size_t i = 0; i < doc.lines.size(); ++i) {
        const Line& line = doc.lines[i];
        if (line.kind != LineKind::Header || !equalsNoCase(line.name, wanted)) continue;
        size_t end = i + 1;
        while (end < doc.lines.size() && doc.lines[end].kind != LineKind::Header) ++end;
        return SectionSpan{i, end};
    }
    return std::nullopt;
}

std::optional<size_t> findEntry(const Document& doc, const SectionSpan& section, wstring_view key) {
    wstring_view wanted = trim(key);
    for (size_t i = section.header + 1; i < section.end; ++i) {
        const Line& line = doc.lines[i];
        if (line.kind == LineKind::Entry && equalsNoCase(line.name, wanted)) return i;
    }
    return std::nullopt;
}

std::optional<wstring> findValue(const Document& doc, wstring_view section, wstring_view key) {
    std::optional<SectionSpan> span = findSection(doc, section);
    if (!span) return std::nullopt;
    std::optional<size_t> entry = findEntry(doc, *span, key);
    if (!entry) return std::nullopt;
    return doc.lines[*entry].value;
}

std::optional<std::vector<wstring>> keyNames(const Document& doc, wstring_view section) {
    std::optional<SectionSpan> span = findSection(doc, section);
    if (!span) return std::nullopt;
    std::vector<wstring> names;
    for (size_t i = span->header + 1; i < span->end; ++i) {
        const Line& line = doc.lines[i];
        if (line.kind == LineKind::Entry && !line.comment) names.push_back(line.name);
    }
    return names;
}

std::optional<std::vector<wstring>> sectionLines(const Document& doc, wstring_view section) {
    std::optional<SectionSpan> span = findSection(doc, section);
    if (!span) return std::nullopt;
    std::vector<wstring> lines;
    for (size_t i = span->header + 1; i < span->end; ++i) {
        const Line& line = doc.lines[i];
        if (line.comment) continue;
        if (line.kind == LineKind::Entry) lines.push_back(entryText(line.name, line.value));
        if (line.kind == LineKind::Text) lines.push_back(line.name);
    }
    return lines;
}

std::vector<wstring> sectionNames(const Document& doc) {
    std::vector<wstring> names;
    auto add = [&](const Line& line) {
        if (line.kind == LineKind::Header && !line.name.empty()) names.push_back(line.name);
    };
    if (doc.indexed) {
        for (size_t header : doc.headers) add(doc.lines[header]);
    } else {
        for (const Line& line : doc.lines) add(line);
    }
    return names;
}

// --- buffers -------------------------------------------------------------------------

wstring trimDefault(wstring_view defaultText) {
    while (!defaultText.empty() && defaultText.back() == u' ') defaultText.remove_suffix(1);
    return wstring(defaultText);
}

DWORD copyString(wstring_view text, bool stripQuotes, WCHAR* buffer, DWORD size) {
    bool quoted = false;
    if (stripQuotes && text.size() >= 2 && (text[0] == u'"' || text[0] == u'\'') &&
        text.back() == text[0]) {
        quoted = true;
        text.remove_prefix(1);  // the closing quote goes after the cut
    }
    size_t kept = std::min<size_t>(text.size(), size - 1);
    std::copy(text.begin(), text.begin() + kept, buffer);
    buffer[kept] = 0;
    if (quoted && size >= text.size() && kept > 0) buffer[--kept] = 0;
    return static_cast<DWORD>(kept);
}

DWORD copyList(const std::vector<wstring>& items, WCHAR* buffer, DWORD size,
               bool twoNulsWhenEmpty) {
    if (items.empty()) {
        buffer[0] = 0;
        if (twoNulsWhenEmpty && size >= 2) buffer[1] = 0;
        return 0;
    }
    size_t total = 0;
    for (const wstring& item : items) total += item.size() + 1;
    bool fits = size >= total + 2;
    // Units written before the closing NUL(s): all of them, or the first size-2.
    size_t room = fits ? total : (size >= 2 ? size - 2 : 0);
    size_t pos = 0;
    for (const wstring& item : items) {
        if (pos >= room) break;
        size_t n = std::min(item.size(), room - pos);
        std::copy(item.begin(), item.begin() + n, buffer + pos);
        pos += n;
        if (pos < room) buffer[pos++] = 0;
    }
    buffer[room] = 0;
    if (!fits && room + 1 < size) buffer[room + 1] = 0;  // a cut listing ends in two NULs
    return static_cast<DWORD>(room);
}

// --- numbers -----------------------------------------------------------------------

UINT parseProfileInt(wstring_view text) {
    size_t i = 0;
    while (i < text.size() && text[i] <= u' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    UINT base = 10;
    if (i + 1 < text.size() && text[i] == u'0') {
        WCHAR prefix = text[i + 1];
        base = prefix == u'x' ? 16 : prefix == u'o' ? 8 : prefix == u'b' ? 2 : 10;
        if (base != 10) i += 2;
    }
    UINT value = 0;
    for (; i < text.size(); ++i) {
        WCHAR c = text[i];
        UINT digit;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (c >= u'a' && c <= u'z')
            digit = c - u'a' + 10;
        else if (c >= u'A' && c <= u'Z')
            digit = c - u'A' + 10;
        else
            break;
        if (digit >= base) break;
        value = value * base + digit;  // wraps modulo 2^32, as Windows does
    }
    return negative ? 0u - value : value;
}

// --- edits ---------------------------------------------------------------------------

// A new section goes at the end of the file, its name without leading blanks.
static void appendSectionHeader(Document& doc, wstring_view section) {
    if (!doc.lines.empty()) ensureEnding(doc, doc.lines.back());
    wstring header = u"[";
    header.append(trimLeading(section));
    header.push_back(u']');
    doc.lines.push_back(makeLine(header));
}

bool setValue(Document& doc, wstring_view section, wstring_view key, wstring_view value) {
    wstring_view newValue = trimLeading(value);
    std::optional<SectionSpan> span = findSection(doc, section);
    if (!span) {
        appendSectionHeader(doc, section);
        doc.lines.push_back(makeLine(entryText(trimLeading(key), newValue)));
        return true;
    }
    if (std::optional<size_t> entry = findEntry(doc, *span, key)) {
        Line& line = doc.lines[*entry];
        if (line.value == newValue) return false;
        // Rewritten in its place: the key keeps its spelling, the line its end.
        line.text = entryText(line.name, newValue);
        line.fresh = true;
        parseLine(line);
        return true;
    }
    size_t at = bodyEnd(doc, *span);
    ensureEnding(doc, doc.lines[at - 1]);
    doc.lines.insert(doc.lines.begin() + static_cast<std::ptrdiff_t>(at),
                     makeLine(entryText(trimLeading(key), newValue)));
    return true;
}

bool deleteKey(Document& doc, wstring_view section, wstring_view key) {
    std::optional<SectionSpan> span = findSection(doc, section);
    if (!span) return false;
    std::optional<size_t> entry = findEntry(doc, *span, key);
    if (!entry) return false;
    doc.lines.erase(doc.lines.begin() + static_cast<std::ptrdiff_t>(*entry));
    return true;
}

bool deleteSection(Document& doc, wstring_view section) {
    std::optional<SectionSpan> span = findSection(doc, section);
    if (!span) return false;
    doc.lines.erase(doc.lines.begin() + static_cast<std::ptrdiff_t>(span->header),
                    doc.lines.begin() + static_cast<std::ptrdiff_t>(span->end));
    return true;
}

bool replaceSection(Document& doc, wstring_view section, const std::vector<wstring>& lines) {
    std::vector<Line> fresh;
    for (const wstring& text : lines) {
        size_t eq = text.find(u'=');
        if (eq == wstring::npos) continue;
        wstring_view all(text);
        fresh.push_back(makeLine(entryText(trimLeading(all.substr(0, eq)),
                                           trimLeading(all.substr(eq + 1)))));
    }

    std::optional<SectionSpan> span = findSection(doc, section);
    if (!span) {
        appendSectionHeader(doc, section);
        for (Line& line : fresh) doc.lines.push_back(std::move(line));
        return true;
    }

    size_t first = span->header + 1;
    size_t last = bodyEnd(doc, *span);
    bool same = last - first == fresh.size();
    for (size_t i = 0; same && i < fresh.size(); ++i)
        same = doc.lines[first + i].text == fresh[i].text;
    if (same) return false;

    if (!fresh.empty()) ensureEnding(doc, doc.lines[span->header]);
    doc.lines.erase(doc.lines.begin() + static_cast<std::ptrdiff_t>(first),
                    doc.lines.begin() + static_cast<std::ptrdiff_t>(last));
    doc.lines.insert(doc.lines.begin() + static_cast<std::ptrdiff_t>(first),
                     std::make_move_iterator(fresh.begin()), std::make_move_iterator(fresh.end()));
    return true;
}

std::vector<wstring> splitList(const WCHAR* list) {
    std::vector<wstring> items;
    if (!list) return items;
    while (*list) {
        size_t n = std::char_traits<WCHAR>::length(list);
        items.emplace_back(list, n);
        list += n + 1;
    }
    return items;
}

}  // namespace ini
}  // namespace w32p
