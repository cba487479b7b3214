/*
 * reg_file.cpp - the regedit text format, read and written without touching
 * the file system.
 *
 *   roots       the five root names and their short forms
 *   decoding    UTF-16LE with its mark, UTF-8 with or without one
 *   read        header, comments, [key] and [-key] sections, "name"=value lines,
 *               hex data continued over several lines
 *   write       what regedit exports: sections with values, long hex data
 *               wrapped at about 80 columns
 */
#include "reg_file.h"

namespace w32p {
namespace regfile {

namespace {

const char16_t kHeader[] = u"Windows Registry Editor Version 5.00";

struct RootNames {
    Root root;
    const char16_t* full;
    const char16_t* shortName;
};

const RootNames kRoots[kRootCount] = {
    {Root::ClassesRoot, u"HKEY_CLASSES_ROOT", u"HKCR"},
    {Root::CurrentUser, u"HKEY_CURRENT_USER", u"HKCU"},
    {Root::LocalMachine, u"HKEY_LOCAL_MACHINE", u"HKLM"},
    {Root::Users, u"HKEY_USERS", u"HKU"},
    {Root::CurrentConfig, u"HKEY_CURRENT_CONFIG", u"HKCC"},
};

bool isBlank(WCHAR c) { return c == u' ' || c == u'\t'; }

wstring_view trimRight(wstring_view s) {
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

size_t skipBlanks(wstring_view s, size_t pos) {
    while (pos < s.size() && isBlank(s[pos])) ++pos;
    return pos;
}

bool startsWithNoCase(wstring_view s, size_t pos, wstring_view prefix) {
    return s.size() - pos >= prefix.size() && equalsNoCase(s.substr(pos, prefix.size()), prefix);
}

// A piece of the file quoted in a message, kept short.
std::string quote(wstring_view s) {
    const size_t kMax = 40;
    std::string text = toUtf8(s.substr(0, kMax));
    if (s.size() > kMax) text += "...";
    return "\"" + text + "\"";
}

// The file's text: UTF-16LE after its mark, otherwise UTF-8 (an invalid byte
// sequence is read as Windows-1252, as the stand-in reads every text file).
bool decode(std::string_view bytes, wstring& text, std::string& error) {
    auto byteAt = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() >= 2 && byteAt(0) == 0xFF && byteAt(1) == 0xFE) {
        if (bytes.size() % 2 != 0) {
            error = "the file is UTF-16 but has an odd number of bytes";
            return false;
        }
        text.clear();
        text.reserve(bytes.size() / 2);
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            text.push_back(static_cast<WCHAR>(byteAt(i) | (byteAt(i + 1) << 8)));
        return true;
    }
    if (bytes.size() >= 2 && byteAt(0) == 0xFE && byteAt(1) == 0xFF) {
        error = "UTF-16 big-endian files are not supported; save the file as UTF-16LE or UTF-8";
        return false;
    }
    if (bytes.size() >= 3 && byteAt(0) == 0xEF && byteAt(1) == 0xBB && byteAt(2) == 0xBF)
        bytes.remove_prefix(3);
    text = fromUtf8(bytes);
    return true;
}

std::vector<wstring_view> splitLines(wstring_view text) {
    std::vector<wstring_view> lines;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find(u'\n', pos);
        if (end == wstring_view::npos) end = text.size();
        wstring_view line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
        lines.push_back(line);
        pos = end + 1;
    }
    // A final line break does not start another line.
    if (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
}

class Reader {
public:
    explicit Reader(const std::vector<wstring_view>& lines) : m_lines(lines) {}

    ReadResult run() {
        ReadResult result;
        if (m_lines.empty() || trimRight(m_lines[0]) != kHeader) {
            bool regedit4 = !m_lines.empty() && trimRight(m_lines[0]) == u"REGEDIT4";
            m_line = 0;
            return fail(regedit4 ? "REGEDIT4 files are not supported: expected the header line "
                                   "\"Windows Registry Editor Version 5.00\""
                                 : "expected the header line \"Windows Registry Editor "
                                   "Version 5.00\"");
        }
        for (m_line = 1; m_line < m_lines.size(); ++m_line) {
            wstring_view text = trimRight(m_lines[m_line]);
            size_t pos = skipBlanks(text, 0);
            if (pos == text.size() || text[pos] == u';') continue;
            bool ok;
            if (text[pos] == u'[')
                ok = section(text.substr(pos));
            else if (text[pos] == u'"' || text[pos] == u'@')
                ok = valueLine(text, pos);
            else
                ok = error("expected \"name\"=value, @=value or [key]");
            if (!ok) return fail(m_error);
        }
        result.ok = true;
        result.edits = std::move(m_edits);
        return result;
    }

private:
    ReadResult fail(const std::string& message) {
        ReadResult result;
        result.line = m_line + 1;
        result.error = message;
        return result;
    }

