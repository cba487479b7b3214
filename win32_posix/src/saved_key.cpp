/*
 * saved_key.cpp - the saved-key file (saved_key.h), written and read without
 * touching the file system.
 *
 *   quoting   names and classes in quotes, escaped so that every code unit
 *             comes back
 *   write     the key, its values, then its subkeys, depth first
 *   read      the header, then key and value lines, every rule checked
 */
#include "saved_key.h"

namespace w32p {
namespace savedkey {

namespace {

using regfile::appendHexNumber;
using regfile::hexDigit;

const char16_t kHeader[] = u"win32_posix saved key 1";

bool isHighSurrogate(WCHAR c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(WCHAR c) { return c >= 0xDC00 && c <= 0xDFFF; }

void appendEscape(wstring& out, WCHAR c) {
    out += u"\\u";
    appendHexNumber(out, c, 4);
}

void appendQuoted(wstring& out, wstring_view text) {
    out.push_back(u'"');
    for (size_t i = 0; i < text.size(); ++i) {
        WCHAR c = text[i];
        if (c == u'\\' || c == u'"') {
            out.push_back(u'\\');
            out.push_back(c);
        } else if (c < 0x20 || c == 0x7F) {
            appendEscape(out, c);
        } else if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            out.push_back(c);
            out.push_back(text[++i]);
        } else if (isHighSurrogate(c) || isLowSurrogate(c)) {
            appendEscape(out, c);
        } else {
            out.push_back(c);
        }
    }
    out.push_back(u'"');
}

void appendNode(wstring& out, const Node& node, size_t depth) {
    out += u"key ";
    for (char c : std::to_string(depth)) out.push_back(static_cast<WCHAR>(c));
    out.push_back(u' ');
    appendQuoted(out, node.name);
    out += u" class ";
    appendQuoted(out, node.className);
    out.push_back(u'\n');
    for (const regfile::Value& value : node.values) {
        out += u"value ";
        appendQuoted(out, value.name);
        out.push_back(u' ');
        appendHexNumber(out, value.type, 1);
        out.push_back(u':');
        for (BYTE b : value.data) appendHexNumber(out, b, 2);
        out.push_back(u'\n');
    }
    for (const Node& subkey : node.subkeys) appendNode(out, subkey, depth + 1);
}

// Reads one line after the header.
class LineReader {
public:
    explicit LineReader(wstring_view line) : m_line(line) {}

    bool literal(wstring_view text) {
        if (m_line.substr(m_pos, text.size()) != text) return false;
        m_pos += text.size();
        return true;
    }

    bool decimal(size_t& number) {
        size_t start = m_pos;
        number = 0;
        while (m_pos < m_line.size() && m_line[m_pos] >= u'0' && m_line[m_pos] <= u'9' &&
               m_pos - start < 6)
            number = number * 10 + (m_line[m_pos++] - u'0');
        return m_pos > start;
    }

    // 1 to 8 hex digits.
    bool hexNumber(DWORD& number) {
        size_t start = m_pos;
        number = 0;
        while (m_pos < m_line.size() && hexDigit(m_line[m_pos]) >= 0 && m_pos - start < 8)
            number = (number << 4) | static_cast<DWORD>(hexDigit(m_line[m_pos++]));
        return m_pos > start;
    }

    // Pairs of hex digits up to the end of the line.
    bool hexBytes(std::vector<BYTE>& bytes) {
        if ((m_line.size() - m_pos) % 2 != 0) return false;
        for (; m_pos < m_line.size(); m_pos += 2) {
            int high = hexDigit(m_line[m_pos]), low = hexDigit(m_line[m_pos + 1]);
            if (high < 0 || low < 0) return false;
            bytes.push_back(static_cast<BYTE>(high << 4 | low));
        }
        return true;
    }

    bool quoted(wstring& text) {
        text.clear();
        if (!literal(u"\"")) return false;
        while (m_pos < m_line.size()) {
            WCHAR c = m_line[m_pos++];
            if (c == u'"') return true;
            if (c != u'\\') {
                text.push_back(c);
                continue;
            }
            if (m_pos >= m_line.size()) return false;
            WCHAR next = m_line[m_pos++];
            if (next == u'\\' || next == u'"') {
                text.push_back(next);
            } else if (next == u'u' && m_line.size() - m_pos >= 4) {
                DWORD unit = 0;
                for (int i = 0; i < 4; ++i) {
                    int digit = hexDigit(m_line[m_pos++]);
                    if (digit < 0) return false;
                    unit = unit << 4 | static_cast<DWORD>(digit);
                }
                text.push_back(static_cast<WCHAR>(unit));
            } else {
                return false;
            }
        }
        return false;
    }

