/*
 * heap.cpp - the process heap: the memory of the library's buffers and texts.
 *
 *   GetProcessHeap HeapAlloc HeapFree
 *
 * The memory comes from the system-call table's malloc, so that tests can
 * make any one allocation fail as exhausted memory would.
 */
#include <cstdlib>
#include <cstring>

#include "../include/win32_posix/syscalls.h"
#include "internal.h"

namespace {
// The one heap there is; any non-null value names it.
char g_processHeap;
}  // namespace

/* The handle of the process's default heap; never NULL. */
extern "C" HANDLE WINAPI GetProcessHeap(void) { return &g_processHeap; }

/* A block of at least dwBytes (zeroed with HEAP_ZERO_MEMORY; 0 bytes gives a
   block of its own too). NULL when memory runs out or the heap handle is
   NULL; without HEAP_GENERATE_EXCEPTIONS it does not set the last error. */
extern "C" LPVOID WINAPI HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes) {
    if (!hHeap) return nullptr;
    void* block = w32p::sys::malloc(dwBytes ? dwBytes : 1);
    if (block && (dwFlags & HEAP_ZERO_MEMORY)) std::memset(block, 0, dwBytes);
    return block;
}

/* Frees a block HeapAlloc gave. TRUE on success, also for NULL; FALSE with
   ERROR_INVALID_HANDLE for a NULL heap. */
extern "C" BOOL WINAPI HeapFree(HANDLE hHeap, DWORD, LPVOID lpMem) {
    if (!hHeap) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::free(lpMem);
    return TRUE;
}
