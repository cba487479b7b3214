// zyn_failure.cpp - the two handlers of the failure convention.
#include "zyn_failure.h"

#include <cerrno>

namespace zyn {

void logIfNotLogged(CZYNLogging& record) noexcept {
    try {
        if (!record.m_bLogged) record.log();
    } catch (...) {
    }
}

void reportUnhandled(const Site& site) noexcept {
    LONG code = ZYN_NO_CODE;
    if (site.code == LastError) code = static_cast<LONG>(GetLastError());
    if (site.code == Errno) code = errno;
    try {
        CZYNUnhandledExceptionException record(code, site.sourceFile, site.line, 1, true, false);
    } catch (...) {
    }
}

}  // namespace zyn
