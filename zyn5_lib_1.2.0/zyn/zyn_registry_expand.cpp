// zyn_registry_expand.cpp - CZYNRegistryStringExpand: a REG_EXPAND_SZ value,
// read as CZYNRegistryString reads text and expanded on request.
//
// Implements: construction, getExpandStringValues, getValue, writeRegistry
// and the expansion they share.
#include "zyn_registry_expand.h"

#include "zyn_failure.h"
#include "zyn_log_exception.h"

static const WCHAR* const SOURCE = TEXT("zyn_registry_expand.cpp");

CZYNRegistryStringExpand::CZYNRegistryStringExpand(HKEY hRoot, const CZYNWCharString& szPath,
                                                   const CZYNWCharString& szValueName,
                                                   REGSAM samAccess, bool bCreateIfMissing,
                                                   DWORD ulOptions)
    : CZYNRegistryString(hRoot, szPath, szValueName, samAccess, bCreateIfMissing, ulOptions) {}

bool CZYNRegistryStringExpand::getExpandStringValues(NamedStringList& list, bool bExpand) {
    return listValuesOfType(list, REG_EXPAND_SZ, {SOURCE, 156, zyn::LastError},
                            [&](const CZYNRegValueEntry& entry) {
                                CZYNRegNamedString record = namedText(entry);
                                // The listed text itself is expanded, whatever its
                                // length; one that cannot be stays as stored.
                                if (bExpand) expandText(record.text, record.text);
                                return record;
                            });
}

bool CZYNRegistryStringExpand::getValue(CZYNWCharString& out, bool bUseCache, bool bExpand) {
    return zyn::guard({SOURCE, 218, zyn::LastError}, false, [&] {
        CZYNWCharString text;
        if (!CZYNRegistryString::getValue(text, bUseCache)) return false;
        return bExpand ? expandText(text, out) : copyInto(out, text);
    });
}

bool CZYNRegistryStringExpand::writeRegistry() {
    return onOpenKey({SOURCE, 287, zyn::LastError}, [&] {
        // A reference is a pair of '%'.
        const ULONG ulPercents = m_szRegStringCache.getOccurrenceCount(CZYNWCharString(TEXT("%")));
        if (ulPercents == 0 || ulPercents % 2 != 0)
            throw CZYNBadArgException(
                TEXT("m_szRegStringCache"),
                TEXT("value doesn't represent an expandable value which is required"), SOURCE, 256);
        storeText(REG_EXPAND_SZ, TEXT("CZYNRegistryStringExpand"), SOURCE, 273);
        return true;
    });
}

bool CZYNRegistryStringExpand::expandText(const CZYNWCharString& text, CZYNWCharString& out) {
    // The size asked first (terminator included), then the expansion into a
    // buffer one unit larger, which must come out at exactly that size.
    // text may be out itself: it is read before out is written.
    const DWORD ulNeeded = ExpandEnvironmentStringsW(text.getText(), nullptr, 0);
    if (ulNeeded == 0 || ulNeeded == 0xFFFFFFFF) return false;
    CZYNBuffer<WCHAR> expanded(ulNeeded + 1);
    if (ExpandEnvironmentStringsW(text.getText(), expanded.getBuffer(), ulNeeded) != ulNeeded)
        return false;
    return copyInto(out, CZYNWCharString(expanded));
}
