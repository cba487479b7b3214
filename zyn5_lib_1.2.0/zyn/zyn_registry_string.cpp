// zyn_registry_string.cpp - CZYNRegistryString: a REG_SZ value and its text
// cache.
//
// Implements: construction, getStringValues, getValue, readRegistry,
// setValue and writeRegistry. The text is read into a buffer of 260
// characters (520 bytes), with one more character behind it that the
// registry never fills: text stored without a terminator, up to the whole
// 520 bytes, still ends inside the buffer.
#include "zyn_registry_string.h"

#include <cstring>

#include "zyn_failure.h"
#include "zyn_log_exception.h"

static const WCHAR* const SOURCE = TEXT("zyn_registry_string.cpp");

namespace {

// Characters the registry may write into the read buffer.
const DWORD kReadUnits = 260;

}  // namespace

CZYNRegistryString::CZYNRegistryString(HKEY hRoot, const CZYNWCharString& szPath,
                                       const CZYNWCharString& szValueName, REGSAM samAccess,
                                       bool bCreateIfMissing, DWORD ulOptions)
    : CZYNRegistryValue(hRoot, szPath, szValueName, samAccess, bCreateIfMissing, ulOptions),
      cacheValid(false),
      m_szRegStringCache() {}

bool CZYNRegistryString::getStringValues(NamedStringList& list) {
    return listValuesOfType(list, REG_SZ, {SOURCE, 209, zyn::LastError}, namedText);
}

CZYNRegNamedString CZYNRegistryString::namedText(const CZYNRegValueEntry& entry) {
    // The data bytes as UTF-16 code units, up to the first NUL.
    const CZYNBuffer<WCHAR> units(entry.data);
    return CZYNRegNamedString{entry.name, CZYNWCharString(units)};
}

bool CZYNRegistryString::getValue(CZYNWCharString& out, bool bUseCache) {
    return getThroughCache(out, bUseCache, m_szRegStringCache, cacheValid,
                           {SOURCE, 260, zyn::LastError});
}

bool CZYNRegistryString::readRegistry() {
    return onOpenKey({SOURCE, 321, zyn::LastError}, [&] {
        CZYNBuffer<WCHAR> buffer(kReadUnits + 1);
        DWORD ulBytes = kReadUnits * sizeof(WCHAR);
        const LONG rc = RegQueryValueExW(handle, valueName.getText(), nullptr, nullptr,
                                         reinterpret_cast<BYTE*>(buffer.getBuffer()), &ulBytes);
        if (rc == ERROR_SUCCESS) {
            // Whatever the stored type, the text up to the first NUL.
            const CZYNWCharString text(buffer.getBuffer());
            m_szRegStringCache = text;
            return m_szRegStringCache == text;
        }
        // A missing value is stored empty (the nested write closes the key).
        if (rc == ERROR_FILE_NOT_FOUND && createIfMissing)
            return setValue(CZYNWCharString(), false);
        return false;
    });
}

bool CZYNRegistryString::setValue(const CZYNWCharString& value, bool bCacheOnly) {
    return setThroughCache(value, bCacheOnly, m_szRegStringCache, {SOURCE, 376, zyn::LastError});
}

bool CZYNRegistryString::writeRegistry() {
    return onOpenKey({SOURCE, 434, zyn::LastError}, [&] {
        storeText(REG_SZ, TEXT("CZYNRegistryValue"), SOURCE, 419);
        return true;
    });
}

void CZYNRegistryString::storeText(DWORD ulType, const WCHAR* szObject, const WCHAR* szSource,
                                   DWORD ulLine) {
    // The text and one terminator: never the cache's slack behind its
    // terminator, nor anything past a cache that lost its terminator. An
    // empty cache stores 0 bytes.
    const ULONG ulLength = m_szRegStringCache.getLength();
    CZYNBuffer<WCHAR> stored(m_szRegStringCache.isValid() ? ulLength + 1 : 0);
    if (ulLength)
        std::memcpy(stored.getBuffer(), m_szRegStringCache.getBuffer(), ulLength * sizeof(WCHAR));
    storeValue(ulType, reinterpret_cast<const BYTE*>(stored.getBuffer()),
               stored.getCount() * sizeof(WCHAR), szObject, szSource, ulLine);
    cacheValid = true;
}
