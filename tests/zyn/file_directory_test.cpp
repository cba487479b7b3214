// file_directory_test.cpp - CZYNFile and CZYNDirectory in the test's folder
// and on the drive it lies on: which names count as existing files and
// directories, the record a too-short name leaves, the creation of a
// directory path level by level, and the traces of every operation.
#include <filesystem>
#include <string>
#include <vector>

#include "hbc_test.h"
#include "zyn_directory.h"
#include "zyn_file.h"

namespace {

CZYNWCharString Z(const wstr& text) { return CZYNWCharString(text.c_str()); }

const char* const kIndexRecord = "\"Index out of array bounds\"";

class FileDirectoryTest : public HbcTest {
protected:
    void SetUp() override {
        HbcTest::SetUp();
        writeBytes(fsPath("a.txt"), "x");
        std::filesystem::create_directory(fsPath("sub"));
    }
    // The drive the test folder lies on ("C:").
    wstr drive() const { return folder().substr(0, 2); }
};

}  // namespace

TEST_F(FileDirectoryTest, IsValidWindowsFileFindsAnyEntryOfTheName) {
    struct {
        const char* comment;
        wstr name;
        bool valid;
    } rows[] = {
        {"a file", winPath("a.txt"), true},
        {"a file, its name in other case", winPath("A.TXT"), true},
        {"a folder is an entry too", winPath("sub"), true},
        {"a folder's contents", winPath("sub\\*"), true},
        {"a pattern that matches", winPath("*.txt"), true},
        {"the drive root's contents", drive() + TEXT("\\*"), true},
        {"a pattern that matches nothing", winPath("*.zzz"), false},
        {"a missing file", winPath("b.txt"), false},
        {"a file in a missing folder", winPath("none\\a.txt"), false},
        {"a folder written with a trailing backslash is no search", winPath("sub\\"), false},
        {"an empty name", TEXT(""), false},
    };
    CZYNFile file(CZYNWCharString{});
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        EXPECT_EQ(row.valid, file.isValidWindowsFile(Z(row.name)));
        CZYNFile named(Z(row.name));
        EXPECT_EQ(row.valid, named.isValidFile()) << "isValidFile asks the same of its own name";
    }
}

TEST_F(FileDirectoryTest, FileOnAnEmptyNameIsUsableAndInvalid) {
    enableLogging();
    CZYNFile file(CZYNWCharString{});
    EXPECT_TRUE(logLinesWith("failed to initialize").empty()) << "an empty name is a name";
    EXPECT_FALSE(file.isValidFile());
    EXPECT_EQ(INVALID_HANDLE_VALUE, file.getFileHandle());
    EXPECT_TRUE(file.close()) << "nothing open: nothing to close";
    EXPECT_EQ(INVALID_HANDLE_VALUE, file.getFileHandle());

    EXPECT_TRUE(file.setFilename(Z(winPath("a.txt"))));
    EXPECT_EQ(U8(winPath("a.txt")), U8(file.getFilename().getText()));
    EXPECT_TRUE(file.isValidFile());
}

TEST_F(FileDirectoryTest, IsValidWindowsDirectory) {
    enableLogging();
    struct {
        const char* comment;
        wstr name;
        bool valid;
        bool indexRecord;  // too short to be looked at
    } rows[] = {
        {"the drive, searched as its root's contents", drive(), true, false},
        {"the drive root, searched through its contents", drive() + TEXT("\\"), true, false},
        {"a folder", folder(), true, false},
        {"a folder with a trailing backslash", folder() + TEXT("\\"), true, false},
        {"a folder, its name in other case", winPath("SUB"), true, false},
        {"a file is found but is no directory", winPath("a.txt"), false, false},
        {"a file with a trailing backslash", winPath("a.txt\\"), false, false},
        {"a missing folder", winPath("none"), false, false},
        {"a missing folder with a trailing backslash", winPath("none\\"), false, false},
        {"one character", TEXT("."), false, true},
        {"one backslash", TEXT("\\"), false, true},
        {"no name", TEXT(""), false, true},
    };
    CZYNDirectory directory(CZYNWCharString{});
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        const size_t before = logLinesWith(kIndexRecord).size();
        EXPECT_EQ(row.valid, directory.isValidWindowsDirectory(Z(row.name)));
        CZYNDirectory named(Z(row.name));
        EXPECT_EQ(row.valid, named.isValidDirectory()) << "isValidDirectory asks the same";
        EXPECT_EQ(row.indexRecord ? 2u : 0u, logLinesWith(kIndexRecord).size() - before)
            << "one record for each of the two calls";
    }
}

