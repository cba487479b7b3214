/*
 * handles.h - the process-wide table of kernel-style handles.
 *
 * Every HANDLE the stand-in gives out (files, folder searches, and any other
 * area's objects that CloseHandle must close) is a small number from this
 * table, never a file descriptor or a pointer cast to HANDLE. Values are
 * multiples of 4, never NULL or INVALID_HANDLE_VALUE, and are not reused
 * while the process runs, so a stale handle is reported as invalid instead of
 * reaching another object. Lookups hand out shared ownership: a call that is
 * using an object keeps it alive even when another thread closes the handle.
 */
#ifndef WIN32_POSIX_HANDLES_H
#define WIN32_POSIX_HANDLES_H

#include <memory>

#include "../include/windows.h"

namespace w32p {

// The pseudo-handle of the current process (GetCurrentProcess), (HANDLE)-1:
// never in the table, and closing it succeeds without effect.
inline HANDLE currentProcessHandle() { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)); }

// An object behind a handle. Its destructor releases what it owns.
class HandleObject {
public:
    virtual ~HandleObject() = default;
    // False for objects that only their own close function may close (folder
    // searches: FindClose, not CloseHandle).
    virtual bool closableByCloseHandle() const { return true; }
};

// Enters the object into the table and returns its new handle.
HANDLE insertHandle(std::shared_ptr<HandleObject> object);

// The object behind a handle, or null when the handle is not open.
std::shared_ptr<HandleObject> lookupHandle(HANDLE handle);

// The object behind a handle when it is of type T, else null.
template <class T>
std::shared_ptr<T> lookupHandleAs(HANDLE handle) {
    return std::dynamic_pointer_cast<T>(lookupHandle(handle));
}

// Removes the handle from the table; the object goes when its last user
// lets go. Returns the object removed, or null when the handle was not open
// or its object is not of type T.
template <class T>
std::shared_ptr<T> removeHandleAs(HANDLE handle);

// Implementation of removeHandleAs: removes only when `accept` says yes.
std::shared_ptr<HandleObject> removeHandleIf(HANDLE handle, bool (*accept)(const HandleObject&));

template <class T>
std::shared_ptr<T> removeHandleAs(HANDLE handle) {
    return std::static_pointer_cast<T>(removeHandleIf(
        handle, [](const HandleObject& o) { return dynamic_cast<const T*>(&o) != nullptr; }));
}

// Number of open handles (for tests of leaks).
size_t openHandleCount();

}  // namespace w32p

#endif
