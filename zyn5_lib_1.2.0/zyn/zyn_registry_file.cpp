// zyn_registry_file.cpp - CZYNRegistryFile: the registry text export and
// import.
//
// Implements: construction, exportToFile (the file's folder, the key's
// section with its values type by type, then the subkeys one by one) and
// importFromFile (every section, every line). Helpers: the section names of
// the roots, the entry texts of the five types and their reading back.
//
// Binary data is written as exactly its byte codes and read back byte for
// byte. Files written before held an odd-length value padded with one zero
// byte (an even count of byte codes); such a file still imports as it always
// did, as the even count of bytes it holds. Only an odd count of byte codes
// reads differently now (exactly, where a zero byte used to be added), and
// no file written before holds one.
#include "zyn_registry_file.h"

#include <string>

#include "zyn_directory.h"
#include "zyn_failure.h"
#include "zyn_flags.h"
#include "zyn_ini.h"
#include "zyn_registry_binary.h"
#include "zyn_registry_dword.h"
#include "zyn_registry_expand.h"
#include "zyn_registry_key.h"
#include "zyn_registry_multi_string.h"
#include "zyn_registry_string.h"

static const WCHAR* const SOURCE = TEXT("zyn_registry_file.cpp");

namespace {

using Traits = std::char_traits<WCHAR>;
using StringList = CZYNDblList<CZYNObjNode<CZYNWCharString>>;

const WCHAR kSeparator[] = TEXT("\\");

// Access of the keys the export reads and of those the import writes.
const REGSAM kReadAccess = KEY_READ;                   // 0x20019
const REGSAM kReadWriteAccess = KEY_READ | KEY_WRITE;  // 0x2001F

// The five roots a section can name. A section is the root's name, a
// backslash and the key's path.
struct RootName {
    HKEY hRoot;
    const WCHAR* szName;
};
const RootName kRoots[] = {
    {HKEY_CLASSES_ROOT, TEXT("HKEY_CLASSES_ROOT")},
    {HKEY_CURRENT_USER, TEXT("HKEY_CURRENT_USER")},
    {HKEY_LOCAL_MACHINE, TEXT("HKEY_LOCAL_MACHINE")},
    {HKEY_USERS, TEXT("HKEY_USERS")},
    {HKEY_CURRENT_CONFIG, TEXT("HKEY_CURRENT_CONFIG")},
};
// The name written for any other handle, and the root read for any other name.
const WCHAR kOtherRootName[] = TEXT("HKEY_CURRENT_USER");
const HKEY kOtherRoot = HKEY_LOCAL_MACHINE;

// The start of an entry's text, by type.
enum class EntryType { Dword, String, Binary, MultiString, ExpandString };
struct EntryPrefix {
    EntryType type;
    const WCHAR* szPrefix;
};
const EntryPrefix kEntryPrefixes[] = {
    {EntryType::Dword, TEXT("REG_DWORD:")},
    {EntryType::String, TEXT("REG_SZ:")},
    {EntryType::Binary, TEXT("REG_BINARY:")},
    {EntryType::MultiString, TEXT("REG_SZ_MULTI:")},
    {EntryType::ExpandString, TEXT("REG_SZ_EXPAND:")},
};

CZYNWCharString prefixOf(EntryType type) {
    for (const EntryPrefix& entry : kEntryPrefixes)
        if (entry.type == type) return entry.szPrefix;
    return CZYNWCharString();
}

const WCHAR kQuote[] = TEXT("\"");
const WCHAR kComma[] = TEXT(",");
// The byte codes of a lone NUL code unit: an empty string of a multi-string.
const WCHAR kEmptyStringCodes[] = TEXT("00 00");
// What getAsciiCodeString writes for one byte after the first: a space and
// two digits.
const ULONG kCodeUnitsPerByte = 3;

// The section of the key root\path: the root's name and a backslash (one
// backslash only, when the path begins with one), then the path.
CZYNWCharString sectionName(HKEY hRoot, const CZYNWCharString& szPath) {
    CZYNWCharString section(kOtherRootName);
    for (const RootName& root : kRoots)
        if (root.hRoot == hRoot) section = root.szName;
    if (!szPath.beginsWith(CZYNWCharString(kSeparator))) section += CZYNWCharString(kSeparator);
    return section + szPath;
}

// The path of a subkey: below an empty path (a whole root, or an open key
// handle) the name alone, since the registry refuses a path that begins
// with a backslash.
CZYNWCharString subKeyPath(const CZYNWCharString& szPath, const CZYNWCharString& name) {
    if (szPath.getLength() == 0) return name;
    return szPath + CZYNWCharString(kSeparator) + name;
}

// "text" in double quotes, the payload of the two string types.
CZYNWCharString quoted(const CZYNWCharString& text) {
    return CZYNWCharString(kQuote) + text + CZYNWCharString(kQuote);
}

// The byte codes of one string of a multi-string: its code units and one
// NUL, nothing of any slack behind it.
CZYNWCharString stringCodes(const CZYNWCharString& text) {
    const CZYNWCharString exact(text.getText());
    if (exact.getLength() == 0) return kEmptyStringCodes;
    return exact.getAsciiCodeString();
}

// The byte codes of binary data: exactly one per byte. The data is taken as
// UTF-16 units for the conversion; the zero byte that pads an odd length
// to a whole unit is not written.
CZYNWCharString binaryCodes(const CZYNBuffer<BYTE>& data) {
    CZYNWCharString image;
    if (data.getCount() == 0 || !image.copyFrom(CZYNBuffer<WCHAR>(data))) return image;
    CZYNWCharString codes = image.getAsciiCodeString();
    if (data.getCount() % 2) codes.removeLast(kCodeUnitsPerByte);
    return codes;
}

// The strings of a multi-string entry: the payload split at every comma,
// each piece's bytes taken as UTF-16 text up to its first NUL.
StringList stringsFromCodes(const CZYNWCharString& payload) {
    StringList pieces;
    StringList strings;
    payload.parseToList(pieces, CZYNWCharString(kComma), pmFromStart, CZYNFlags(0), CZYNFlags(0));
    LONG lTag = 0;
    for (bool bMore = pieces.moveFirst(); bMore; bMore = pieces.moveNext()) {
        const CZYNBuffer<WCHAR> units(pieces.getCurrentObject()->getBufferFromAsciiCodeString());
        strings.add(CZYNWCharString(units), lTag++);
    }
    return strings;
}

// One entry line "name=TYPE:payload" taken apart. The name ends at the first
// '=' that the text of one of the five types follows: that is the first '='
// of every line whose name holds no '=', and a name holding '=' or ':' comes
// back whole. Null for a line of no known type.
const EntryPrefix* splitLine(const CZYNWCharString& line, CZYNWCharString& name,
                             CZYNWCharString& payload) {
    const WCHAR* szLine = line.getText();
    const ULONG ulLength = line.getLength();
    for (ULONG i = 0; i < ulLength; ++i) {
        if (szLine[i] != TEXT('=')) continue;
        const WCHAR* szAfter = szLine + i + 1;
        const size_t afterLength = ulLength - i - 1;
        for (const EntryPrefix& entry : kEntryPrefixes) {
            const size_t prefixLength = Traits::length(entry.szPrefix);
            if (afterLength < prefixLength ||
                Traits::compare(szAfter, entry.szPrefix, prefixLength) != 0)
                continue;
            name = line.getWithoutLast(ulLength - i);
            payload = szAfter + prefixLength;
            return &entry;
        }
    }
    return nullptr;
}

// The entries of one type of value: `listValues` fills the record list of a
// value object built on the key, `payload` makes an entry's data from a
// record, `write` writes an entry. A list that cannot be read writes nothing.
template <class Value, class List, class ListValues, class Payload, class Write>
void exportType(HKEY hRoot, const CZYNWCharString& szPath, EntryType type, ListValues listValues,
                Payload payload, Write write) {
    Value value(hRoot, szPath, CZYNWCharString(), kReadAccess, false, 0);
    List records;
    if (!listValues(value, records)) return;
    const CZYNWCharString prefix = prefixOf(type);
    for (bool bMore = records.moveFirst(); bMore; bMore = records.moveNext()) {
        const auto& record = *records.getCurrentObject();
        write(record.name, prefix + payload(record));
    }
}

// A value object of the import: the key's value `name`, created with its key
// when missing, written at once.
template <class Value>
Value importedValue(HKEY hRoot, const CZYNWCharString& szPath, const CZYNWCharString& name) {
    return Value(hRoot, szPath, name, kReadWriteAccess, true, 0);
}

// Starts a file the export is about to create as UTF-16LE (its byte-order
// mark alone), so that the private-profile functions keep every character
// of the names and texts written into it: a file they create themselves is
// written in the ANSI code page, where Windows turns what that cannot hold
// into '?'. An existing file is left as it is, and so is a name without a
// folder, which the private-profile functions look for in the Windows
// directory and CreateFileW would not.
void startUnicodeFile(const CZYNWCharString& fileName) {
    if (!fileName.contains(CZYNWCharString(kSeparator)) &&
        !fileName.contains(CZYNWCharString(TEXT("/"))))
        return;
    const HANDLE hFile = CreateFileW(fileName.getText(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) return;
    const BYTE byteOrderMark[] = {0xFF, 0xFE};
    DWORD ulWritten = 0;
    WriteFile(hFile, byteOrderMark, sizeof byteOrderMark, &ulWritten, nullptr);
    CloseHandle(hFile);
}

}  // namespace

CZYNRegistryFile::CZYNRegistryFile(const CZYNWCharString& szFileName) : fileName(szFileName) {}

bool CZYNRegistryFile::exportToFile(HKEY hRoot, const CZYNWCharString& szPath,
                                    bool bDeleteExisting) {
    return zyn::guard({SOURCE, 512, zyn::LastError}, false, [&] {
        if (bDeleteExisting) DeleteFileW(fileName.getText());
        // The file's folder: the name up to and including its last backslash.
        // A name without one names no folder of its own.
        CZYNWCharString folder(fileName);
        if (folder.cutAtDelimiter(CZYNWCharString(kSeparator), 1, pmFromEnd, false)) {
            CZYNDirectory directory(folder);
            if (!directory.isValidDirectory()) directory.createDirectory();
        }
        exportValues(hRoot, szPath, sectionName(hRoot, szPath));

        CZYNRegistryKey key(hRoot, szPath, kReadAccess, false, 0);
        CZYNRegistryKey::NameList names;
        bool bAllExported = true;
        if (key.enumSubKeyNames(names)) {
            for (bool bMore = names.moveFirst(); bMore; bMore = names.moveNext())
                if (!exportToFile(hRoot, subKeyPath(szPath, *names.getCurrentObject()), false))
                    bAllExported = false;
        }
        return bAllExported;
    });
}

void CZYNRegistryFile::exportValues(HKEY hRoot, const CZYNWCharString& szPath,
                                    const CZYNWCharString& section) {
    auto write = [&](const CZYNWCharString& name, const CZYNWCharString& text) {
        writeEntry(section, name, text);
    };
    exportType<CZYNRegistryDword, CZYNRegistryDword::NamedDwordList>(
        hRoot, szPath, EntryType::Dword,
        [](CZYNRegistryDword& value, auto& list) { return value.getDwordValues(list); },
        [](const CZYNRegNamedDword& record) {
            return CZYNWCharString(record.number, nsHex, 8, true);
        },
        write);
    exportType<CZYNRegistryString, CZYNRegistryString::NamedStringList>(
        hRoot, szPath, EntryType::String,
        [](CZYNRegistryString& value, auto& list) { return value.getStringValues(list); },
        [](const CZYNRegNamedString& record) { return quoted(record.text); }, write);
    exportType<CZYNRegistryStringExpand, CZYNRegistryString::NamedStringList>(
        hRoot, szPath, EntryType::ExpandString,
        [](CZYNRegistryStringExpand& value, auto& list) {
            return value.getExpandStringValues(list, false);
        },
        [](const CZYNRegNamedString& record) { return quoted(record.text); }, write);
    exportType<CZYNRegistryMultiString, CZYNRegistryMultiString::NamedStringListList>(
        hRoot, szPath, EntryType::MultiString,
        [](CZYNRegistryMultiString& value, auto& list) { return value.getMultiStringValues(list); },
        [](const CZYNRegNamedStringList& record) {
            CZYNWCharString codes;
            const CZYNWCharString comma(kComma);
            const StringList& strings = record.strings;
            for (LONG i = 0; i < strings.getCount(); ++i) {
                if (i > 0) codes += comma;
                codes += stringCodes(*strings.getObjectAt(i));
            }
            return codes;
        },
        write);
    exportType<CZYNRegistryBinary, CZYNRegistryBinary::NamedBinaryList>(
        hRoot, szPath, EntryType::Binary,
        [](CZYNRegistryBinary& value, auto& list) { return value.getBinaryValues(list); },
        [](const CZYNRegNamedBinary& record) { return binaryCodes(record.data); }, write);
}

void CZYNRegistryFile::writeEntry(const CZYNWCharString& section, const CZYNWCharString& name,
                                  const CZYNWCharString& text) {
    startUnicodeFile(fileName);
    CZYNIni(fileName).setProfileString(section, name, text);
}

bool CZYNRegistryFile::importFromFile() {
    return zyn::guard({SOURCE, 722, zyn::LastError}, false, [&] {
        StringList sections;
        if (!CZYNIni(fileName).getProfileSectionNames(sections)) return true;
        for (bool bMore = sections.moveFirst(); bMore; bMore = sections.moveNext())
            importSection(*sections.getCurrentObject());
        return true;
    });
}

void CZYNRegistryFile::importSection(const CZYNWCharString& section) {
    // The root's name is the text before the first backslash; the path is
    // the rest.
    const CZYNWCharString separator(kSeparator);
    CZYNWCharString rootName;
    section.extractBeyond(rootName, separator, 1, pmFromStart, false);
    CZYNWCharString path(section);
    path.replace(rootName + separator, CZYNWCharString(), 1, ssmOccur);
    HKEY hRoot = kOtherRoot;
    for (const RootName& root : kRoots)
        if (rootName == CZYNWCharString(root.szName)) hRoot = root.hRoot;

    CZYNRegistryKey(hRoot, path, kReadWriteAccess, true, 0).open();

    StringList lines;
    if (!CZYNIni(fileName).getProfileSection(section, lines)) return;
    for (bool bMore = lines.moveFirst(); bMore; bMore = lines.moveNext()) {
        CZYNWCharString name;
        CZYNWCharString payload;
        const EntryPrefix* entry = splitLine(*lines.getCurrentObject(), name, payload);
        if (!entry) continue;
        switch (entry->type) {
            case EntryType::Dword: {
                LONG lNumber = 0;
                if (payload.toNumber(&lNumber, nsHex))
                    importedValue<CZYNRegistryDword>(hRoot, path, name)
                        .setValue(static_cast<DWORD>(lNumber), false);
                break;
            }
            case EntryType::String:
                importedValue<CZYNRegistryString>(hRoot, path, name)
                    .setValue(payload.removeFirst(1).removeLast(1), false);
                break;
            case EntryType::ExpandString:
                importedValue<CZYNRegistryStringExpand>(hRoot, path, name)
                    .setValue(payload.removeFirst(1).removeLast(1), false);
                break;
            case EntryType::Binary:
                importedValue<CZYNRegistryBinary>(hRoot, path, name)
                    .setValue(payload.getBufferFromAsciiCodeString(), false);
                break;
            case EntryType::MultiString:
                importedValue<CZYNRegistryMultiString>(hRoot, path, name)
                    .setValue(stringsFromCodes(payload), false);
                break;
        }
    }
}
