/*
 * win32_posix/syscalls.h - the one table of the POSIX system calls that the
 * stand-in makes for files, folders and memory.
 *
 * Every such call of the stand-in goes through an entry here: a name, the
 * function called now and the default (the system's own). Tests replace one
 * entry, or all of them, to make a call fail as a full disk, a failing drive
 * or exhausted memory would, and put the defaults back afterwards. In the
 * normal path an entry costs one indirect call.
 *
 *   files     open close read write fsync ftruncate
 *   names     rename link linkat unlink mkdir rmdir stat lstat fstat
 *   folders   opendir readdir closedir
 *   locks     flock
 *   memory    malloc (behind HeapAlloc, which the library's buffers use)
 *
 * A replacement reports its failure the way the system does: -1 (or null)
 * with errno set. readdir reports an error as null with errno set, and the
 * end of the folder as null with errno untouched.
 */
#ifndef WIN32_POSIX_SYSCALLS_H
#define WIN32_POSIX_SYSCALLS_H

#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <atomic>
#include <cstddef>

namespace w32p {
namespace sys {

template <class F>
class Call;

// One entry: calling it calls the current function.
template <class R, class... A>
class Call<R(A...)> {
public:
    using Signature = R(A...);
    using Function = R (*)(A...);

    constexpr Call(const char* name, Function fn) : m_name(name), m_default(fn), m_current(fn) {}
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

    R operator()(A... args) const { return m_current.load(std::memory_order_relaxed)(args...); }

    const char* name() const { return m_name; }
    Function original() const { return m_default; }
    Function current() const { return m_current.load(std::memory_order_relaxed); }
    // Replaces the function; null puts the default back.
    void set(Function fn) { m_current.store(fn ? fn : m_default, std::memory_order_relaxed); }
    void reset() { set(nullptr); }

private:
    const char* m_name;
    const Function m_default;
    std::atomic<Function> m_current;
};

extern Call<int(const char*, int, mode_t)> open;
extern Call<int(int)> close;
extern Call<ssize_t(int, void*, size_t)> read;
extern Call<ssize_t(int, const void*, size_t)> write;
extern Call<int(int)> fsync;
extern Call<int(int, off_t)> ftruncate;
extern Call<int(const char*, const char*)> rename;
extern Call<int(const char*, const char*)> link;
extern Call<int(int, const char*, int, const char*, int)> linkat;
extern Call<int(const char*)> unlink;
extern Call<int(const char*, mode_t)> mkdir;
extern Call<int(const char*)> rmdir;
extern Call<int(const char*, struct stat*)> stat;
extern Call<int(const char*, struct stat*)> lstat;
extern Call<int(int, struct stat*)> fstat;
extern Call<DIR*(const char*)> opendir;
extern Call<struct dirent*(DIR*)> readdir;
extern Call<int(DIR*)> closedir;
extern Call<int(int, int)> flock;
extern Call<void*(size_t)> malloc;

// Calls visit(entry) for every entry of the table, in the order above.
template <class Visit>
void forEach(Visit&& visit) {
    visit(open), visit(close), visit(read), visit(write), visit(fsync), visit(ftruncate);
    visit(rename), visit(link), visit(linkat), visit(unlink), visit(mkdir), visit(rmdir);
    visit(stat), visit(lstat), visit(fstat), visit(opendir), visit(readdir), visit(closedir);
    visit(flock), visit(malloc);
}

// Puts every entry's default back.
inline void resetAll() {
    forEach([](auto& call) { call.reset(); });
}

}  // namespace sys
}  // namespace w32p

#endif
