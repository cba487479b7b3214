// zyn_registry_file.h - CZYNRegistryFile: a registry key with all its values
// and subkeys saved to a text file in INI form, and such a file read back
// into the registry. The text branch of CZYNRegistryKey's exportKey and
// importKey.
//
// The file is written and read only through CZYNIni, one entry at a time.
// One section per key that has values, named after the key
// ("HKEY_CURRENT_USER\Software\Tools"); one entry per named value, its text
// the type, a colon and the data:
//
//   Count=REG_DWORD:0x0000000A
//   Title=REG_SZ:"text"                (REG_SZ_EXPAND:"..." likewise)
//   List=REG_SZ_MULTI:61 00 00 00,62 00 63 00 00 00
//   Data=REG_BINARY:01 02 03
//
// A multi-string is one byte-code string per string, its NUL included, the
// strings joined by commas; binary data is exactly its bytes. Nothing is
// escaped. Values of other types and the key's default value are not
// written. Source file of the records: zyn_registry_file.cpp.
#ifndef ZYN_REGISTRY_FILE_H
#define ZYN_REGISTRY_FILE_H

#include <windows.h>

#include "zyn_wchar_string.h"

class CZYNRegistryFile {
public:
    // The file's path (a Windows path; a name without a folder means the
    // Windows directory, as for every INI file).
    explicit CZYNRegistryFile(const CZYNWCharString& szFileName);

    // Writes the key root\path, then each of its subkeys in the registry's
    // order, into the file: bDeleteExisting deletes the file first, else the
    // entries are merged into it (an entry of the same section and name is
    // replaced). The file's folder is made when missing; a new file is
    // written in UTF-16LE. Values that cannot be read are left out and the
    // walk goes on. False only when a failure was caught on the way (then
    // written to the log).
    bool exportToFile(HKEY hRoot, const CZYNWCharString& szPath, bool bDeleteExisting);
    // Writes every entry of the file into the registry, creating the keys
    // and values it names: the section's root name picks the root
    // (HKEY_LOCAL_MACHINE for a name it does not know). Entries that do not
    // parse or cannot be stored are skipped. A missing file, or one without
    // sections, changes nothing. False only when a failure was caught.
    bool importFromFile();

    const CZYNWCharString& getFileName() const { return fileName; }

private:
    // Every value of the key of the five types, as entries of `section`.
    void exportValues(HKEY hRoot, const CZYNWCharString& szPath, const CZYNWCharString& section);
    // One entry into the file, through a CZYNIni of its own.
    void writeEntry(const CZYNWCharString& section, const CZYNWCharString& name,
                    const CZYNWCharString& text);
    // The key a section names, created when missing, and every line of it
    // written into the registry.
    void importSection(const CZYNWCharString& section);

    CZYNWCharString fileName;  // the text file's path
};

#endif
