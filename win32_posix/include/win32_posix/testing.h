/*
 * win32_posix/testing.h - hooks for tests of POSIX builds: put the stand-in's
 * process state back to how a new process finds it. Tests reach the same
 * state under Wine through the real API (RegDeleteTreeW, temporary folders),
 * behind one fixture.
 */
#ifndef WIN32_POSIX_TESTING_H
#define WIN32_POSIX_TESTING_H

namespace w32p {
namespace testing {

// Forgets the registry held in the process; the next registry call loads
// WIN32_POSIX_REGISTRY afresh (or starts empty when it is not set).
void resetRegistry();

// Forgets every cached setting read from the environment (drive folders, the
// reported Windows version), so that the next call reads them again.
void resetConfiguration();

}  // namespace testing
}  // namespace w32p

#endif
