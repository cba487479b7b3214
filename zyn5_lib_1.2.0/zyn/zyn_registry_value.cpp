// zyn_registry_value.cpp - CZYNRegistryValue: the key that holds a value,
// plus the value's name.
#include "zyn_registry_value.h"

#include "zyn_log_exception.h"

static const WCHAR* const SOURCE = TEXT("zyn_registry_value.cpp");

CZYNRegistryValue::CZYNRegistryValue(HKEY hRoot, const CZYNWCharString& szPath,
                                     const CZYNWCharString& szValueName, REGSAM samAccess,
                                     bool bCreateIfMissing, DWORD ulOptions)
    : CZYNRegistryKey(hRoot, szPath, samAccess, bCreateIfMissing, ulOptions), valueName() {
    zyn::attempt({SOURCE, 82, zyn::LastError}, [&] { valueName = szValueName; });
    // A name that could not be copied has written its record. The object
    // then names no key, so that it never reads or writes the key's default
    // value in place of the value it was made for.
    if (!(valueName == szValueName)) root = nullptr;
}

void CZYNRegistryValue::storeValue(DWORD ulType, const BYTE* pData, DWORD ulBytes,
                                   const WCHAR* szObject, const WCHAR* szSource, DWORD ulLine) {
    const LONG rc = RegSetValueExW(handle, valueName.getText(), 0, ulType, pData, ulBytes);
    if (rc != ERROR_SUCCESS)
        throw CZYNRegValueSetException(path.getText(), valueName.getText(), rc, szObject,
                                       TEXT("writeRegistry"), szSource, ulLine);
}

LONG CZYNRegistryValue::queryData(CZYNBuffer<BYTE>& data) {
    DWORD ulBytes = data.getCount();
    const LONG rc =
        RegQueryValueExW(handle, valueName.getText(), nullptr, nullptr, data.getBuffer(), &ulBytes);
    // Without a buffer the call answers success with the size alone.
    if (rc == ERROR_SUCCESS && ulBytes > data.getCount()) return ERROR_MORE_DATA;
    if (rc == ERROR_SUCCESS && ulBytes < data.getCount() && !data.resize(ulBytes))
        return ERROR_NOT_ENOUGH_MEMORY;
    return rc;
}
