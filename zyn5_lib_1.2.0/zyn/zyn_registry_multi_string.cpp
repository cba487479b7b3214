// zyn_registry_multi_string.cpp - CZYNRegistryMultiString: a REG_MULTI_SZ
// value and its list cache.
//
// Implements: construction, the split of stored data into strings and the
// building of it from strings, getMultiStringValues, readRegistry, setValue
// and writeRegistry. The records carry the source lines this file has always
// reported.
#include "zyn_registry_multi_string.h"

#include <cstring>
#include <new>

#include "zyn_failure.h"
#include "zyn_log_exception.h"

static const WCHAR* const SOURCE = TEXT("zyn_registry_multi_string.cpp");

namespace {

using Node = CZYNObjNode<CZYNWCharString>;

const Node* nextOf(const Node* pNode) { return static_cast<const Node*>(pNode->getNext()); }

}  // namespace

CZYNRegistryMultiString::CZYNRegistryMultiString(HKEY hRoot, const CZYNWCharString& szPath,
                                                 const CZYNWCharString& szValueName,
                                                 REGSAM samAccess, bool bCreateIfMissing,
                                                 DWORD ulOptions)
    : CZYNRegistryValue(hRoot, szPath, szValueName, samAccess, bCreateIfMissing, ulOptions),
      cacheValid(false),
      m_lstRegMultiStringCache() {}

bool CZYNRegistryMultiString::splitMultiString(const CZYNBuffer<BYTE>& data, StringList& list) {
    return zyn::guard({SOURCE, 229, zyn::LastError}, false, [&] {
        list.clear();
        const CZYNBuffer<WCHAR> units(data);
        const WCHAR* p = units.getBuffer();
        const ULONG ulUnits = units.getCount();
        auto add = [&](ULONG ulStart, ULONG ulEnd) {
            const CZYNBuffer<WCHAR> piece(p + ulStart, ulEnd - ulStart, 0);
            return list.add(CZYNWCharString(piece), list.getCount());
        };
        ULONG ulStart = 0;
        for (ULONG i = 0; i < ulUnits; ++i) {
            if (p[i] != 0) continue;
            if (!add(ulStart, i)) return false;
            if (i + 1 < ulUnits && p[i + 1] == 0) return true;
            ulStart = i + 1;
        }
        // Units after the last NUL are a string stored without its NUL.
        return ulStart == ulUnits || add(ulStart, ulUnits);
    });
}

bool CZYNRegistryMultiString::buildMultiString(const StringList& list, CZYNBuffer<BYTE>& data) {
    return zyn::guard({SOURCE, 285, zyn::LastError}, false, [&] {
        // Each string of length 0 is left out: its NUL next to another would
        // end the value there, and the strings after it would be lost.
        ULONGLONG ullUnits = list.getCount() ? 1 : 0;
        for (const Node* pNode = list.getNodeAt(0); pNode; pNode = nextOf(pNode)) {
            const ULONG ulLength = pNode->getObject()->getLength();
            if (ulLength) ullUnits += ulLength + 1;
        }
        if (ullUnits * sizeof(WCHAR) > 0xFFFFFFFFull)
            throw CZYNMemAllocException(TEXT("m_pBuffer"), SOURCE, __LINE__);
        CZYNBuffer<BYTE> built(static_cast<ULONG>(ullUnits * sizeof(WCHAR)));
        // The buffer is zeroed, so each string's NUL and the final one are
        // in place already.
        BYTE* pAt = built.getBuffer();
        for (const Node* pNode = list.getNodeAt(0); pNode; pNode = nextOf(pNode)) {
            const CZYNWCharString& text = *pNode->getObject();
            const ULONG ulLength = text.getLength();
            if (!ulLength) continue;
            std::memcpy(pAt, text.getText(), ulLength * sizeof(WCHAR));
            pAt += (ulLength + 1) * sizeof(WCHAR);
        }
        return data.copyFrom(built);
    });
}

bool CZYNRegistryMultiString::getMultiStringValues(NamedStringListList& list) {
    return listValuesOfType(list, REG_MULTI_SZ, {SOURCE, 360, zyn::LastError},
                            [](const CZYNRegValueEntry& entry) {
                                CZYNRegNamedStringList record{entry.name, {}};
                                // The split has written why it failed (memory ran out).
                                if (!splitMultiString(entry.data, record.strings))
                                    throw std::bad_alloc();
                                return record;
                            });
}

bool CZYNRegistryMultiString::readRegistry() {
    DWORD ulMax = 0;
    if (!getMaxValueLength(ulMax)) ulMax = 0;
    return onOpenKey({SOURCE, 531, zyn::LastError}, [&] {
        // A buffer for the largest data of the key.
        CZYNBuffer<BYTE> data(ulMax);
        const LONG rc = queryData(data);
        if (rc == ERROR_FILE_NOT_FOUND) {
            // Stored as an empty list (the nested write closes the key).
            if (!createIfMissing) return false;
            cacheValid = setValue(StringList(), false);
            return cacheValid;
        }
        if (rc != ERROR_SUCCESS) return false;
        StringList strings;
        cacheValid = splitMultiString(data, strings) && copyInto(m_lstRegMultiStringCache, strings);
        return cacheValid;
    });
}

bool CZYNRegistryMultiString::setValue(const StringList& strings, bool bCacheOnly) {
    // Unlike the other value classes, changing the cache alone answers false.
    return setThroughCache(strings, bCacheOnly, m_lstRegMultiStringCache,
                           {SOURCE, 751, zyn::LastError}) &&
           !bCacheOnly;
}

bool CZYNRegistryMultiString::writeRegistry() {
    return onOpenKey({SOURCE, 810, zyn::LastError}, [&] {
        CZYNBuffer<BYTE> data;
        if (!buildMultiString(m_lstRegMultiStringCache, data)) return false;
        storeValue(REG_MULTI_SZ, data.getBuffer(), data.getCount(), TEXT("CZYNRegistryMultiString"),
                   SOURCE, 799);
        cacheValid = true;
        return true;
    });
}
