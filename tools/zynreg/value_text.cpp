// value_text.cpp - zynreg's key names, type names and value data as text.
#include "value_text.h"

namespace {

// T("...") as a wstr.
wstr T(const WCHAR* text) { return wstr(text); }

struct RootName {
    HKEY root;
    const WCHAR* longName;
    const WCHAR* shortName;
};
const RootName kRoots[] = {
    {HKEY_LOCAL_MACHINE, TEXT("HKEY_LOCAL_MACHINE"), TEXT("HKLM")},
    {HKEY_CURRENT_USER, TEXT("HKEY_CURRENT_USER"), TEXT("HKCU")},
    {HKEY_CLASSES_ROOT, TEXT("HKEY_CLASSES_ROOT"), TEXT("HKCR")},
    {HKEY_USERS, TEXT("HKEY_USERS"), TEXT("HKU")},
    {HKEY_CURRENT_CONFIG, TEXT("HKEY_CURRENT_CONFIG"), TEXT("HKCC")},
};

struct TypeName {
    DWORD type;
    const WCHAR* name;
    bool settable;
};
const TypeName kTypes[] = {
    {REG_NONE, TEXT("REG_NONE"), false},
    {REG_SZ, TEXT("REG_SZ"), true},
    {REG_EXPAND_SZ, TEXT("REG_EXPAND_SZ"), true},
    {REG_BINARY, TEXT("REG_BINARY"), true},
    {REG_DWORD, TEXT("REG_DWORD"), true},
    {REG_DWORD_BIG_ENDIAN, TEXT("REG_DWORD_BIG_ENDIAN"), false},
    {REG_LINK, TEXT("REG_LINK"), false},
    {REG_MULTI_SZ, TEXT("REG_MULTI_SZ"), true},
    {REG_QWORD, TEXT("REG_QWORD"), false},
};

WCHAR upper(WCHAR c) { return c >= 'a' && c <= 'z' ? WCHAR(c - 'a' + 'A') : c; }

bool equalNoCase(const wstr& a, const WCHAR* b) {
    const wstr other(b);
    if (a.size() != other.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(other[i])) return false;
    return true;
}

wstr decimal(unsigned long long value) {
    const std::string digits = std::to_string(value);
    return wstr(digits.begin(), digits.end());
}

// 0x and `digits` upper-case hex digits.
wstr hexNumber(unsigned long long value, int digits) {
    const char hex[] = "0123456789ABCDEF";
    wstr out = T(TEXT("0x"));
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
        out += WCHAR(hex[(value >> shift) & 15]);
    return out;
}

wstr hexBytes(const std::vector<BYTE>& data) {
    const char hex[] = "0123456789ABCDEF";
    wstr out;
    for (BYTE b : data) {
        if (!out.empty()) out += ' ';
        out += WCHAR(hex[b >> 4]);
        out += WCHAR(hex[b & 15]);
    }
    return out;
}

// Little-endian number of the data's bytes.
unsigned long long littleEndian(const std::vector<BYTE>& data) {
    unsigned long long value = 0;
    for (size_t i = data.size(); i-- > 0;) value = value << 8 | data[i];
    return value;
}

// The data's UTF-16 units (an odd last byte left out).
wstr units(const std::vector<BYTE>& data) {
    wstr out;
    for (size_t i = 0; i + 1 < data.size(); i += 2) out += WCHAR(data[i] | data[i + 1] << 8);
    return out;
}

// The strings of REG_MULTI_SZ data: each run ended by a NUL, up to two NULs
// in a row; a last string without its NUL counts too.
Strings multiStrings(const std::vector<BYTE>& data) {
    const wstr all = units(data);
    Strings strings;
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find(WCHAR(0), start);
        if (end == start) break;
        if (end == wstr::npos) end = all.size();
        strings.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    return strings;
}

int hexDigit(WCHAR c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool parseDword(const wstr& text, DWORD& number, wstr& problem) {
    problem =
        T(TEXT("REG_DWORD data ")) + quoted(text) +
        T(TEXT(" is not a number from 0 to 4294967295 (decimal, or 0x and up to 8 hex digits)"));
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const size_t first = hex ? 2 : 0;
    if (text.size() <= first || text.size() - first > (hex ? 8u : 10u)) return false;
    unsigned long long value = 0;
    for (size_t i = first; i < text.size(); ++i) {
        const int digit = hexDigit(text[i]);
        if (digit < 0 || (!hex && digit > 9)) return false;
        value = value * (hex ? 16 : 10) + digit;
    }
    if (value > 0xFFFFFFFFull) return false;
    number = static_cast<DWORD>(value);
    return true;
}

bool parseBytes(const wstr& text, std::vector<BYTE>& bytes, wstr& problem) {
    wstr digits;
    for (WCHAR c : text)
        if (c != ' ' && c != ',') digits += c;
    for (size_t i = 0; i < digits.size(); i += 2) {
        const int high = hexDigit(digits[i]);
        const int low = i + 1 < digits.size() ? hexDigit(digits[i + 1]) : -1;
        if (high < 0 || low < 0) {
            problem = T(TEXT("REG_BINARY data ")) + quoted(text) +
                      T(TEXT(" is not bytes of two hex digits each (\"01 02 ff\", \"0102ff\")"));
            return false;
        }
        bytes.push_back(static_cast<BYTE>(high << 4 | low));
    }
    return true;
}

// The number of '%' in the text.
size_t percentSigns(const wstr& text) {
    size_t count = 0;
    for (WCHAR c : text) count += c == '%';
    return count;
}

}  // namespace

wstr quoted(const wstr& text) { return T(TEXT("\"")) + text + T(TEXT("\"")); }

wstr KeyName::text() const { return path.empty() ? rootName : rootName + TEXT('\\') + path; }

bool parseKeyName(const wstr& text, KeyName& key, wstr& problem) {
    const size_t slash = text.find(TEXT('\\'));
    const wstr root = text.substr(0, slash);
    wstr path = slash == wstr::npos ? wstr() : text.substr(slash + 1);
    while (!path.empty() && path.back() == '\\') path.pop_back();
    for (const RootName& candidate : kRoots) {
        if (equalNoCase(root, candidate.longName) || equalNoCase(root, candidate.shortName)) {
            key.root = candidate.root;
            key.rootName = candidate.longName;
            key.path = path;
            return true;
        }
    }
    problem = quoted(text) + T(TEXT(" does not start with a root key (HKLM, HKCU, HKCR, HKU, HKCC "
                                    "or their long names, HKEY_LOCAL_MACHINE and so on)"));
    return false;
}

wstr typeName(DWORD type) {
    for (const TypeName& known : kTypes)
        if (known.type == type) return known.name;
    return T(TEXT("type ")) + decimal(type);
}

bool parseSettableType(const wstr& name, DWORD& type, wstr& problem) {
    for (const TypeName& known : kTypes) {
        if (known.settable && equalNoCase(name, known.name)) {
            type = known.type;
            return true;
        }
    }
    problem = T(TEXT("unknown type ")) + quoted(name) +
              T(TEXT(" (use REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD or REG_BINARY)"));
    return false;
}

Strings dataLines(DWORD type, const std::vector<BYTE>& data) {
    switch (type) {
        case REG_SZ:
        case REG_EXPAND_SZ: {
            const wstr text = units(data);
            return {text.substr(0, text.find(WCHAR(0)))};
        }
        case REG_MULTI_SZ:
            return multiStrings(data);
        case REG_DWORD:
            if (data.size() == 4) return {hexNumber(littleEndian(data), 8)};
            break;
        case REG_QWORD:
            if (data.size() == 8) return {hexNumber(littleEndian(data), 16)};
            break;
    }
    return {hexBytes(data)};
}

wstr dataText(DWORD type, const std::vector<BYTE>& data) {
    wstr joined;
    const Strings lines = dataLines(type, data);
    for (size_t i = 0; i < lines.size(); ++i) joined += (i ? T(TEXT("\\0")) : wstr()) + lines[i];
    return joined;
}

bool parseValueData(DWORD type, const Strings& args, ValueData& data, wstr& problem) {
    const bool oneArgument = type == REG_SZ || type == REG_EXPAND_SZ || type == REG_DWORD;
    if (oneArgument && args.size() != 1) {
        problem = typeName(type) + T(TEXT(" takes exactly one DATA argument"));
        return false;
    }
    switch (type) {
        case REG_EXPAND_SZ:
            if (percentSigns(args[0]) == 0 || percentSigns(args[0]) % 2) {
                problem = T(TEXT("REG_EXPAND_SZ data ")) + quoted(args[0]) +
                          T(TEXT(" must hold pairs of % around variable names, as in "
                                 "%SystemRoot%\\system32"));
                return false;
            }
            data.text = args[0];
            return true;
        case REG_SZ:
            data.text = args[0];
            return true;
        case REG_DWORD:
            return parseDword(args[0], data.number, problem);
        case REG_MULTI_SZ:
            for (const wstr& text : args) {
                if (text.empty()) {
                    problem = T(TEXT("a REG_MULTI_SZ value cannot hold an empty string"));
                    return false;
                }
            }
            data.strings = args;
            return true;
        case REG_BINARY:
            for (const wstr& text : args)
                if (!parseBytes(text, data.bytes, problem)) return false;
            return true;
    }
    problem = typeName(type) + T(TEXT(" cannot be set"));
    return false;
}
