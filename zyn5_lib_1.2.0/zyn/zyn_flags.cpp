// zyn_flags.cpp - CZYNFlags: a 32-bit option set whose every operation is
// traced. The trace lines are fixed: the constructor at 45, operator!= at
// 131, hasFlags at 281.
#include "zyn_flags.h"

#include "zyn_function_trace.h"

static const WCHAR* const SOURCE = TEXT("zyn_flags.cpp");
static const WCHAR* const OBJECT = TEXT("CZYNFlags");

CZYNFlags::CZYNFlags(DWORD ulFlags) : m_ulFlags(ulFlags) {
    CZYNFunctionTrace trace(OBJECT, TEXT("CZYNFlags"), SOURCE, 45);
    trace.passed(true);
}

bool CZYNFlags::operator!=(const CZYNFlags& other) const {
    CZYNFunctionTrace trace(OBJECT, TEXT("operator!="), SOURCE, 131);
    return trace.compared(m_ulFlags != other.m_ulFlags);
}

bool CZYNFlags::hasFlags(DWORD ulMask) const {
    CZYNFunctionTrace trace(OBJECT, TEXT("hasFlags"), SOURCE, 281);
    return trace.compared((m_ulFlags & ulMask) == ulMask);
}
