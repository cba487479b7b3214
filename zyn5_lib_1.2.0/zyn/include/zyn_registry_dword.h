// zyn_registry_dword.h - CZYNRegistryDword: a REG_DWORD registry value with a
// number cache, and CZYNRegNamedDword, the record of getDwordValues. Source
// file of the records: zyn_registry_dword.cpp.
#ifndef ZYN_REGISTRY_DWORD_H
#define ZYN_REGISTRY_DWORD_H

#include <windows.h>

#include "zyn_dbllist.h"
#include "zyn_registry_value.h"
#include "zyn_wchar_string.h"

// One REG_DWORD value of a key: its name and its number.
struct CZYNRegNamedDword {
    CZYNWCharString name;
    DWORD number;

    bool operator==(const CZYNRegNamedDword& other) const {
        return name == other.name && number == other.number;
    }
};

class CZYNRegistryDword : public CZYNRegistryValue {
public:
    // Records tagged with their 0-based position.
    using NamedDwordList = CZYNDblList<CZYNObjNode<CZYNRegNamedDword>>;

    // As CZYNRegistryValue; the cache is 0 and not valid.
    CZYNRegistryDword(HKEY hRoot, const CZYNWCharString& szPath, const CZYNWCharString& szValueName,
                      REGSAM samAccess, bool bCreateIfMissing, DWORD ulOptions);

    // The number: the cache when bUseCache and the cache is valid, else read
    // from the registry first. False, with out untouched, when it cannot be read.
    bool getValue(DWORD& out, bool bUseCache);
    // The number into the cache, then (unless bCacheOnly) into the registry.
    // bCacheOnly: true, nothing written, cacheValid unchanged.
    bool setValue(DWORD value, bool bCacheOnly);
    // The stored number into the cache and makes it valid. A missing value
    // with createIfMissing is stored as 0. Data longer than 4 bytes is refused.
    bool readRegistry() override;
    // The cache stored as REG_DWORD; makes the cache valid.
    bool writeRegistry() override;
    // Every REG_DWORD value of the key (the value name plays no part), in the
    // registry's order. False when the key has no named values, or one of
    // them holds fewer than 4 bytes.
    bool getDwordValues(NamedDwordList& list);

    // Whether the cache is known to equal the stored value.
    bool isCacheValid() const { return cacheValid; }

protected:
    bool cacheValid;          // set by readRegistry and writeRegistry; nothing clears it
    DWORD m_ulRegDwordCache;  // the number
};

#endif
