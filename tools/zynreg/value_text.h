// value_text.h - zynreg's text forms of registry things: key names with
// their root ("HKLM\SOFTWARE\Norvak" or "HKEY_LOCAL_MACHINE\SOFTWARE\Norvak"),
// type names, and value data shown and read back. Pure functions over
// UTF-16 text; a failure says what is wrong in `problem`.
#ifndef ZYNREG_VALUE_TEXT_H
#define ZYNREG_VALUE_TEXT_H

#include <windows.h>

#include <string>
#include <vector>

using wstr = std::basic_string<WCHAR>;
using Strings = std::vector<wstr>;

// A key as the command line names it.
struct KeyName {
    HKEY root = nullptr;
    wstr rootName;  // the root's long name, HKEY_LOCAL_MACHINE
    wstr path;      // below the root, without a trailing backslash; may be empty

    // The long form, HKEY_LOCAL_MACHINE\SOFTWARE\Norvak.
    wstr text() const;
};

// "ROOT" or "ROOT\path": the root by its long or short name (HKLM, HKCU,
// HKCR, HKU, HKCC), in any case; trailing backslashes are dropped.
bool parseKeyName(const wstr& text, KeyName& key, wstr& problem);

// "REG_SZ", or "type N" for a type without a name.
wstr typeName(DWORD type);
// The five types a value can be set as, by name in any case.
bool parseSettableType(const wstr& name, DWORD& type, wstr& problem);

// A value's data shown as text, one string per line: the text of REG_SZ and
// REG_EXPAND_SZ (up to its first NUL), each string of a REG_MULTI_SZ, 0x and
// 8 (REG_DWORD) or 16 (REG_QWORD) hex digits, else the bytes as two hex
// digits each, separated by spaces.
Strings dataLines(DWORD type, const std::vector<BYTE>& data);
// The same on one line: the strings of a REG_MULTI_SZ joined by "\0".
wstr dataText(DWORD type, const std::vector<BYTE>& data);

// Command-line data of `set` as the value's data, by type: REG_SZ and
// REG_EXPAND_SZ one text (REG_EXPAND_SZ holding pairs of %), REG_MULTI_SZ
// any number of non-empty strings, REG_DWORD one number (decimal, or 0x and
// up to 8 hex digits), REG_BINARY any number of hex-byte groups ("01 02",
// "0102", "01,02").
struct ValueData {
    wstr text;                // REG_SZ, REG_EXPAND_SZ
    Strings strings;          // REG_MULTI_SZ
    DWORD number = 0;         // REG_DWORD
    std::vector<BYTE> bytes;  // REG_BINARY
};
bool parseValueData(DWORD type, const Strings& args, ValueData& data, wstr& problem);

// Quoted for a message: "text".
wstr quoted(const wstr& text);

#endif
