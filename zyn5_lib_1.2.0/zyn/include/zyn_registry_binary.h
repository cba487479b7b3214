// zyn_registry_binary.h - CZYNRegistryBinary: a REG_BINARY registry value
// cached as a byte buffer, and CZYNRegNamedBinary, the record of
// getBinaryValues. Data keeps its exact length, odd ones included. Source
// file of the records: zyn_registry_binary.cpp.
#ifndef ZYN_REGISTRY_BINARY_H
#define ZYN_REGISTRY_BINARY_H

#include <windows.h>

#include "zyn_buffer.h"
#include "zyn_dbllist.h"
#include "zyn_registry_value.h"
#include "zyn_wchar_string.h"

// One REG_BINARY value of a key: its name and its bytes.
struct CZYNRegNamedBinary {
    CZYNWCharString name;
    CZYNBuffer<BYTE> data;

    bool operator==(const CZYNRegNamedBinary& other) const {
        return name == other.name && zyn::sameElements(data, other.data);
    }
};

class CZYNRegistryBinary : public CZYNRegistryValue {
public:
    // Records tagged with their 0-based position.
    using NamedBinaryList = CZYNDblList<CZYNObjNode<CZYNRegNamedBinary>>;

    // As CZYNRegistryValue; the cache is an empty buffer and not valid.
    // Throws CZYNBufferInitException when that buffer cannot be made.
    CZYNRegistryBinary(HKEY hRoot, const CZYNWCharString& szPath,
                       const CZYNWCharString& szValueName, REGSAM samAccess, bool bCreateIfMissing,
                       DWORD ulOptions);

    // Every REG_BINARY value of the key (the value name plays no part), in
    // the registry's order, with a copy of its bytes. False when the key has
    // no named values.
    bool getBinaryValues(NamedBinaryList& list);
    // The stored bytes into the cache, which then is valid. A missing value
    // with createIfMissing is stored as 0 bytes. A failed read leaves the
    // cache as it was.
    bool readRegistry() override;
    // A copy of data into the cache, then (unless bCacheOnly) into the
    // registry. bCacheOnly: true, nothing written, cacheValid unchanged.
    bool setValue(const CZYNBuffer<BYTE>& data, bool bCacheOnly);
    // The cache stored as REG_BINARY, byte for byte; makes the cache valid.
    bool writeRegistry() override;

    // Whether the cache is known to equal the stored value.
    bool isCacheValid() const { return cacheValid; }
    // The cached bytes, as the last read or setValue left them.
    const CZYNBuffer<BYTE>& getCachedData() const { return m_bufRegBinaryCache; }

protected:
    bool cacheValid;                       // set by readRegistry and writeRegistry
    CZYNBuffer<BYTE> m_bufRegBinaryCache;  // the bytes
};

#endif