    bool error(const std::string& message) {
        m_error = message;
        return false;
    }

    // "[HKEY_...\a\b]" or "[-HKEY_...\a\b]".
    bool section(wstring_view text) {
        size_t close = text.rfind(u']');
        if (close == wstring_view::npos) return error("unterminated key name: missing \"]\"");
        wstring_view path = text.substr(1, close - 1);
        if (skipBlanks(text, close + 1) != text.size())
            return error("unexpected text after the key name: " + quote(text.substr(close + 1)));
        bool remove = !path.empty() && path[0] == u'-';
        if (remove) path.remove_prefix(1);
        Edit edit;
        edit.kind = remove ? Edit::DeleteKey : Edit::CreateKey;
        if (!keyPath(path, edit.key)) return false;
        if (remove && edit.key.names.empty())
            return error("a root key cannot be deleted: " + quote(path));
        m_haveSection = true;
        m_sectionDeleted = remove;
        m_key = edit.key;
        m_edits.push_back(std::move(edit));
        return true;
    }

    bool keyPath(wstring_view path, KeyPath& key) {
        size_t sep = path.find(u'\\');
        wstring_view rootText = path.substr(0, sep);
        if (rootText.empty()) return error("empty key name in " + quote(path));
        if (!rootFromName(rootText, key.root)) return error("unknown root key " + quote(rootText));
        key.names.clear();
        while (sep != wstring_view::npos) {
            size_t start = sep + 1;
            sep = path.find(u'\\', start);
            wstring_view name = path.substr(start, sep == wstring_view::npos ? wstring_view::npos
                                                                             : sep - start);
            if (name.empty()) {
                if (sep == wstring_view::npos) break;  // one trailing backslash is accepted
                return error("empty key name in " + quote(path));
            }
            if (name.size() > kMaxKeyNameLength)
                return error("key name longer than 255 characters: " + quote(name));
            // The API names keys with NUL-terminated texts: such a key could
            // be listed but never opened.
            if (name.find(u'\0') != wstring_view::npos)
                return error("a key name holds a NUL character");
            key.names.emplace_back(name);
        }
        return true;
    }

    // A quoted string at text[pos] == '"', with the escapes \\ and \".
    bool quoted(wstring_view text, size_t& pos, wstring& out) {
        out.clear();
        for (++pos; pos < text.size(); ++pos) {
            WCHAR c = text[pos];
            if (c == u'"') {
                ++pos;
                return true;
            }
            if (c == u'\\') {
                if (pos + 1 >= text.size()) break;
                WCHAR next = text[pos + 1];
                if (next != u'\\' && next != u'"')
                    return error("unknown escape " + quote(text.substr(pos, 2)) +
                                 " in a string (write \\\\ for a backslash, \\\" for a quote)");
                out.push_back(next);
                ++pos;
                continue;
            }
            out.push_back(c);
        }
        return error("unterminated string: missing the closing \"");
    }

    bool onlyBlanksFrom(wstring_view text, size_t pos) {
        pos = skipBlanks(text, pos);
        if (pos == text.size()) return true;
        return error("unexpected text after the value: " + quote(text.substr(pos)));
    }

    bool valueLine(wstring_view text, size_t pos) {
        if (!m_haveSection) return error("value before any [key] section");
        if (m_sectionDeleted) return error("value in a section that deletes its key ([-...])");
        Edit edit;
        edit.key = m_key;
        if (text[pos] == u'@') {
            ++pos;
        } else {
            if (!quoted(text, pos, edit.value.name)) return false;
            if (edit.value.name.size() > kMaxValueNameLength)
                return error("value name longer than 16383 characters");
            if (edit.value.name.find(u'\0') != wstring::npos)
                return error("a value name holds a NUL character");
        }
        pos = skipBlanks(text, pos);
        if (pos == text.size() || text[pos] != u'=')
            return error("expected \"=\" after the value name");
        pos = skipBlanks(text, pos + 1);

        Value& value = edit.value;
        if (pos < text.size() && text[pos] == u'-') {
            edit.kind = Edit::DeleteValue;
            if (!onlyBlanksFrom(text, pos + 1)) return false;
        } else if (pos < text.size() && text[pos] == u'"') {
            edit.kind = Edit::SetValue;
            wstring content;
            if (!quoted(text, pos, content) || !onlyBlanksFrom(text, pos)) return false;
            value.type = REG_SZ;
            for (WCHAR c : content) {
                value.data.push_back(static_cast<BYTE>(c & 0xFF));
                value.data.push_back(static_cast<BYTE>(c >> 8));
            }
            value.data.push_back(0);
            value.data.push_back(0);
        } else if (startsWithNoCase(text, pos, u"dword:")) {
            edit.kind = Edit::SetValue;
            if (!dword(text, pos + 6, value)) return false;
        } else if (startsWithNoCase(text, pos, u"hex")) {
            edit.kind = Edit::SetValue;
            if (!hex(text, pos + 3, value)) return false;
        } else {
            return error("expected a value after \"=\": \"text\", dword:, hex:, hex(type): or -");
        }
        m_edits.push_back(std::move(edit));
        return true;
    }

