/*
 * thread.cpp - the calling thread's own functions.
 *
 *   Sleep
 */
#include <sched.h>

#include <chrono>
#include <thread>

#include "internal.h"

/* Suspends the thread for at least the given milliseconds; 0 gives up the rest
   of the time slice to another ready thread. */
extern "C" void WINAPI Sleep(DWORD dwMilliseconds) {
    if (dwMilliseconds == 0) {
        sched_yield();
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}
