/*
 * syscalls.cpp - the table of the stand-in's system calls, each entry set to
 * the system's own function (syscalls.h).
 */
#include "../include/win32_posix/syscalls.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace w32p {
namespace sys {

namespace {
// open is variadic; the table's entry always passes a mode.
int openFile(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }
}  // namespace

Call<int(const char*, int, mode_t)> open{"open", openFile};
Call<int(int)> close{"close", ::close};
Call<ssize_t(int, void*, size_t)> read{"read", ::read};
Call<ssize_t(int, const void*, size_t)> write{"write", ::write};
Call<int(int)> fsync{"fsync", ::fsync};
Call<int(int, off_t)> ftruncate{"ftruncate", ::ftruncate};
Call<int(const char*, const char*)> rename{"rename", ::rename};
Call<int(const char*, const char*)> link{"link", ::link};
Call<int(int, const char*, int, const char*, int)> linkat{"linkat", ::linkat};
Call<int(const char*)> unlink{"unlink", ::unlink};
Call<int(const char*, mode_t)> mkdir{"mkdir", ::mkdir};
Call<int(const char*)> rmdir{"rmdir", ::rmdir};
Call<int(const char*, struct stat*)> stat{"stat", ::stat};
Call<int(const char*, struct stat*)> lstat{"lstat", ::lstat};
Call<int(int, struct stat*)> fstat{"fstat", ::fstat};
Call<DIR*(const char*)> opendir{"opendir", ::opendir};
Call<struct dirent*(DIR*)> readdir{"readdir", ::readdir};
Call<int(DIR*)> closedir{"closedir", ::closedir};
Call<int(int, int)> flock{"flock", ::flock};
Call<void*(size_t)> malloc{"malloc", std::malloc};

}  // namespace sys
}  // namespace w32p
