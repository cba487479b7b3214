// registry_override.h - values under HKEY_LOCAL_MACHINE changed for a while:
// each value's previous state (its type and data, or its absence) and the
// keys that did not exist are noted before the first change, and put back,
// in reverse order, when the object goes, whatever happened in between.
#ifndef HBC_HOST_REGISTRY_OVERRIDE_H
#define HBC_HOST_REGISTRY_OVERRIDE_H

#include <windows.h>

#include <string>
#include <vector>

#include "utf.h"

class RegistryOverride {
public:
    RegistryOverride() = default;
    ~RegistryOverride() { restore(); }
    RegistryOverride(const RegistryOverride&) = delete;
    RegistryOverride& operator=(const RegistryOverride&) = delete;

    // Each answers false, with error() saying what failed, when the value
    // cannot be written.
    bool setString(const wstr& key, const wstr& name, const wstr& value);
    bool setDword(const wstr& key, const wstr& name, DWORD value);
    bool remove(const wstr& key, const wstr& name);
    const std::string& error() const { return m_error; }

    // Reads a string value of HKEY_LOCAL_MACHINE; false when it is absent or
    // no string.
    static bool readString(const wstr& key, const wstr& name, wstr& value);

    // Puts everything back; false when something could not be restored.
    bool restore();

private:
    struct Saved {
        wstr key, name;
        bool existed = false;
        DWORD type = 0;
        std::vector<BYTE> data;
    };
    bool save(const wstr& key, const wstr& name);
    bool write(const wstr& key, const wstr& name, DWORD type, const BYTE* data, DWORD size);
    bool fail(const std::string& what, const wstr& key, LONG code);

    std::vector<Saved> m_saved;
    std::vector<wstr> m_createdKeys;  // in the order created: parents first
    std::string m_error;
};

#endif
