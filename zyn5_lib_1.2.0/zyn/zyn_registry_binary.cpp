// zyn_registry_binary.cpp - CZYNRegistryBinary: a REG_BINARY value and its
// byte cache.
//
// Implements: construction, getBinaryValues, readRegistry, setValue and
// writeRegistry. The records carry the source lines this file has always
// reported.
#include "zyn_registry_binary.h"

#include "zyn_failure.h"
#include "zyn_log_exception.h"

static const WCHAR* const SOURCE = TEXT("zyn_registry_binary.cpp");

CZYNRegistryBinary::CZYNRegistryBinary(HKEY hRoot, const CZYNWCharString& szPath,
                                       const CZYNWCharString& szValueName, REGSAM samAccess,
                                       bool bCreateIfMissing, DWORD ulOptions)
    : CZYNRegistryValue(hRoot, szPath, szValueName, samAccess, bCreateIfMissing, ulOptions),
      cacheValid(false),
      m_bufRegBinaryCache() {}

bool CZYNRegistryBinary::getBinaryValues(NamedBinaryList& list) {
    return listValuesOfType(list, REG_BINARY, {SOURCE, 207, zyn::LastError},
                            [](const CZYNRegValueEntry& entry) {
                                return CZYNRegNamedBinary{entry.name, entry.data};
                            });
}

bool CZYNRegistryBinary::readRegistry() {
    return onOpenKey({SOURCE, 364, zyn::LastError}, [&] {
        // The size first (0 when it cannot be had), then the data.
        DWORD ulSize = 0;
        if (RegQueryValueExW(handle, valueName.getText(), nullptr, nullptr, nullptr, &ulSize) !=
            ERROR_SUCCESS)
            ulSize = 0;
        CZYNBuffer<BYTE> data(ulSize);
        const LONG rc = queryData(data);
        if (rc == ERROR_FILE_NOT_FOUND) {
            // Stored as 0 bytes.
            if (!createIfMissing) return false;
            m_bufRegBinaryCache.release();
            return writeRegistry();
        }
        if (rc != ERROR_SUCCESS) return false;
        cacheValid = copyInto(m_bufRegBinaryCache, data);
        return cacheValid;
    });
}

bool CZYNRegistryBinary::setValue(const CZYNBuffer<BYTE>& data, bool bCacheOnly) {
    return setThroughCache(data, bCacheOnly, m_bufRegBinaryCache,
                           {SOURCE, __LINE__, zyn::LastError});
}

bool CZYNRegistryBinary::writeRegistry() {
    return onOpenKey({SOURCE, 459, zyn::LastError}, [&] {
        storeValue(REG_BINARY, m_bufRegBinaryCache.getBuffer(), m_bufRegBinaryCache.getCount(),
                   TEXT("CZYNRegistryBinary"), SOURCE, 445);
        cacheValid = true;
        return true;
    });
}