    bool dword(wstring_view text, size_t pos, Value& value) {
        size_t start = pos;
        DWORD number = 0;
        while (pos < text.size() && hexDigit(text[pos]) >= 0) {
            number = (number << 4) | static_cast<DWORD>(hexDigit(text[pos]));
            ++pos;
        }
        size_t digits = pos - start;
        size_t end = skipBlanks(text, pos);
        if (digits == 0 || digits > 8 || end != text.size())
            return error("bad dword " + quote(text.substr(start)) + ": expected 1 to 8 hex digits");
        value.type = REG_DWORD;
        for (int i = 0; i < 4; ++i) value.data.push_back(static_cast<BYTE>(number >> (8 * i)));
        return true;
    }

    // After "hex": ":" for REG_BINARY or "(type):", then bytes separated by
    // commas, continued on the next line after a trailing backslash.
    bool hex(wstring_view text, size_t pos, Value& value) {
        if (pos < text.size() && text[pos] == u':') {
            value.type = REG_BINARY;
            ++pos;
        } else if (pos < text.size() && text[pos] == u'(') {
            size_t start = ++pos;
            DWORD type = 0;
            while (pos < text.size() && hexDigit(text[pos]) >= 0) {
                type = (type << 4) | static_cast<DWORD>(hexDigit(text[pos]));
                ++pos;
            }
            if (pos == start || pos - start > 8 || pos + 1 >= text.size() || text[pos] != u')' ||
                text[pos + 1] != u':') {
                size_t close = text.find(u')', start);
                return error("bad value type " +
                             quote(text.substr(start - 4, close == wstring_view::npos
                                                              ? wstring_view::npos
                                                              : close - start + 5)) +
                             ": expected hex(type): with the type in hex digits");
            }
            value.type = type;
            pos += 2;
        } else {
            return error("expected a value after \"=\": \"text\", dword:, hex:, hex(type): or -");
        }

        bool expectByte = true;  // at the start, or after a comma
        for (;;) {
            pos = skipBlanks(text, pos);
            if (pos == text.size()) return true;
            if (text[pos] == u'\\' && skipBlanks(text, pos + 1) == text.size()) {
                if (!expectByte) return error("expected \",\" before the line continuation \"\\\"");
                if (m_line + 1 >= m_lines.size())
                    return error("the file ends inside a value continued with \"\\\"");
                ++m_line;
                text = trimRight(m_lines[m_line]);
                pos = 0;
                continue;
            }
            if (!expectByte) {
                if (text[pos] != u',')
                    return error("expected \",\" between hex bytes, found " +
                                 quote(text.substr(pos)));
                ++pos;
                expectByte = true;
                continue;
            }
            size_t start = pos;
            while (pos < text.size() && text[pos] != u',' && !isBlank(text[pos])) {
                if (text[pos] == u'\\' && skipBlanks(text, pos + 1) == text.size()) break;
                ++pos;
            }
            wstring_view token = text.substr(start, pos - start);
            bool ok = !token.empty() && token.size() <= 2;
            for (WCHAR c : token) ok = ok && hexDigit(c) >= 0;
            if (!ok) return error("bad hex byte " + quote(token));
            int byte = 0;
            for (WCHAR c : token) byte = (byte << 4) | hexDigit(c);
            value.data.push_back(static_cast<BYTE>(byte));
            expectByte = false;
        }
    }

