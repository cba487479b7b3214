/*
 * share_marks.cpp - Windows' share modes between processes, as marks that
 * every process can see (see share_marks.h).
 *
 *   the marks         which bytes a handle holds, which ones refuse it
 *   taking turns      a whole-file flock held only for the moment of a check
 *   claim / place     the marks of a new handle; the check of a deletion
 */
#include "share_marks.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "file_status.h"
#include "../include/win32_posix/syscalls.h"

namespace w32p {

namespace {

// The bytes, counted from kMarkBase: what a handle has and what it does not
// share, in an order that puts the usual handles' marks, and the marks that
// refuse them, side by side, so that a few lock calls over runs of adjacent
// bytes serve them (a handle that writes and shares only reading places one
// run and looks at one).
constexpr off_t kMarkBase = 0x7FFFFFFFFFFFFF00;
enum Mark : int { kHasRead, kDeniesRead, kHasDelete, kHasWrite, kDeniesWrite, kDeniesDelete };
constexpr int kMarkCount = 6;

// The mark that refuses a mark: having an access against not sharing it.
Mark opposite(int mark) {
    static const Mark kOpposite[kMarkCount] = {kDeniesRead, kHasRead,  kDeniesDelete,
                                               kDeniesWrite, kHasWrite, kHasDelete};
    return kOpposite[mark];
}

// The marks a handle holds, one bit per Mark.
unsigned marksOf(DWORD access, DWORD share) {
    if (!access) return 0;
    unsigned marks = 0;
    if (access & kAccessRead) marks |= 1u << kHasRead;
    if (access & (kAccessWrite | kAccessAppend)) marks |= 1u << kHasWrite;
    if (access & kAccessDelete) marks |= 1u << kHasDelete;
    if (!(share & FILE_SHARE_READ)) marks |= 1u << kDeniesRead;
    if (!(share & FILE_SHARE_WRITE)) marks |= 1u << kDeniesWrite;
    if (!(share & FILE_SHARE_DELETE)) marks |= 1u << kDeniesDelete;
    return marks;
}

struct flock markRange(short type, off_t start, off_t length) {
    struct flock range = {};
    range.l_type = type;
    range.l_whence = SEEK_SET;
    range.l_start = start;
    range.l_len = length;
    return range;
}

// Calls `each(first, count)` for every run of adjacent marks in `marks`, so
// that one lock call serves a run.
template <class Each>
bool forEachRun(unsigned marks, Each each) {
    for (int mark = 0; mark < kMarkCount;) {
        if (!(marks & (1u << mark))) {
            ++mark;
            continue;
        }
        int count = 1;
        while (mark + count < kMarkCount && (marks & (1u << (mark + count)))) ++count;
        if (!each(mark, count)) return false;
        mark += count;
    }
    return true;
}

// True when a descriptor other than `fd` holds any of `marks`; false also
// where the file system cannot say.
bool heldByOthers(int fd, unsigned marks) {
    return !forEachRun(marks, [fd](int first, int count) {
        struct flock probe = markRange(F_WRLCK, kMarkBase + first, count);
        return !(::fcntl(fd, F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK);
    });
}

void removeMarks(int fd) {
    struct flock all = markRange(F_UNLCK, kMarkBase, kMarkCount);
    ::fcntl(fd, F_OFD_SETLK, &all);
}

// Places the marks; false (and none placed) when one cannot be held.
bool placeMarks(int fd, unsigned marks) {
    return forEachRun(marks, [fd](int first, int count) {
        struct flock run = markRange(F_RDLCK, kMarkBase + first, count);
        if (::fcntl(fd, F_OFD_SETLK, &run) == 0) return true;
        removeMarks(fd);
        return false;
    });
}

// The marks that refuse `marks`: each one's opposite.
unsigned oppositesOf(unsigned marks) {
    unsigned opposites = 0;
    for (int mark = 0; mark < kMarkCount; ++mark)
        if (marks & (1u << mark)) opposites |= 1u << opposite(mark);
    return opposites;
}

// The openers of one file take turns for their checks, so that two that
// conflict do not both see the other's marks and both give up. Each holds the
// file's flock only for the moment of its check; an opener that cannot get it
// within a few milliseconds (a file system without flock, or another program
// holding one) checks without it, which can refuse both of two conflicting
// openers but never lets both in.
class CheckTurn {
public:
    explicit CheckTurn(int fd) : m_fd(fd) {
        for (int attempt = 0; attempt < 100; ++attempt) {
            if (w32p::sys::flock(fd, LOCK_EX | LOCK_NB) == 0) {
                m_held = true;
                return;
            }
            if (errno != EWOULDBLOCK && errno != EINTR) return;
            struct timespec pause = {0, 50 * 1000};
            ::nanosleep(&pause, nullptr);
        }
    }
    ~CheckTurn() {
        if (m_held) w32p::sys::flock(m_fd, LOCK_UN);
    }
    CheckTurn(const CheckTurn&) = delete;
    CheckTurn& operator=(const CheckTurn&) = delete;

private:
    int m_fd;
    bool m_held = false;
};

}  // namespace

bool claimShareMarks(int fd, DWORD accessBits, DWORD shareMode) {
    const unsigned marks = marksOf(accessBits, shareMode);
    if (!marks) return true;
    CheckTurn turn(fd);
    // Marks first, then the look at the others': of two openers that do this
    // at once, at least the later one sees the earlier one's marks.
    if (!placeMarks(fd, marks)) return true;  // no such locks here
    if (heldByOthers(fd, oppositesOf(marks))) {
        removeMarks(fd);
        return false;
    }
    return true;
}

void placeShareMarks(int fd, DWORD accessBits, DWORD shareMode) {
    placeMarks(fd, marksOf(accessBits, shareMode));
}

bool deletionRefused(const char* posixPath) {
    int fd = w32p::sys::open(posixPath, O_RDONLY | O_NONBLOCK | O_CLOEXEC, 0);
    if (fd < 0) return false;
    bool refused = heldByOthers(fd, 1u << kDeniesDelete);
    w32p::sys::close(fd);
    return refused;
}

}  // namespace w32p
