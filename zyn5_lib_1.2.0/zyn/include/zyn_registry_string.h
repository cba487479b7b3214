// zyn_registry_string.h - CZYNRegistryString: a REG_SZ registry value with a
// text cache, and CZYNRegNamedString, the record of getStringValues.
//
// Texts of up to 259 characters are read (the read buffer holds 260
// characters with the terminator); data of another type is read as text up
// to its first NUL. Source file of the records: zyn_registry_string.cpp.
#ifndef ZYN_REGISTRY_STRING_H
#define ZYN_REGISTRY_STRING_H

#include <windows.h>

#include "zyn_dbllist.h"
#include "zyn_registry_value.h"
#include "zyn_wchar_string.h"

// One REG_SZ value of a key: its name and its text.
struct CZYNRegNamedString {
    CZYNWCharString name;
    CZYNWCharString text;

    bool operator==(const CZYNRegNamedString& other) const {
        return name == other.name && text == other.text;
    }
};

class CZYNRegistryString : public CZYNRegistryValue {
public:
    // Records tagged with their 0-based position.
    using NamedStringList = CZYNDblList<CZYNObjNode<CZYNRegNamedString>>;

    // As CZYNRegistryValue; the cache is empty and not valid.
    CZYNRegistryString(HKEY hRoot, const CZYNWCharString& szPath,
                       const CZYNWCharString& szValueName, REGSAM samAccess, bool bCreateIfMissing,
                       DWORD ulOptions);

    // The text: the cache when bUseCache and the cache is valid, else read
    // from the registry first. False, with out untouched, when it cannot be read.
    bool getValue(CZYNWCharString& out, bool bUseCache);
    // The text into the cache, then (unless bCacheOnly) into the registry.
    // bCacheOnly: true, nothing written, cacheValid unchanged.
    bool setValue(const CZYNWCharString& value, bool bCacheOnly);
    // The stored text into the cache. A missing value with createIfMissing
    // is stored as an empty REG_SZ. Does not make the cache valid.
    bool readRegistry() override;
    // The cache stored as REG_SZ, terminator included (an empty cache stores
    // 0 bytes); makes the cache valid.
    bool writeRegistry() override;
    // Every REG_SZ value of the key (the value name plays no part), in the
    // registry's order. False when the key has no named values.
    bool getStringValues(NamedStringList& list);

    // Whether the cache is known to equal the stored value.
    bool isCacheValid() const { return cacheValid; }

protected:
    // The record of a REG_SZ or REG_EXPAND_SZ entry: its name and its data
    // taken as UTF-16 text up to the first NUL.
    static CZYNRegNamedString namedText(const CZYNRegValueEntry& entry);
    // With the key open: the cache stored as ulType (the text and one
    // terminator), then the cache made valid. A refusal throws
    // CZYNRegValueSetException naming szObject, at szSource and ulLine.
    void storeText(DWORD ulType, const WCHAR* szObject, const WCHAR* szSource, DWORD ulLine);

    bool cacheValid;                     // set by writeRegistry; nothing clears it
    CZYNWCharString m_szRegStringCache;  // the text
};

#endif