TEST_F(FileDirectoryTest, AOneCharacterNameLeavesOneIndexRecord) {
    enableLogging();
    CZYNDirectory directory(CZYNWCharString(TEXT(".")));
    EXPECT_FALSE(directory.isValidDirectory());
    std::vector<std::string> records = logLinesWith(kIndexRecord);
    ASSERT_EQ(1u, records.size()) << "written when raised, not again by the handler";
    EXPECT_NE(std::string::npos, records[0].find("<EXCEPTION_BAD> "));
    EXPECT_NE(std::string::npos, records[0].find("<zyn_buffer.h, 1299> "));
    EXPECT_TRUE(logLinesWith("An unhandled exception occurred").empty());
    EXPECT_EQ(1u, logLinesWith("<CZYNDirectory::isValidWindowsDirectory> <Failed> "
                               "<zyn_directory.cpp, 566> ").size());
    EXPECT_EQ(1u, logLinesWith("<CZYNDirectory::isValidDirectory> <Failed> "
                               "<zyn_directory.cpp, 381> ").size());
}

TEST_F(FileDirectoryTest, OperationsAreTracedWithTheirLines) {
    enableLogging();
    {
        CZYNFile file(Z(winPath("a.txt")));
        file.isValidFile();
        file.close();
        CZYNFile missing(Z(winPath("b.txt")));
        missing.isValidFile();
        CZYNDirectory directory(Z(folder()));
        directory.isValidDirectory();
        directory.setDirectoryName(Z(winPath("none")));
    }
    struct {
        const char* exitPiece;
        size_t count;
    } rows[] = {
        {"<CZYNFile::Constructor> <Passed> <zyn_file.cpp, 67> ", 2},
        {"<CZYNFile::setFilename> <Passed> <zyn_file.cpp, 183> ", 2},
        {"<CZYNFile::isValidFile> <Passed> <zyn_file.cpp, 215> ", 1},
        {"<CZYNFile::isValidFile> <Failed Logical Result> <zyn_file.cpp, 215> ", 1},
        {"<CZYNFile::isValidWindowsFile> <Passed> <zyn_file.cpp, 1237> ", 1},
        {"<CZYNFile::isValidWindowsFile> <Failed Logical Result> <zyn_file.cpp, 1237> ", 1},
        // Once by the call, once by each destructor.
        {"<CZYNFile::close> <Passed> <zyn_file.cpp, 1017> ", 3},
        {"<CZYNFile::Destructor> <Passed> <zyn_file.cpp, 104> ", 2},
        {"<CZYNDirectory::Constructor> <Passed> <zyn_directory.cpp, 49> ", 1},
        {"<CZYNDirectory::setDirectoryName> <Passed> <zyn_directory.cpp, 349> ", 2},
        {"<CZYNDirectory::isValidDirectory> <Passed> <zyn_directory.cpp, 381> ", 1},
        {"<CZYNDirectory::isValidWindowsDirectory> <Passed> <zyn_directory.cpp, 566> ", 1},
        {"<CZYNDirectory::Destructor> <Passed> <zyn_directory.cpp, 82> ", 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.exitPiece);
        EXPECT_EQ(row.count, logLinesWith(row.exitPiece).size());
    }
    EXPECT_EQ(logLinesWith("<ENTRY> ").size(), logLinesWith("<EXIT> ").size());
}

TEST_F(FileDirectoryTest, CreateDirectoryMakesEveryMissingLevel) {
    struct {
        const char* comment;
        wstr name;
        bool created;
        const char* checkDirectory;  // relative to the test folder; null: none to check
    } rows[] = {
        {"three missing levels", winPath("a\\b\\c"), true, "a/b/c"},
        {"the same again: nothing to create", winPath("a\\b\\c"), false, "a/b/c"},
        {"one more level under existing ones", winPath("a\\b\\c\\d"), true, "a/b/c/d"},
        {"a trailing backslash", winPath("t\\u\\"), true, "t/u"},
        {"an existing folder", folder(), false, nullptr},
        {"the drive root", drive() + TEXT("\\"), false, nullptr},
        {"a level that is a file", winPath("a.txt\\x"), false, nullptr},
        {"a network share: its first level, one backslash, is refused",
         TEXT("\\\\hbc-no-such-server\\share\\dir"), false, nullptr},
        {"no name", TEXT(""), false, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        CZYNDirectory directory(Z(row.name));
        EXPECT_EQ(row.created, directory.createDirectory());
        if (row.checkDirectory) {
            EXPECT_TRUE(std::filesystem::is_directory(fsPath(row.checkDirectory)));
        }
    }
    EXPECT_TRUE(std::filesystem::is_regular_file(fsPath("a.txt"))) << "the file stays a file";
}