    bool atEnd() const { return m_pos == m_line.size(); }

private:
    wstring_view m_line;
    size_t m_pos = 0;
};

template <class Item>
bool hasName(const std::vector<Item>& items, wstring_view name) {
    for (const Item& item : items)
        if (equalsNoCase(item.name, name)) return true;
    return false;
}

class Reader {
public:
    ReadResult run(wstring_view text) {
        size_t start = 0;
        for (m_line = 1; start < text.size(); ++m_line) {
            size_t end = text.find(u'\n', start);
            if (end == wstring_view::npos) end = text.size();
            wstring_view line = text.substr(start, end - start);
            if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
            start = end + 1;
            if (m_line == 1) continue;  // the header, checked already
            bool ok = line.substr(0, 4) == u"key "     ? keyLine(line)
                      : line.substr(0, 6) == u"value " ? valueLine(line)
                                                       : fail("expected a key or value line");
            if (!ok) return m_result;
        }
        if (m_stack.empty()) {
            fail("the file holds no key");
            return m_result;
        }
        closeTo(1);
        m_result.status = ReadResult::Ok;
        m_result.top = std::move(m_stack[0]);
        return m_result;
    }

private:
    bool fail(const char* message) {
        m_result.status = ReadResult::Corrupt;
        m_result.line = m_line;
        m_result.error = message;
        return false;
    }

    // Ends the keys deeper than `depth` (at least 1), each into its parent.
    void closeTo(size_t depth) {
        while (m_stack.size() > depth) {
            Node done = std::move(m_stack.back());
            m_stack.pop_back();
            m_stack.back().subkeys.push_back(std::move(done));
        }
    }

    bool keyLine(wstring_view line) {
        LineReader r(line);
        size_t depth;
        Node node;
        if (!r.literal(u"key ") || !r.decimal(depth) || !r.literal(u" ") || !r.quoted(node.name) ||
            !r.literal(u" class ") || !r.quoted(node.className) || !r.atEnd())
            return fail("malformed key line");
        if (m_stack.empty() != (depth == 0))
            return fail(depth == 0 ? "a second key at depth 0"
                                   : "the first key must be at depth 0");
        if (depth > m_stack.size()) return fail("a key more than one level below the key before");
        if (depth > 0) {
            if (node.name.empty() || node.name.size() > regfile::kMaxKeyNameLength ||
                node.name.find(u'\\') != wstring::npos)
                return fail("a key name must be 1 to 255 characters without a backslash");
            closeTo(depth);
            if (hasName(m_stack.back().subkeys, node.name)) return fail("two subkeys of one name");
        }
        m_stack.push_back(std::move(node));
        return true;
    }

    bool valueLine(wstring_view line) {
        LineReader r(line);
        regfile::Value value;
        if (!r.literal(u"value ") || !r.quoted(value.name) || !r.literal(u" ") ||
            !r.hexNumber(value.type) || !r.literal(u":") || !r.hexBytes(value.data))
            return fail("malformed value line");
        if (m_stack.empty()) return fail("a value before the first key");
        if (value.name.size() > regfile::kMaxValueNameLength)
            return fail("a value name longer than 16383 characters");
        std::vector<regfile::Value>& values = m_stack.back().values;
        if (hasName(values, value.name)) return fail("two values of one name");
        values.push_back(std::move(value));
        return true;
    }

    ReadResult m_result;
    size_t m_line = 0;
    std::vector<Node> m_stack;  // the key at each depth, still open
};

}  // namespace

std::string write(const Node& top) {
    wstring out = kHeader;
    out.push_back(u'\n');
    appendNode(out, top, 0);
    return toUtf8(out);
}

ReadResult read(std::string_view bytes) {
    ReadResult result;
    std::string header = toUtf8(kHeader);
    std::string_view first = bytes.substr(0, bytes.find('\n'));
    if (!first.empty() && first.back() == '\r') first.remove_suffix(1);
    if (first != header) {
        result.status = ReadResult::NotASavedKey;
        result.line = 1;
        result.error = "not a saved key: expected the header line \"" + header + "\"";
        return result;
    }
    if (!isValidUtf8(bytes)) {
        result.error = "the file is not UTF-8";
        return result;
    }
    return Reader().run(fromUtf8(bytes));
}

}  // namespace savedkey
}  // namespace w32p
