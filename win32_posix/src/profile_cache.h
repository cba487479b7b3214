/*
 * profile_cache.h - parsed profile files kept between calls, for as long as
 * each call can tell that the file is still the one parsed.
 *
 *   FileStamp      what stat says of a file: identity (device, inode), size,
 *                  modification and change times in nanoseconds
 *   settled        whether a stamp can be trusted to change with the file
 *   ProfileCache   the parsed files by path, the least recently used dropped
 *                  first
 *
 * Every read stats the file and uses a cached parse only when the stamp is
 * the one the parse was made from. Editors that replace a file give it a new
 * inode; edits in place change the size or the times; a tool that puts the
 * old modification time back still changes the change time, which no
 * program can set. What the stamp cannot show is a second edit of the same
 * size within one tick of the file system's clock (whole seconds on some file
 * systems): so a parse is kept only when both times lie well before the
 * moment the read began (settled), and a file changed that recently is read
 * again at every call until it has settled.
 */
#ifndef WIN32_POSIX_PROFILE_CACHE_H
#define WIN32_POSIX_PROFILE_CACHE_H

#include <sys/stat.h>
#include <time.h>

#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "ini_text.h"

namespace w32p {
namespace ini {

struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    struct timespec modified {};
    struct timespec changed {};

    bool operator==(const FileStamp& other) const;
    bool operator!=(const FileStamp& other) const { return !(*this == other); }
};
FileStamp stampOf(const struct stat& st);

// How long before the start of a read both of a file's times must lie for
// its parse to be kept: 3 s when they hold whole seconds (file systems that
// keep seconds, or FAT's two), else 100 ms, ten times the coarsest tick
// Linux gives file times. A later edit then always gets other times.
bool settled(const FileStamp& stamp, const struct timespec& readStart);

class ProfileCache {
public:
    // At most this many files, and the parses of at most this many bytes of
    // files, are kept; a larger file is not kept at all.
    static constexpr size_t kMaxFiles = 32;
    static constexpr uint64_t kMaxBytes = 16u << 20;

    static ProfileCache& instance();

    // The parse of `path` made when its stamp was `now`, or null.
    std::shared_ptr<const Document> find(const std::string& path, const FileStamp& now);
    // Keeps a parse of `path` as it was at `stamp`.
    void store(const std::string& path, const FileStamp& stamp, std::shared_ptr<const Document> doc);
    // Drops what is kept of `path` (a write through the stand-in changed it).
    void forget(const std::string& path);
    void clear();

    // Calls answered from the cache since the process started; for tests.
    uint64_t hits() const;

private:
    struct Entry {
        std::string path;
        FileStamp stamp;
        std::shared_ptr<const Document> doc;
    };
    void dropLocked(std::list<Entry>::iterator it);

    mutable std::mutex m_mutex;
    std::list<Entry> m_entries;  // most recently used first
    std::unordered_map<std::string, std::list<Entry>::iterator> m_byPath;
    uint64_t m_bytes = 0;
    uint64_t m_hits = 0;
};

}  // namespace ini
}  // namespace w32p

#endif
