// profile_cache_test.cpp - parsed profile files kept between calls: when a
// stamp counts as settled, and that every kind of edit of a kept file is
// seen at the next call, while an unchanged settled file is answered from
// what was kept.
#include <profile_cache.h>
#include <sys/stat.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <thread>

#include "hbc_test.h"

using namespace w32p::ini;

namespace {

struct timespec at(time_t seconds, long nanoseconds) { return {seconds, nanoseconds}; }

FileStamp stamp(struct timespec modified, struct timespec changed) {
    FileStamp s;
    s.modified = modified;
    s.changed = changed;
    return s;
}

class ProfileCacheTest : public HbcTest {
protected:
    void SetUp() override {
        HbcTest::SetUp();
        ProfileCache::instance().clear();
    }

    std::string read(const std::string& file) {
        WCHAR buffer[64];
        GetPrivateProfileStringW(TEXT("s"), TEXT("k"), TEXT("none"), buffer, 64, winPath(file).c_str());
        return U8(buffer);
    }

    // Puts the file's modification time a day back, so that once its change
    // time has settled too the next read keeps the file.
    void age(const std::string& file) {
        auto path = fsPath(file);
        std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) - std::chrono::hours(24));
    }
    void waitUntilSettled(const std::string& file) {
        for (;;) {
            struct stat st;
            struct timespec now;
            ASSERT_EQ(0, ::stat(fsPath(file).c_str(), &st));
            ::clock_gettime(CLOCK_REALTIME, &now);
            if (settled(stampOf(st), now)) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    void settle(const std::string& file) {
        age(file);
        waitUntilSettled(file);
    }
};

TEST(ProfileCacheSettled, BothTimesMustLieAMarginBeforeTheRead) {
    const struct {
        const char* why;
        FileStamp stamp;
        struct timespec readStart;
        bool settled;
    } rows[] = {
        // Nanosecond times 100 ms before the read: a later edit gets other times.
        {"ns, 100 ms before", stamp(at(100, 5), at(100, 5)), at(100, 100000005), true},
        {"ns, just under 100 ms before", stamp(at(100, 5), at(100, 5)), at(100, 100000004), false},
        // An editor that puts the old modification time back still changes
        // the change time: that one must have settled too.
        {"old mtime, recent ctime", stamp(at(1, 1), at(100, 5)), at(100, 50000000), false},
        // Whole seconds (a file system that keeps no more, or FAT's two):
        // three seconds.
        {"whole seconds, 3 s before", stamp(at(100, 0), at(100, 0)), at(103, 0), true},
        {"whole seconds, 2.9 s before", stamp(at(100, 0), at(100, 0)), at(102, 900000000), false},
        // A time in the future (a clock set back) never settles.
        {"future", stamp(at(200, 1), at(200, 1)), at(100, 0), false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(row.settled, settled(row.stamp, row.readStart));
    }
}

TEST_F(ProfileCacheTest, EveryEditOfAKeptFileIsSeenAtTheNextCall) {
    // Each edit leaves a file of the same size; most happen within the
    // second of the read before them.
    // Each edit gets the file (as the file system and as the profile
    // functions name it) and a spare name beside it.
    using Path = std::filesystem::path;
    const struct {
        const char* why;
        std::function<void(const Path&, const wstr&, const Path&)> edit;
    } rows[] = {
        {"rewritten in place", [](const Path& a, const wstr&, const Path&) { writeBytes(a, "[s]\nk=two\n"); }},
        {"rewritten in place, the modification time put back",
         [](const Path& a, const wstr&, const Path&) {
             auto old = std::filesystem::last_write_time(a);
             writeBytes(a, "[s]\nk=two\n");
             std::filesystem::last_write_time(a, old);
         }},
        {"replaced by rename, with the old modification time",
         [](const Path& a, const wstr&, const Path& spare) {
             writeBytes(spare, "[s]\nk=two\n");
             std::filesystem::last_write_time(spare, std::filesystem::last_write_time(a));
             std::filesystem::rename(spare, a);
         }},
        {"written by another process",
         [](const Path& a, const wstr&, const Path&) {
             std::string command = "printf '[s]\\nk=two\\n' > '" + a.string() + "'";
             ASSERT_EQ(0, std::system(command.c_str()));
         }},
        {"written through the profile functions",
         [](const Path&, const wstr& a, const Path&) {
             ASSERT_TRUE(WritePrivateProfileStringW(TEXT("s"), TEXT("k"), TEXT("two"), a.c_str()));
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        writeBytes(fsPath("a.ini"), "[s]\nk=one\n");
        settle("a.ini");
        ASSERT_EQ("one", read("a.ini"));
        uint64_t hits = ProfileCache::instance().hits();
        ASSERT_EQ("one", read("a.ini"));
        ASSERT_EQ(hits + 1, ProfileCache::instance().hits()) << "the second read was not answered from what was kept";
        row.edit(fsPath("a.ini"), winPath("a.ini"), fsPath("spare.ini"));
        EXPECT_EQ("two", read("a.ini"));
    }
}

TEST_F(ProfileCacheTest, AFileChangedAMomentAgoIsReadAgainAtEveryCall) {
    writeBytes(fsPath("a.ini"), "[s]\nk=one\n");
    uint64_t hits = ProfileCache::instance().hits();
    EXPECT_EQ("one", read("a.ini"));
    // The same size, within the same tick of the file system's clock as like as not.
    writeBytes(fsPath("a.ini"), "[s]\nk=two\n");
    EXPECT_EQ("two", read("a.ini"));
    EXPECT_EQ(hits, ProfileCache::instance().hits());
}

TEST_F(ProfileCacheTest, OnlyTheMostRecentlyUsedFilesAreKept) {
    const size_t files = ProfileCache::kMaxFiles + 1;
    for (size_t i = 0; i < files; ++i) {
        writeBytes(fsPath(std::to_string(i) + ".ini"), "[s]\nk=one\n");
        age(std::to_string(i) + ".ini");
    }
    for (size_t i = 0; i < files; ++i) waitUntilSettled(std::to_string(i) + ".ini");
    for (size_t i = 0; i < files; ++i) read(std::to_string(i) + ".ini");
    uint64_t hits = ProfileCache::instance().hits();
    read(std::to_string(files - 1) + ".ini");  // kept
    read("0.ini");                             // dropped for the last one
    EXPECT_EQ(hits + 1, ProfileCache::instance().hits());
}

}  // namespace
