/*
 * handles.cpp - the process-wide handle table, and CloseHandle.
 *
 *   insertHandle / lookupHandle / removeHandleIf   the table (handles.h)
 *   CloseHandle                                     closes any closable handle
 */
#include "handles.h"

#include <mutex>
#include <unordered_map>

namespace w32p {

namespace {

// The top of the range of values, where the pseudo-handles lie.
const uintptr_t kCurrentProcess = reinterpret_cast<uintptr_t>(currentProcessHandle());

struct Table {
    std::mutex mutex;
    std::unordered_map<uintptr_t, std::shared_ptr<HandleObject>> objects;
    uintptr_t next = 0x100;
};

Table& table() {
    // Never destroyed: handles may still be closed by static destructors.
    static Table* t = new Table;
    return *t;
}

}  // namespace

HANDLE insertHandle(std::shared_ptr<HandleObject> object) {
    Table& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    // Values wrap only after 2^30 handles (2^62 on 64-bit hosts); then the
    // ones still open are skipped, and the pseudo-handles at the top of the
    // range are never reached.
    uintptr_t value;
    do {
        value = t.next;
        t.next = t.next >= kCurrentProcess - 0x100 ? 0x100 : t.next + 4;
    } while (t.objects.count(value));
    t.objects.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<HandleObject> lookupHandle(HANDLE handle) {
    Table& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle));
    return it == t.objects.end() ? nullptr : it->second;
}

std::shared_ptr<HandleObject> removeHandleIf(HANDLE handle,
                                             bool (*accept)(const HandleObject&)) {
    std::shared_ptr<HandleObject> removed;
    {
        Table& t = table();
        std::lock_guard<std::mutex> lock(t.mutex);
        auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle));
        if (it == t.objects.end() || !accept(*it->second)) return nullptr;
        removed = std::move(it->second);
        t.objects.erase(it);
    }
    // The caller's copy is the last one unless a call in another thread is
    // still using the object; either way it is released outside the lock.
    return removed;
}

size_t openHandleCount() {
    Table& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    return t.objects.size();
}

}  // namespace w32p

/* Closes a handle. TRUE on success; FALSE with ERROR_INVALID_HANDLE for a
   handle that is not open (or is a folder search, which FindClose closes).
   The current process's pseudo-handle (-1) closes successfully and stays. */
extern "C" BOOL WINAPI CloseHandle(HANDLE hObject) {
    if (hObject == w32p::currentProcessHandle()) return TRUE;
    std::shared_ptr<w32p::HandleObject> removed = w32p::removeHandleIf(
        hObject, [](const w32p::HandleObject& o) { return o.closableByCloseHandle(); });
    if (!removed) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
