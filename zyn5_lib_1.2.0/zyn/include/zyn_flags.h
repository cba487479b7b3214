// zyn_flags.h - CZYNFlags: one 32-bit set of option bits, as the wide
// string's trimming and parsing operations take them.
//
// Every operation is traced (object "CZYNFlags", source file zyn_flags.cpp):
// the constructor as passed, the comparisons as logical results, so a
// comparison that comes out false shows "<Failed Logical Result> " on its
// EXIT line.
#ifndef ZYN_FLAGS_H
#define ZYN_FLAGS_H

#include <windows.h>

class CZYNFlags {
public:
    // Holds ulFlags. Not explicit, so that a plain number can be passed
    // where a flag set is expected.
    CZYNFlags(DWORD ulFlags);

    // True when the two values differ.
    bool operator!=(const CZYNFlags& other) const;
    // True when every bit of ulMask is set in the value (mask 0: always).
    bool hasFlags(DWORD ulMask) const;

    // The value itself (not traced).
    DWORD getFlags() const { return m_ulFlags; }

private:
    DWORD m_ulFlags;
};

#endif
