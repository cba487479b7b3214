// zyn_registry_value.h - CZYNRegistryValue: the abstract base of the typed
// registry value classes. A value object is the key that holds the value
// (everything of CZYNRegistryKey) plus the value's name; each concrete class
// keeps a typed copy of the value (the cache), loads it with readRegistry,
// stores it with writeRegistry, and offers getValue and setValue, which go
// through the cache.
#ifndef ZYN_REGISTRY_VALUE_H
#define ZYN_REGISTRY_VALUE_H

#include <windows.h>

#include "zyn_failure.h"
#include "zyn_registry_key.h"
#include "zyn_wchar_string.h"

class CZYNRegistryValue : public CZYNRegistryKey {
public:
    // Root, key path, access, createIfMissing and options go to the key (whose
    // CZYNRegKeyInitException reaches the caller); the value name is copied
    // (an empty name is the key's default value). A name that cannot be
    // copied is written to the log and not passed on. The registry is not
    // touched.
    CZYNRegistryValue(HKEY hRoot, const CZYNWCharString& szPath, const CZYNWCharString& szValueName,
                      REGSAM samAccess, bool bCreateIfMissing, DWORD ulOptions);

    // Loads the value into the cache: the key opened if closed, closed on return.
    virtual bool readRegistry() = 0;
    // Stores the cache as the value: the key opened if closed, closed on return.
    virtual bool writeRegistry() = 0;

    const CZYNWCharString& getValueName() const { return valueName; }

protected:
    // getValue of every value class: the cache when bUseCache and the cache
    // is valid; otherwise readRegistry, then the cache. False, with out
    // untouched, when the value cannot be read; a failure not caught below
    // is reported at `site`.
    template <class T>
    bool getThroughCache(T& out, bool bUseCache, const T& cache, const bool& bCacheValid,
                         const zyn::Site& site) {
        return zyn::guard(site, false, [&] {
            if (!(bUseCache && bCacheValid) && !readRegistry()) return false;
            return copyInto(out, cache);
        });
    }

    // setValue of every value class: the value into the cache; then, unless
    // bCacheOnly, writeRegistry. bCacheOnly leaves cacheValid alone.
    template <class T>
    bool setThroughCache(const T& value, bool bCacheOnly, T& cache, const zyn::Site& site) {
        return zyn::guard(site, false, [&] {
            if (!copyInto(cache, value)) return false;
            return bCacheOnly || writeRegistry();
        });
    }

    // to = from, saying whether the copy is whole (a string or number is
    // compared afterwards; a buffer or list reports its own copy).
    template <class T>
    static bool copyInto(T& to, const T& from) {
        to = from;
        return to == from;
    }
    template <class E>
    static bool copyInto(CZYNBuffer<E>& to, const CZYNBuffer<E>& from) {
        return to.copyFrom(from);
    }
    template <class Node>
    static bool copyInto(CZYNDblList<Node>& to, const CZYNDblList<Node>& from) {
        return to.copyFrom(from);
    }

    // The read of the classes that keep data of any length, with the key
    // open: the value's data into `data`, whose count is the room there is
    // (none: the size is only asked). ERROR_SUCCESS with data cut to the
    // value's own length; ERROR_MORE_DATA when it does not fit, so nothing
    // is ever taken from past the buffer; otherwise the query's result.
    LONG queryData(CZYNBuffer<BYTE>& data);

    // The write every value class makes with its key open: ulBytes bytes at
    // pData stored as the value, of type ulType. A refusal throws
    // CZYNRegValueSetException naming szObject and "writeRegistry", with the
    // writing class's source file and line.
    void storeValue(DWORD ulType, const BYTE* pData, DWORD ulBytes, const WCHAR* szObject,
                    const WCHAR* szSource, DWORD ulLine);

    // The key-level listing of every value class: list emptied, then one
    // record per value of the key whose type is ulType, in the registry's
    // order, tagged 0, 1, 2, ...; `record` makes a record from a value entry
    // and may throw (the entry's data does not fit the type), which fails
    // the listing. The value name plays no part.
    template <class Record, class MakeRecord>
    bool listValuesOfType(CZYNDblList<CZYNObjNode<Record>>& list, DWORD ulType,
                          const zyn::Site& site, MakeRecord record) {
        return zyn::guard(site, false, [&] {
            list.clear();
            ValueEntryList entries;
            if (!queryMultipleValues(entries)) return false;
            LONG lTag = 0;
            for (bool bMore = entries.moveFirst(); bMore; bMore = entries.moveNext()) {
                const CZYNRegValueEntry& entry = *entries.getCurrentObject();
                if (entry.type != ulType) continue;
                if (!list.add(record(entry), lTag++)) return false;
            }
            return true;
        });
    }

    CZYNWCharString valueName;  // the value's name; empty names the default value
};

#endif
