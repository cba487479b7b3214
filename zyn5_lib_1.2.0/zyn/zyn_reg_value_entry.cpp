// zyn_reg_value_entry.cpp - CZYNRegValueEntry: a registry value's name, type
// and data, as queryMultipleValues delivers them.
#include "zyn_reg_value_entry.h"

CZYNRegValueEntry::CZYNRegValueEntry() : name(), data(), type(REG_NONE) {}

CZYNRegValueEntry::CZYNRegValueEntry(const CZYNWCharString& szName,
                                     const CZYNBuffer<BYTE>& valueData, DWORD ulType)
    : name(szName), data(valueData), type(ulType) {}

bool CZYNRegValueEntry::operator==(const CZYNRegValueEntry& other) const {
    return type == other.type && name == other.name && zyn::sameElements(data, other.data);
}
