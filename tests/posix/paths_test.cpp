// paths_test.cpp - how Windows paths reach the POSIX file system: the pure
// rules (drive letters, "." and "..", trailing dots and blanks) and the
// translation with drive folders and case-insensitive lookup.
#include <gtest/gtest.h>

#include <windows.h>
#include <win32_posix/paths.h>
#include <win32_posix/testing.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>

namespace fs = std::filesystem;

namespace {

TEST(PathRules, NormaliseComponentsResolvesDotsNeverAboveTheRoot) {
    struct Row {
        const char* in;
        const char* out;
        const char* why;
    } rows[] = {
        {"a/./b/../c", "a/c", "a dot stays, a dot-dot climbs"},
        {"../../a", "a", "nothing climbs above the root"},
        {"/a//b/", "a/b", "empty components vanish"},
        {"a/b/..", "a", "a final dot-dot"},
        {"", "", "nothing"},
        {"...", "...", "three dots are a name"},
        {"/a/b", "a/b", "plain names: only the leading slash goes"},
        {"a/.b/..c", "a/.b/..c", "names that begin with dots are plain names"},
        {"a/b/.", "a/b", "a final dot after plain names"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        EXPECT_EQ(r.out, w32p::normaliseComponents(r.in));
    }
}

TEST(PathRules, TrimFinalComponentDropsTrailingDotsAndBlanks) {
    struct Row {
        const char* in;
        const char* out;
        const char* why;
    } rows[] = {
        {"a/b.txt.", "a/b.txt", "a trailing dot"},
        {"a/b.txt  ", "a/b.txt", "trailing blanks"},
        {"a/b. . ", "a/b", "dots and blanks mixed"},
        {"a.b/c", "a.b/c", "only the last component"},
        {"a/.", "a/.", "the current folder stays for normalisation"},
        {"a/..", "a/..", "the parent folder stays for normalisation"},
        {"a/b./", "a/b./", "a trailing separator: nothing is trimmed"},
        {"a/...", "a/", "a component of dots only vanishes"},
        {"name", "name", "nothing to trim"},
        {" x", " x", "leading blanks stay"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        EXPECT_EQ(r.out, w32p::trimFinalComponent(r.in));
    }
}

// Sets or removes an environment variable for the test and puts it back.
class EnvGuard {
public:
    EnvGuard(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) m_old = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
        w32p::testing::resetConfiguration();
    }
    ~EnvGuard() {
        if (m_old)
            ::setenv(m_name.c_str(), m_old->c_str(), 1);
        else
            ::unsetenv(m_name.c_str());
        w32p::testing::resetConfiguration();
    }

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

// A fresh folder that drive Q: maps to, with a few entries of mixed case.
class PathTranslation : public ::testing::Test {
protected:
    void SetUp() override {
        std::mt19937 rng(std::random_device{}());
        m_root = fs::temp_directory_path() / ("hbc-paths-" + std::to_string(rng()));
        fs::create_directories(m_root / "Dir" / "Sub");
        std::ofstream(m_root / "Dir" / "File.TXT") << "x";
        m_drive.emplace("WIN32_POSIX_DRIVE_Q", m_root.c_str());
    }
    void TearDown() override {
        m_drive.reset();
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }
    std::string root() const { return m_root.string(); }

    fs::path m_root;
    std::optional<EnvGuard> m_drive;
};

TEST_F(PathTranslation, DriveFoldersAndCaseInsensitiveComponents) {
    struct Row {
        const char16_t* windows;
        std::string posix;
        bool trailing;
        const char* why;
    } rows[] = {
        {u"Q:\\", root(), true, "the drive's root"},
        {u"Q:", root(), false, "the bare drive"},
        {u"q:\\dir\\file.txt", root() + "/Dir/File.TXT", false, "components found in any case"},
        {u"Q:/DIR/sub/", root() + "/Dir/Sub", true, "slashes and a trailing separator"},
        {u"Q:\\Dir\\New\\x.txt", root() + "/Dir/New/x.txt", false, "missing names kept as written"},
        {u"Q:\\..\\..\\dir", root() + "/Dir", false, "never above the drive's root"},
        {u"Q:\\Dir\\.\\Sub\\..\\File.TXT", root() + "/Dir/File.TXT", false, "dots resolved"},
        {u"Q:\\Dir\\File.TXT. ", root() + "/Dir/File.TXT", false, "trailing dot and blank dropped"},
        {u"Q:\\dir\\...", root() + "/Dir", false, "a last component of dots names the folder"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        w32p::PosixPath p = w32p::toPosixPath(r.windows);
        EXPECT_TRUE(p.ok);
        EXPECT_EQ(r.posix, p.path);
        EXPECT_EQ(r.trailing, p.trailingSeparator);
    }
}

TEST_F(PathTranslation, ExactNameWinsOverOtherCase) {
    std::ofstream(m_root / "Dir" / "file.txt") << "y";  // beside File.TXT
    EXPECT_EQ(root() + "/Dir/file.txt", w32p::toPosixPath(u"Q:\\Dir\\file.txt").path);
    EXPECT_EQ(root() + "/Dir/File.TXT", w32p::toPosixPath(u"Q:\\Dir\\File.TXT").path);
}

// The same path translated again follows the file system and the drive
// folders as they are at each call.
TEST_F(PathTranslation, RepeatedPathSeesChangesBetweenCalls) {
    const char16_t* name = u"Q:\\Dir\\file.txt";
    auto translate = [&] { return w32p::toPosixPath(name); };
    w32p::PosixPath p = translate();
    EXPECT_EQ(root() + "/Dir/File.TXT", p.path);  // found in another case
    EXPECT_FALSE(p.statusKnown);

    std::ofstream(m_root / "Dir" / "file.txt") << "y";
    p = translate();
    EXPECT_EQ(root() + "/Dir/file.txt", p.path);  // now there as written
    EXPECT_TRUE(p.statusKnown);
    EXPECT_EQ(1, p.status.st_size);

    fs::remove(m_root / "Dir" / "file.txt");
    EXPECT_EQ(root() + "/Dir/File.TXT", translate().path);

    fs::create_directories(m_root / "Other" / "Dir");
    EnvGuard moved("WIN32_POSIX_DRIVE_Q", (m_root / "Other").c_str());
    EXPECT_EQ(root() + "/Other/Dir/file.txt", translate().path);  // the drive's new folder
}

// The program's path is reported under the drive whose folder holds it, as
// the drive folders are at each call.
TEST_F(PathTranslation, ProgramPathFollowsTheDriveFolders) {
    auto programPath = [] {
        WCHAR buffer[600];
        DWORD length = GetModuleFileNameW(nullptr, buffer, 600);
        return w32p::toUtf8(w32p::wstring(buffer, length));
    };
    fs::path program = fs::read_symlink("/proc/self/exe");
    std::string folder = program.parent_path().string();
    std::string name = program.filename().string();
    EnvGuard c("WIN32_POSIX_DRIVE_C", "/");
    std::string onC = programPath();
    EXPECT_EQ("C:", onC.substr(0, 2));
    EXPECT_EQ("\\" + name, onC.substr(onC.size() - name.size() - 1));
    {
        EnvGuard p("WIN32_POSIX_DRIVE_P", folder.c_str());
        EXPECT_EQ("P:\\" + name, programPath());
    }
    EXPECT_EQ(onC, programPath());
}

TEST_F(PathTranslation, UnusablePathsAreRefused) {
    EnvGuard noR("WIN32_POSIX_DRIVE_R", nullptr);
    struct Row {
        const char16_t* windows;
        const char* why;
    } rows[] = {
        {u"", "empty"},
        {u"R:\\x", "a drive that is not mapped"},
        {u"Q:name", "relative to a drive's current folder"},
        {u"\\\\server\\share\\x", "a network name"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        EXPECT_FALSE(w32p::toPosixPath(r.windows).ok);
    }
}

TEST_F(PathTranslation, DriveCDefaultsToTheRoot) {
    EnvGuard noC("WIN32_POSIX_DRIVE_C", nullptr);
    EXPECT_EQ("/", w32p::driveFolder(u'c'));
    EXPECT_EQ(root(), w32p::toPosixPath(w32p::fromUtf8("C:" + root())).path);
    EXPECT_EQ("", w32p::driveFolder(u'R'));
}

TEST_F(PathTranslation, PosixAndRelativePathsStandAsTheyAre) {
    EXPECT_EQ(root() + "/Dir/File.TXT",
              w32p::toPosixPath(w32p::fromUtf8(root() + "/dir/file.txt")).path);
    char cwd[4096];
    ASSERT_NE(nullptr, ::getcwd(cwd, sizeof cwd));
    std::string expected = std::string(cwd) + "/hbc-no-such-folder/x";
    if (std::string(cwd) == "/") expected = "/hbc-no-such-folder/x";
    EXPECT_EQ(expected, w32p::toPosixPath(u"hbc-no-such-folder\\x").path);
}

TEST_F(PathTranslation, ToWindowsPathPicksTheLongestDriveFolder) {
    EnvGuard c("WIN32_POSIX_DRIVE_C", "/");
    struct Row {
        std::string posix;
        std::string windows;
        const char* why;
    } rows[] = {
        {"/a/b", "C:\\a\\b", "under drive C: at the root"},
        {root() + "/Dir/x", "Q:\\Dir\\x", "the longer drive folder wins"},
        {root(), "Q:\\", "the drive folder itself is its root"},
        {root() + "x/y", "C:\\" + root().substr(1) + "x\\y", "a folder that only starts alike"},
    };
    for (Row& r : rows) {
        SCOPED_TRACE(r.why);
        for (char& ch : r.windows)
            if (ch == '/') ch = '\\';
        EXPECT_EQ(r.windows, w32p::toUtf8(w32p::toWindowsPath(r.posix)));
    }
}

}  // namespace
