/*
 * testing.cpp - test hooks that put process state back to a new process's.
 */
#include "../include/win32_posix/testing.h"
#include "internal.h"

namespace w32p {
namespace testing {

void resetConfiguration() {
    resetPathConfiguration();
    resetVersionConfiguration();
}

}  // namespace testing
}  // namespace w32p
