// zyn_ini.h - CZYNIni: reads and writes one INI file through the Win32
// private-profile functions.
//
// Every operation is traced (object "CZYNIni"), catches its own failures,
// writes them to the log and answers false; an output parameter is left as
// it was whenever the answer is false. Only the constructor lets an exception
// out: the CZYNBufferInitException of a path that cannot be copied. Nothing is
// cached: every call rereads the file through the system.
#ifndef ZYN_INI_H
#define ZYN_INI_H

#include <windows.h>

#include "zyn_dbllist.h"
#include "zyn_wchar_string.h"

class CZYNIni {
public:
    // The list the section and section-name reads fill: one string per entry,
    // in file order, each node tagged with its 0-based position.
    using StringList = CZYNDblList<CZYNObjNode<CZYNWCharString>>;

    // The file path is copied and passed unchanged to every call (a name
    // without a folder means the Windows directory, as the system has it).
    // Throws CZYNBufferInitException when the path cannot be copied.
    explicit CZYNIni(const CZYNWCharString& szIniFile);
    virtual ~CZYNIni();
    CZYNIni(const CZYNIni&) = delete;
    CZYNIni& operator=(const CZYNIni&) = delete;

    // Makes sure the section exists: a missing one is added without entries;
    // an existing one keeps its entries.
    virtual bool createProfileSection(const CZYNWCharString& section);
    // The value as the system reads an integer (leading decimal digits, 0 for
    // text without them). False for a missing key and for the value -1, which
    // is indistinguishable from it (a "GetPrivateProfileInt( ) failed." record).
    virtual bool getProfileInt(const CZYNWCharString& section, const CZYNWCharString& key,
                               LONG& lValue);
    // The section's lines ("key=value", or the bare text of a line without an
    // equals sign), in file order, replacing the list's content. False, with
    // the list as it was, for a missing or empty section, and for one whose
    // text (NULs included) reaches 32765 units, which the 32767-unit buffer
    // cannot tell from a cut one.
    virtual bool getProfileSection(const CZYNWCharString& section, StringList& list);
    // The names of the file's sections, in file order, replacing the list's
    // content. False, with the list as it was, when the file has none.
    virtual bool getProfileSectionNames(StringList& list);
    // The value. False, with szValue as it was, for a missing key or section,
    // an empty value, a value of 1022 characters or more, and the value
    // "Not Found" (the marker of a missing key).
    virtual bool getProfileString(const CZYNWCharString& section, const CZYNWCharString& key,
                                  CZYNWCharString& szValue);
    // Writes the decimal text of lValue ("-5").
    virtual bool setProfileInt(const CZYNWCharString& section, const CZYNWCharString& key,
                               LONG lValue);
    // Writes the value. A key without text removes the whole section; a value
    // without text removes the key.
    virtual bool setProfileString(const CZYNWCharString& section, const CZYNWCharString& key,
                                  const CZYNWCharString& value);

    // The file path as given.
    const CZYNWCharString& getIniFile() const { return m_szIniFile; }

private:
    CZYNWCharString m_szIniFile;
};

#endif
