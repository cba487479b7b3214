// zyn_registry_dword.cpp - CZYNRegistryDword: a REG_DWORD value and its
// number cache.
//
// Implements: construction, getDwordValues, getValue, readRegistry, setValue
// and writeRegistry. A read goes through a number of its own, so that a read
// that fails never changes the cache, and data shorter than 4 bytes reads as
// the number its bytes make.
#include "zyn_registry_dword.h"

#include "zyn_failure.h"
#include "zyn_log_exception.h"

static const WCHAR* const SOURCE = TEXT("zyn_registry_dword.cpp");

CZYNRegistryDword::CZYNRegistryDword(HKEY hRoot, const CZYNWCharString& szPath,
                                     const CZYNWCharString& szValueName, REGSAM samAccess,
                                     bool bCreateIfMissing, DWORD ulOptions)
    : CZYNRegistryValue(hRoot, szPath, szValueName, samAccess, bCreateIfMissing, ulOptions),
      cacheValid(false),
      m_ulRegDwordCache(0) {}

bool CZYNRegistryDword::getDwordValues(NamedDwordList& list) {
    return listValuesOfType(list, REG_DWORD, {SOURCE, 215, zyn::LastError},
                            [](const CZYNRegValueEntry& entry) {
                                // The first 4 bytes, little-endian; fewer throw
                                // the buffer's index record.
                                DWORD ulNumber = 0;
                                for (ULONG i = 4; i-- > 0;)
                                    ulNumber = (ulNumber << 8) | entry.data.getAt(i);
                                return CZYNRegNamedDword{entry.name, ulNumber};
                            });
}

bool CZYNRegistryDword::getValue(DWORD& out, bool bUseCache) {
    return getThroughCache(out, bUseCache, m_ulRegDwordCache, cacheValid,
                           {SOURCE, __LINE__, zyn::LastError});
}

bool CZYNRegistryDword::readRegistry() {
    return onOpenKey({SOURCE, 323, zyn::LastError}, [&] {
        DWORD ulRead = 0;
        DWORD ulBytes = sizeof(ulRead);
        const LONG rc = RegQueryValueExW(handle, valueName.getText(), nullptr, nullptr,
                                         reinterpret_cast<BYTE*>(&ulRead), &ulBytes);
        if (rc == ERROR_SUCCESS) {
            m_ulRegDwordCache = ulRead;
            cacheValid = true;
            return true;
        }
        // A missing value is stored as 0.
        if (rc == ERROR_FILE_NOT_FOUND && createIfMissing) {
            m_ulRegDwordCache = 0;
            return writeRegistry();
        }
        return false;
    });
}

bool CZYNRegistryDword::setValue(DWORD value, bool bCacheOnly) {
    return setThroughCache(value, bCacheOnly, m_ulRegDwordCache,
                           {SOURCE, __LINE__, zyn::LastError});
}

bool CZYNRegistryDword::writeRegistry() {
    return onOpenKey({SOURCE, 418, zyn::LastError}, [&] {
        storeValue(REG_DWORD, reinterpret_cast<const BYTE*>(&m_ulRegDwordCache),
                   sizeof(m_ulRegDwordCache), TEXT("CZYNRegistryDword"), SOURCE, 404);
        cacheValid = true;
        return true;
    });
}
