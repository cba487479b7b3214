// zyn_registry_expand.h - CZYNRegistryStringExpand: a REG_EXPAND_SZ registry
// value, text holding %NAME% environment-variable references, with the text
// cache and the read of CZYNRegistryString and expansion on reading. Source
// file of the records: zyn_registry_expand.cpp.
#ifndef ZYN_REGISTRY_EXPAND_H
#define ZYN_REGISTRY_EXPAND_H

#include <windows.h>

#include "zyn_registry_string.h"
#include "zyn_wchar_string.h"

class CZYNRegistryStringExpand : public CZYNRegistryString {
public:
    // As CZYNRegistryValue; the cache is empty and not valid.
    CZYNRegistryStringExpand(HKEY hRoot, const CZYNWCharString& szPath,
                             const CZYNWCharString& szValueName, REGSAM samAccess,
                             bool bCreateIfMissing, DWORD ulOptions);

    // The stored text, as CZYNRegistryString::getValue gives it; with
    // bExpand, its references replaced by the variables' values
    // (ExpandEnvironmentStringsW: undefined ones stay as they are). False,
    // with out untouched, when the text cannot be read or expanded.
    bool getValue(CZYNWCharString& out, bool bUseCache, bool bExpand);
    // The cache stored as REG_EXPAND_SZ (the text and one terminator); makes
    // the cache valid. A text without '%', or with an odd number of them, is
    // a logged bad argument and nothing is stored. So a missing value is
    // never created by a read with createIfMissing: an empty text is refused.
    bool writeRegistry() override;
    // Every REG_EXPAND_SZ value of the key (the value name plays no part), in
    // the registry's order, tagged 0, 1, 2, ...; with bExpand each text
    // expanded (kept as stored when it cannot be). False when the key has no
    // named values.
    bool getExpandStringValues(NamedStringList& list, bool bExpand);

private:
    // out = text with its references expanded; false, out untouched, when
    // the expansion fails or its length changes between the two calls.
    static bool expandText(const CZYNWCharString& text, CZYNWCharString& out);
};

#endif
