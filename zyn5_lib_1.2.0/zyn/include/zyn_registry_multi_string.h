// zyn_registry_multi_string.h - CZYNRegistryMultiString: a REG_MULTI_SZ
// registry value cached as a list of strings, and CZYNRegNamedStringList,
// the record of getMultiStringValues. Source file of the records:
// zyn_registry_multi_string.cpp.
//
// Stored form: each string's code units and its NUL, in list order, then one
// more NUL ("a", "bc" is a NUL b c NUL NUL, 12 bytes); an empty list is 0
// bytes. A string of length 0 cannot be stored between others (two NULs end
// the value), so it is left out.
#ifndef ZYN_REGISTRY_MULTI_STRING_H
#define ZYN_REGISTRY_MULTI_STRING_H

#include <windows.h>

#include "zyn_buffer.h"
#include "zyn_dbllist.h"
#include "zyn_registry_value.h"
#include "zyn_wchar_string.h"

// One REG_MULTI_SZ value of a key: its name and its strings, tagged 0, 1, 2, ...
struct CZYNRegNamedStringList {
    CZYNWCharString name;
    CZYNDblList<CZYNObjNode<CZYNWCharString>> strings;

    bool operator==(const CZYNRegNamedStringList& other) const {
        return name == other.name && strings == other.strings;
    }
};

class CZYNRegistryMultiString : public CZYNRegistryValue {
public:
    // The strings of a value, tagged with their 0-based position.
    using StringList = CZYNDblList<CZYNObjNode<CZYNWCharString>>;
    // Records tagged with their 0-based position.
    using NamedStringListList = CZYNDblList<CZYNObjNode<CZYNRegNamedStringList>>;

    // As CZYNRegistryValue; the cache is the empty list and not valid.
    CZYNRegistryMultiString(HKEY hRoot, const CZYNWCharString& szPath,
                            const CZYNWCharString& szValueName, REGSAM samAccess,
                            bool bCreateIfMissing, DWORD ulOptions);

    // Every REG_MULTI_SZ value of the key (the value name plays no part), in
    // the registry's order, each split into its strings. False when the key
    // has no named values.
    bool getMultiStringValues(NamedStringListList& list);
    // The stored strings into the cache, which then is valid. A missing value
    // with createIfMissing is stored as an empty list. A failed read leaves
    // the cache as it was.
    bool readRegistry() override;
    // A copy of strings into the cache, then (unless bCacheOnly) into the
    // registry. bCacheOnly: false, nothing written, cacheValid unchanged.
    bool setValue(const StringList& strings, bool bCacheOnly);
    // The cache stored as REG_MULTI_SZ; makes the cache valid.
    bool writeRegistry() override;

    // Whether the cache is known to equal the stored value.
    bool isCacheValid() const { return cacheValid; }
    // The cached strings, as the last read or setValue left them.
    const StringList& getCachedList() const { return m_lstRegMultiStringCache; }

protected:
    bool cacheValid;                      // set by readRegistry and writeRegistry
    StringList m_lstRegMultiStringCache;  // the strings

private:
    // list = the strings of REG_MULTI_SZ data, tagged 0, 1, 2, ...: each run
    // of code units ended by a NUL, up to two NULs in a row or the end of
    // the data; a last string stored without its NUL is kept. (An odd last
    // byte is a code unit of its own.)
    static bool splitMultiString(const CZYNBuffer<BYTE>& data, StringList& list);
    // data = the stored form of the list.
    static bool buildMultiString(const StringList& list, CZYNBuffer<BYTE>& data);
};

#endif
