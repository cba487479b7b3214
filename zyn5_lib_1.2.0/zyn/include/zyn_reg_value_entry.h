// zyn_reg_value_entry.h - CZYNRegValueEntry: one value of a registry key as
// queryMultipleValues delivers it: its name, its registry type and its data,
// exactly as many bytes as the registry holds.
#ifndef ZYN_REG_VALUE_ENTRY_H
#define ZYN_REG_VALUE_ENTRY_H

#include <windows.h>

#include "zyn_buffer.h"
#include "zyn_wchar_string.h"

class CZYNRegValueEntry {
public:
    // No name, no data, type REG_NONE.
    CZYNRegValueEntry();
    // Copies of the name and of the data. Throws CZYNBufferInitException when
    // either cannot be copied.
    CZYNRegValueEntry(const CZYNWCharString& szName, const CZYNBuffer<BYTE>& valueData,
                      DWORD ulType);
    CZYNRegValueEntry(const CZYNRegValueEntry& other) = default;
    // Copies all three fields.
    CZYNRegValueEntry& operator=(const CZYNRegValueEntry& other) = default;

    // Equal types, equal names, and data of the same length and bytes.
    bool operator==(const CZYNRegValueEntry& other) const;
    bool operator!=(const CZYNRegValueEntry& other) const { return !(*this == other); }

    CZYNWCharString name;   // the value's name
    CZYNBuffer<BYTE> data;  // the value's data, byte for byte
    DWORD type;             // REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ, ...
};

#endif