    const std::vector<wstring_view>& m_lines;
    size_t m_line = 0;  // index of the current line
    std::string m_error;
    std::vector<Edit> m_edits;
    bool m_haveSection = false;
    bool m_sectionDeleted = false;
    KeyPath m_key;
};

// --- writing -------------------------------------------------------------

// Lines are wrapped after the comma that brings them to this length.
constexpr size_t kWrapColumn = 77;

wstring escaped(wstring_view text) {
    wstring out;
    out.reserve(text.size() + 2);
    for (WCHAR c : text) {
        if (c == u'\\' || c == u'"') out.push_back(u'\\');
        out.push_back(c);
    }
    return out;
}

// A REG_SZ is written as "text" only when that reads back to the same bytes:
// whole code units, one terminating NUL and no other, no line break.
bool writableAsString(const Value& value, wstring& text) {
    const std::vector<BYTE>& d = value.data;
    if (value.type != REG_SZ || d.size() < 2 || d.size() % 2 != 0) return false;
    size_t units = d.size() / 2;
    text.clear();
    for (size_t i = 0; i < units; ++i) {
        WCHAR c = static_cast<WCHAR>(d[2 * i] | (d[2 * i + 1] << 8));
        if (i + 1 == units) return c == 0;
        if (c == 0 || c == u'\r' || c == u'\n') return false;
        text.push_back(c);
    }
    return false;
}

void appendValue(wstring& out, const Value& value) {
    wstring line = value.name.empty() ? wstring(u"@=") : u"\"" + escaped(value.name) + u"\"=";
    wstring text;
    if (writableAsString(value, text)) {
        line += u"\"" + escaped(text) + u"\"";
    } else if (value.type == REG_DWORD && value.data.size() == 4) {
        DWORD number = 0;
        for (int i = 3; i >= 0; --i) number = (number << 8) | value.data[i];
        line += u"dword:";
        appendHexNumber(line, number, 8);
    } else {
        if (value.type == REG_BINARY) {
            line += u"hex:";
        } else {
            line += u"hex(";
            appendHexNumber(line, value.type, 1);
            line += u"):";
        }
        size_t lineStart = 0;
        for (size_t i = 0; i < value.data.size(); ++i) {
            appendHexNumber(line, value.data[i], 2);
            if (i + 1 == value.data.size()) break;
            line.push_back(u',');
            if (line.size() - lineStart >= kWrapColumn) {
                line += u"\\\r\n  ";
                lineStart = line.size() - 2;
            }
        }
    }
    out += line;
    out += u"\r\n";
}

}  // namespace

int hexDigit(WCHAR c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

void appendHexNumber(wstring& out, DWORD number, int minDigits) {
    static const char16_t kDigits[] = u"0123456789abcdef";
    char16_t digits[8];
    int n = 0;
    do {
        digits[n++] = kDigits[number & 0xF];
        number >>= 4;
    } while (number != 0 || n < minDigits);
    while (n > 0) out.push_back(digits[--n]);
}

const WCHAR* rootName(Root root) { return kRoots[static_cast<int>(root)].full; }

bool nameFits(wstring_view name) {
    return name.find(u'\r') == wstring_view::npos && name.find(u'\n') == wstring_view::npos;
}

bool rootFromName(wstring_view name, Root& root) {
    for (const RootNames& r : kRoots) {
        if (equalsNoCase(name, r.full) || equalsNoCase(name, r.shortName)) {
            root = r.root;
            return true;
        }
    }
    return false;
}

ReadResult read(std::string_view bytes) {
    ReadResult result;
    if (bytes.empty()) {
        result.ok = true;
        return result;
    }
    wstring text;
    if (!decode(bytes, text, result.error)) {
        result.line = 1;
        return result;
    }
    std::vector<wstring_view> lines = splitLines(text);
    return Reader(lines).run();
}

wstring writeText(const std::vector<KeyRecord>& keys, size_t* skipped) {
    size_t left = 0;
    wstring out = kHeader;
    out += u"\r\n";
    for (const KeyRecord& record : keys) {
        bool writable = true;
        for (const wstring& name : record.key.names) writable = writable && nameFits(name);
        if (!writable) {
            ++left;
            continue;
        }
        out += u"\r\n[";
        out += rootName(record.key.root);
        for (const wstring& name : record.key.names) {
            out.push_back(u'\\');
            out += name;
        }
        out += u"]\r\n";
        for (const Value& value : record.values) {
            if (!nameFits(value.name)) {
                ++left;
                continue;
            }
            appendValue(out, value);
        }
    }
    out += u"\r\n";
    if (skipped) *skipped = left;
    return out;
}

std::string write(const std::vector<KeyRecord>& keys, size_t* skipped) {
    wstring text = writeText(keys, skipped);
    std::string bytes;
    bytes.reserve(2 + 2 * text.size());
    bytes.push_back(static_cast<char>(0xFF));
    bytes.push_back(static_cast<char>(0xFE));
    for (WCHAR c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

}  // namespace regfile
}  // namespace w32p
