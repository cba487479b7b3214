/*
 * profile_cache.cpp - parsed profile files kept while their stamps hold.
 */
#include "profile_cache.h"

namespace w32p {
namespace ini {

namespace {

bool sameTime(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

int64_t nanoseconds(const struct timespec& t) {
    return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

}  // namespace

bool FileStamp::operator==(const FileStamp& o) const {
    return device == o.device && inode == o.inode && size == o.size && sameTime(modified, o.modified) &&
           sameTime(changed, o.changed);
}

FileStamp stampOf(const struct stat& st) {
    FileStamp stamp;
    stamp.device = st.st_dev;
    stamp.inode = st.st_ino;
    stamp.size = st.st_size;
    stamp.modified = st.st_mtim;
    stamp.changed = st.st_ctim;
    return stamp;
}

bool settled(const FileStamp& stamp, const struct timespec& readStart) {
    const bool wholeSeconds = stamp.modified.tv_nsec == 0 && stamp.changed.tv_nsec == 0;
    const int64_t margin = wholeSeconds ? 3000000000LL : 100000000LL;
    const int64_t start = nanoseconds(readStart);
    return nanoseconds(stamp.modified) <= start - margin && nanoseconds(stamp.changed) <= start - margin;
}

ProfileCache& ProfileCache::instance() {
    // Never destroyed: profile calls made while static objects are destroyed still work.
    static ProfileCache* cache = new ProfileCache;
    return *cache;
}

std::shared_ptr<const Document> ProfileCache::find(const std::string& path, const FileStamp& now) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto found = m_byPath.find(path);
    if (found == m_byPath.end()) return nullptr;
    if (found->second->stamp != now) {
        dropLocked(found->second);
        return nullptr;
    }
    m_entries.splice(m_entries.begin(), m_entries, found->second);
    ++m_hits;
    return m_entries.front().doc;
}

void ProfileCache::store(const std::string& path, const FileStamp& stamp,
                         std::shared_ptr<const Document> doc) {
    const uint64_t size = static_cast<uint64_t>(stamp.size);
    if (size > kMaxBytes) return;
    std::lock_guard<std::mutex> lock(m_mutex);
    auto found = m_byPath.find(path);
    if (found != m_byPath.end()) dropLocked(found->second);
    m_entries.push_front(Entry{path, stamp, std::move(doc)});
    m_byPath[path] = m_entries.begin();
    m_bytes += size;
    while (m_entries.size() > kMaxFiles || m_bytes > kMaxBytes) dropLocked(std::prev(m_entries.end()));
}

void ProfileCache::forget(const std::string& path) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto found = m_byPath.find(path);
    if (found != m_byPath.end()) dropLocked(found->second);
}

void ProfileCache::clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entries.clear();
    m_byPath.clear();
    m_bytes = 0;
}

uint64_t ProfileCache::hits() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_hits;
}

void ProfileCache::dropLocked(std::list<Entry>::iterator it) {
    m_bytes -= static_cast<uint64_t>(it->stamp.size);
    m_byPath.erase(it->path);
    m_entries.erase(it);
}

}  // namespace ini
}  // namespace w32p
