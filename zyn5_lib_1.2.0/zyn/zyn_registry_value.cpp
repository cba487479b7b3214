// zyn_registry_value.cpp - CZYNRegistryValue: the key that holds a value,
// plus the value's name.
#include "zyn_registry_value.h"

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
