// zyn_failure.h - the library's failure convention, written once.
//
// An operation runs its body inside one try block. A library record caught
// (by reference to CZYNLogging, or to a more specific class) is written if it
// has not been written yet; anything else becomes a written
// CZYNUnhandledExceptionException carrying the site's code, source file and
// line. Then the operation releases what it holds and returns its failure
// value. No exception leaves a guarded operation.
//
//   bool CZYNThing::doIt() {
//       return zyn::guard({SOURCE, __LINE__, zyn::Errno}, false, [&] {
//           if (!ok) throw CZYNBadArgException(TEXT("arg"), TEXT("why"), SOURCE, __LINE__);
//           return true;
//       });
//   }
//
// A body that returns nothing runs under zyn::attempt, which answers whether
// it completed. A cleanup that releases differently after each handler takes
// the zyn::Caught value that says which one ran.
#ifndef ZYN_FAILURE_H
#define ZYN_FAILURE_H

#include <type_traits>
#include <utility>

#include "zyn_log_exception.h"

namespace zyn {

// The code an unhandled-exception record carries.
enum UnhandledCode {
    LastError,  // GetLastError() at the handler
    Errno,      // the C library's errno at the handler
    NoCode      // -1
};

// Where an operation's catch-all handler sits.
struct Site {
    const WCHAR* sourceFile;
    DWORD line;
    UnhandledCode code;
};

// Writes the record unless it has been written already.
void logIfNotLogged(CZYNLogging& record) noexcept;

// Builds, writes and destroys a CZYNUnhandledExceptionException for the site.
void reportUnhandled(const Site& site) noexcept;

struct NoCleanup {
    void operator()() const noexcept {}
};

// Which handler caught the failure, for a cleanup that takes it.
enum Caught {
    CaughtRecord,  // the handler for the library's records
    CaughtOther    // the catch-all
};

namespace detail {

template <class Cleanup>
void runCleanup(Cleanup& cleanup, Caught caught) {
    if constexpr (std::is_invocable_v<Cleanup&, Caught>) {
        cleanup(caught);
    } else {
        (void)caught;
        cleanup();
    }
}

template <class Body>
using BodyResult = decltype(std::declval<Body&>()());

template <class Handled, bool catchLibrary, class R, class Body, class Cleanup>
R run(const Site& site, R failure, Body& body, Cleanup& cleanup) noexcept {
    Caught caught = CaughtOther;
    try {
        if constexpr (std::is_void_v<BodyResult<Body>>) {
            body();
            return R(true);
        } else {
            return body();
        }
    } catch (Handled& record) {
        if constexpr (catchLibrary) {
            logIfNotLogged(record);
            caught = CaughtRecord;
        } else {
            reportUnhandled(site);
        }
    } catch (...) {
        reportUnhandled(site);
    }
    runCleanup(cleanup, caught);
    return failure;
}

}  // namespace detail

// The full convention: a handler for Handled (CZYNLogging unless said
// otherwise) and the catch-all.
template <class Handled = CZYNLogging, class R, class Body, class Cleanup = NoCleanup>
R guard(const Site& site, R failure, Body&& body, Cleanup&& cleanup = Cleanup()) noexcept {
    return detail::run<Handled, true, R>(site, failure, body, cleanup);
}

// The full convention for a body that returns nothing: true when it completed.
template <class Handled = CZYNLogging, class Body, class Cleanup = NoCleanup>
bool attempt(const Site& site, Body&& body, Cleanup&& cleanup = Cleanup()) noexcept {
    return detail::run<Handled, true, bool>(site, false, body, cleanup);
}

// Operations with only the catch-all handler: a library record raised in the
// body was written when it was built, and the handler writes an
// unhandled-exception record as well.
template <class R, class Body, class Cleanup = NoCleanup>
R guardCatchAll(const Site& site, R failure, Body&& body, Cleanup&& cleanup = Cleanup()) noexcept {
    return detail::run<CZYNLogging, false, R>(site, failure, body, cleanup);
}

}  // namespace zyn

#endif
