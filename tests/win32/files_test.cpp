// files_test.cpp - CreateFileW and the calls on its handles, sharing between
// handles, appends from many threads, and CreateDirectoryW, RemoveDirectoryW,
// DeleteFileW and GetFileAttributesW. The same source runs over win32_posix
// and under Wine.
#include "hbc_test.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"

namespace {

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
const DWORD kShareRW = FILE_SHARE_READ | FILE_SHARE_WRITE;
const DWORD kSentinel = 0xdeadbeef;

// A handle that is closed at the end of the scope.
class Handle {
public:
    explicit Handle(HANDLE h = INVALID_HANDLE_VALUE) : m_h(h) {}
    ~Handle() { reset(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return m_h; }
    bool valid() const { return m_h != INVALID_HANDLE_VALUE; }
    void reset() {
        if (valid()) CloseHandle(m_h);
        m_h = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE m_h;
};

bool writeText(HANDLE h, const std::string& text) {
    DWORD written = kSentinel;
    return WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

std::string readText(HANDLE h, DWORD size) {
    std::string text(size, '\0');
    DWORD got = kSentinel;
    if (!ReadFile(h, &text[0], size, &got, nullptr)) return "(failed)";
    return text.substr(0, got);
}

class FilesTest : public HbcTest {
protected:
    HANDLE open(const std::string& name, DWORD access, DWORD share, DWORD disposition,
                DWORD flags = 0) {
        return CreateFileW(winPath(name).c_str(), access, share, nullptr, disposition, flags,
                           nullptr);
    }
    std::string contents(const std::string& name) {
        std::vector<unsigned char> bytes = readBytes(fsPath(name));
        return std::string(bytes.begin(), bytes.end());
    }
};

TEST_F(FilesTest, DispositionsCreateTruncateAndSetTheLastError) {
    struct Row {
        DWORD disposition;
        bool present;
        bool opens;
        DWORD error;           // also on success
        const char* contents;  // afterwards; null: no file
    } rows[] = {
        {OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
        {OPEN_EXISTING, true, true, 0, "old"},
        {OPEN_ALWAYS, false, true, 0, ""},
        {OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, "old"},
        {CREATE_ALWAYS, false, true, 0, ""},
        {CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, ""},  // truncated
        {CREATE_NEW, false, true, 0, ""},
        {CREATE_NEW, true, false, ERROR_FILE_EXISTS, "old"},
        {TRUNCATE_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
        {TRUNCATE_EXISTING, true, true, 0, ""},
    };
    int n = 0;
    for (const Row& r : rows) {
        std::string name = "d" + std::to_string(n++) + ".txt";
        SCOPED_TRACE(std::to_string(r.disposition) + (r.present ? " on a file" : " on nothing"));
        if (r.present) writeBytes(fsPath(name), "old");
        SetLastError(kSentinel);
        Handle h(open(name, GENERIC_READ | GENERIC_WRITE, 0, r.disposition));
        EXPECT_EQ(r.opens, h.valid());
        EXPECT_EQ(r.error, GetLastError());
        h.reset();
        EXPECT_EQ(r.contents != nullptr, std::filesystem::exists(fsPath(name)));
        if (r.contents) {
            EXPECT_EQ(r.contents, contents(name));
        }
    }
}

TEST_F(FilesTest, OpenFailuresGiveWindowsErrors) {
    writeBytes(fsPath("f.txt"), "x");
    ASSERT_TRUE(CreateDirectoryW(winPath("dir").c_str(), nullptr));
    struct Row {
        const char* name;
        DWORD disposition;
        DWORD error;
    } rows[] = {
        {"nosuch\\x.txt", OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {"nosuch\\x.txt", CREATE_NEW, ERROR_PATH_NOT_FOUND},
        {"f.txt\\x", CREATE_ALWAYS, ERROR_PATH_NOT_FOUND},   // a file as folder
        {"f.txt\\", OPEN_EXISTING, ERROR_INVALID_NAME},      // a file with a separator
        {"new\\", CREATE_ALWAYS, ERROR_INVALID_NAME},        // a new name with one
        {"new\\", OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
        {"dir", OPEN_EXISTING, ERROR_ACCESS_DENIED},         // no backup semantics
        {"dir", OPEN_ALWAYS, ERROR_ACCESS_DENIED},
        {"dir", CREATE_NEW, ERROR_FILE_EXISTS},
        {"*.txt", OPEN_EXISTING, ERROR_INVALID_NAME},
        {"f.txt", 0, ERROR_INVALID_PARAMETER},
        {"f.txt", 6, ERROR_INVALID_PARAMETER},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.name) + " " + std::to_string(r.disposition));
        SetLastError(kSentinel);
        Handle h(open(r.name, GENERIC_READ, kShareAll, r.disposition));
        EXPECT_FALSE(h.valid());
        EXPECT_EQ(r.error, GetLastError());
    }
    SetLastError(kSentinel);
    EXPECT_EQ(INVALID_HANDLE_VALUE,
              CreateFileW(TEXT(""), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());

    // With backup semantics a folder opens, and has no data.
    Handle folder(open("dir", GENERIC_READ, kShareAll, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS));
    ASSERT_TRUE(folder.valid());
    EXPECT_EQ(0u, GetFileSize(folder.get(), nullptr));
    SetLastError(kSentinel);
    EXPECT_EQ("(failed)", readText(folder.get(), 1));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_FUNCTION), GetLastError());
}

TEST_F(FilesTest, NamesMatchWithoutCaseAndLoseTrailingDotsAndBlanks) {
    writeBytes(fsPath("Mixed.Txt"), "mixed");
    for (const char* name : {"mIXED.tXT", "Mixed.Txt.", "Mixed.Txt  "}) {
        SCOPED_TRACE(name);
        Handle h(open(name, GENERIC_READ, kShareAll, OPEN_EXISTING));
        ASSERT_TRUE(h.valid());
        EXPECT_EQ("mixed", readText(h.get(), 10));
    }
    EXPECT_FALSE(Handle(open(" Mixed.Txt", GENERIC_READ, kShareAll, OPEN_EXISTING)).valid());
    EXPECT_TRUE(Handle(open("made.", GENERIC_WRITE, 0, CREATE_NEW)).valid());
    EXPECT_TRUE(std::filesystem::exists(fsPath("made")));
}

TEST_F(FilesTest, ReadWriteAndSeekShareOneFilePointer) {
    Handle h(open("rw.bin", GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS));
    ASSERT_TRUE(h.valid());
    ASSERT_TRUE(writeText(h.get(), "hello world"));
    EXPECT_EQ(6u, SetFilePointer(h.get(), 6, nullptr, FILE_BEGIN));
    EXPECT_EQ("world", readText(h.get(), 5));
    EXPECT_EQ("", readText(h.get(), 5));  // the end: success, no bytes
    EXPECT_EQ(6u, SetFilePointer(h.get(), -5, nullptr, FILE_END));
    EXPECT_EQ(4u, SetFilePointer(h.get(), -2, nullptr, FILE_CURRENT));
    EXPECT_EQ("o world", readText(h.get(), 20));
    // Past the end: the gap reads as zeros.
    EXPECT_EQ(14u, SetFilePointer(h.get(), 3, nullptr, FILE_END));
    ASSERT_TRUE(writeText(h.get(), "!"));
    DWORD high = kSentinel;
    EXPECT_EQ(15u, GetFileSize(h.get(), &high));
    EXPECT_EQ(0u, high);
    h.reset();
    EXPECT_EQ(std::string("hello world\0\0\0!", 15), contents("rw.bin"));
}

TEST_F(FilesTest, SetFilePointerLimitsAndTheHighPart) {
    Handle h(open("seek.bin", GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS));
    ASSERT_TRUE(h.valid());
    ASSERT_TRUE(writeText(h.get(), "0123456789"));
    ASSERT_EQ(4u, SetFilePointer(h.get(), 4, nullptr, FILE_BEGIN));
    struct Row {
        LONG distance;
        bool withHigh;
        LONG high;
        DWORD method;
        DWORD error;
    } failures[] = {
        {-5, false, 0, FILE_CURRENT, ERROR_NEGATIVE_SEEK},
        {-11, false, 0, FILE_END, ERROR_NEGATIVE_SEEK},
        {-1, true, -1, FILE_BEGIN, ERROR_NEGATIVE_SEEK},  // a 64-bit -1
        {0, false, 0, 3, ERROR_INVALID_PARAMETER},
    };
    for (const Row& r : failures) {
        SCOPED_TRACE(std::to_string(r.distance) + " by method " + std::to_string(r.method));
        LONG high = r.high;
        SetLastError(kSentinel);
        EXPECT_EQ(INVALID_SET_FILE_POINTER,
                  SetFilePointer(h.get(), r.distance, r.withHigh ? &high : nullptr, r.method));
        EXPECT_EQ(r.error, GetLastError());
        EXPECT_EQ(r.high, high);
        EXPECT_EQ(4u, SetFilePointer(h.get(), 0, nullptr, FILE_CURRENT));  // unmoved
    }
    // With a high part the low part is unsigned: 4 GB - 5.
    LONG high = 0;
    EXPECT_EQ(0xFFFFFFFBu, SetFilePointer(h.get(), -5, &high, FILE_BEGIN));
    EXPECT_EQ(0, high);
    // A success at 0xFFFFFFFF is told from a failure by a last error of 0.
    SetLastError(kSentinel);
    EXPECT_EQ(0xFFFFFFFFu, SetFilePointer(h.get(), 4, nullptr, FILE_CURRENT));
    EXPECT_EQ(0u, GetLastError());
    // Windows documents that without a high part a position past 4 GB fails
    // and the pointer stays; Wine moves there and returns the low part.
    const char* const kPast4GB =
        "SetFilePointer past 4 GB without a high part: Windows fails and stays, Wine moves there";
    DWORD result = SetFilePointer(h.get(), 1, nullptr, FILE_CURRENT);
    DWORD now = SetFilePointer(h.get(), 0, &high, FILE_CURRENT);
    EXPECT_EQ(expectOnHost<DWORD>(kPast4GB, INVALID_SET_FILE_POINTER, 0), result);
    EXPECT_EQ(expectOnHost<DWORD>(kPast4GB, 0xFFFFFFFF, 0), now);
    EXPECT_EQ(expectOnHost<LONG>(kPast4GB, 0, 1), high);
    high = 1;
    EXPECT_EQ(16u, SetFilePointer(h.get(), 16, &high, FILE_BEGIN));
    EXPECT_EQ(1, high);
    EXPECT_EQ(10u, GetFileSize(h.get(), nullptr));  // seeking writes nothing
}

TEST_F(FilesTest, AccessRightsLimitReadsAndWrites) {
    writeBytes(fsPath("a.txt"), "data");
    struct Row {
        DWORD access;
        bool canRead;
        bool canWrite;
    } rows[] = {
        {GENERIC_READ, true, false},
        {GENERIC_WRITE, false, true},
        {FILE_APPEND_DATA, false, true},
        {FILE_READ_DATA | FILE_APPEND_DATA, true, true},
        {0, false, false},  // attributes only
    };
    for (const Row& r : rows) {
        SCOPED_TRACE("access " + std::to_string(r.access));
        Handle h(open("a.txt", r.access, kShareAll, OPEN_EXISTING));
        ASSERT_TRUE(h.valid());
        SetLastError(kSentinel);
        EXPECT_EQ(r.canRead ? "data" : "(failed)", readText(h.get(), 8));
        if (!r.canRead) {
            EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
        }
        DWORD count = kSentinel;
        SetLastError(kSentinel);
        EXPECT_EQ(r.canWrite, WriteFile(h.get(), "", 0, &count, nullptr) != FALSE);
        EXPECT_EQ(0u, count);  // zeroed first, on failure too
        if (!r.canWrite) {
            EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
        }
    }
    EXPECT_EQ("data", contents("a.txt"));  // a zero-byte write changes nothing
}

// FILE_APPEND_DATA without FILE_WRITE_DATA writes at the end whatever the
// file pointer says (NtCreateFile: "the caller can write only to the end of
// the file"), even after another handle wrote.
TEST_F(FilesTest, AppendOnlyHandleWritesAtTheEnd) {
    Handle writer(open("log.txt", GENERIC_WRITE, kShareRW, CREATE_ALWAYS));
    ASSERT_TRUE(writeText(writer.get(), "0123456789"));
    Handle appender(open("log.txt", FILE_APPEND_DATA, kShareRW, OPEN_EXISTING));
    ASSERT_TRUE(appender.valid());
    EXPECT_EQ(2u, SetFilePointer(appender.get(), 2, nullptr, FILE_BEGIN));
    ASSERT_TRUE(writeText(appender.get(), "AB"));
    EXPECT_EQ(12u, SetFilePointer(appender.get(), 0, nullptr, FILE_CURRENT));
    ASSERT_EQ(0u, SetFilePointer(writer.get(), 0, nullptr, FILE_BEGIN));
    ASSERT_TRUE(writeText(writer.get(), "xy"));
    ASSERT_TRUE(writeText(appender.get(), "CD"));
    writer.reset();
    appender.reset();
    EXPECT_EQ("xy23456789ABCD", contents("log.txt"));
}

std::string record(int thread, int n) {
    char head[16];
    std::snprintf(head, sizeof head, "T%02d R%04d ", thread, n);
    return head + std::string(60 + (n * 7 + thread) % 50, static_cast<char>('a' + thread)) + "\n";
}

// Threads append records, one WriteFile each, with a handle per record (as
// the text log does) and through one shared handle: every record arrives
// whole and in its thread's order.
TEST_F(FilesTest, ConcurrentAppendsKeepEveryRecordWhole) {
    // Wine appends by looking up the end and then writing there, so records
    // written at the same moment can overwrite each other; Windows (and the
    // stand-in, with O_APPEND) append atomically. Under Wine most records
    // survive whole (at least half, in every run seen), in order.
    const char* const kTorn =
        "concurrent appends: Windows appends each record whole; Wine can "
        "overwrite records written at the same moment";
    const int kThreads = 8, kRecords = 150;
    for (bool perRecord : {true, false}) {
        SCOPED_TRACE(perRecord ? "a handle per record" : "one shared handle");
        const wstr path = winPath(perRecord ? "a.log" : "b.log");
        auto openLog = [&] {
            return CreateFileW(path.c_str(), FILE_APPEND_DATA, kShareRW, nullptr, OPEN_ALWAYS, 0,
                               nullptr);
        };
        Handle shared(perRecord ? INVALID_HANDLE_VALUE : openLog());
        std::atomic<int> failures{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                for (int i = 0; i < kRecords; ++i) {
                    HANDLE h = perRecord ? openLog() : shared.get();
                    if (!writeText(h, record(t, i))) ++failures;
                    if (perRecord) CloseHandle(h);
                }
            });
        }
        for (std::thread& t : threads) t.join();
        shared.reset();
        EXPECT_EQ(0, failures.load());

        std::string text = contents(perRecord ? "a.log" : "b.log");
        int whole = 0, damaged = 0;
        std::vector<int> last(kThreads, -1);
        for (size_t pos = 0, end; pos < text.size(); pos = end + 1) {
            end = text.find('\n', pos);
            if (end == std::string::npos) end = text.size();
            std::string line = text.substr(pos, end - pos) + "\n";
            int t = -1, n = -1;
            if (std::sscanf(line.c_str(), "T%d R%d", &t, &n) != 2 || t < 0 || t >= kThreads ||
                n < 0 || record(t, n) != line) {
                ++damaged;
                continue;
            }
            ++whole;
            EXPECT_LT(last[t], n) << "out of order: " << line;
            last[t] = n;
        }
        const int total = kThreads * kRecords;
        EXPECT_GE(whole, expectOnHost(kTorn, total, total / 2));
        EXPECT_LE(damaged, expectOnHost(kTorn, 0, total - whole));
    }
}

TEST_F(FilesTest, ShareModesDecideASecondOpen) {
    writeBytes(fsPath("s.txt"), "content");
    const DWORD R = GENERIC_READ, W = GENERIC_WRITE, A = FILE_APPEND_DATA, SR = FILE_SHARE_READ;
    struct Row {
        DWORD access1, share1, access2, share2;
        bool allowed;
    } rows[] = {
        {W, kShareRW, W, kShareRW, true},
        {W, kShareRW, R, SR, false},  // the second will not share the writing
        {R, SR, W, kShareRW, false},  // the first will not share writing
        {R, SR, R, SR, true},
        {R, 0, R, SR, false},
        {0, 0, R, 0, true},           // attributes only claims nothing
        {W, kShareRW, 0, 0, true},    // and is refused nothing
        {A, kShareRW, W, kShareRW, true},
        {A, SR, W, kShareRW, false},  // appending counts as writing
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.access1) + "/" + std::to_string(r.share1) + " then " +
                     std::to_string(r.access2) + "/" + std::to_string(r.share2));
        Handle first(open("s.txt", r.access1, r.share1, OPEN_EXISTING));
        ASSERT_TRUE(first.valid());
        SetLastError(kSentinel);
        EXPECT_EQ(r.allowed, Handle(open("s.txt", r.access2, r.share2, OPEN_EXISTING)).valid());
        if (!r.allowed) {
            EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
        }
    }
    Handle first(open("s.txt", GENERIC_READ, 0, OPEN_EXISTING));
    // Whatever name reaches the file, and never truncating it.
    EXPECT_FALSE(Handle(open("S.TXT", GENERIC_READ, kShareAll, OPEN_EXISTING)).valid());
    EXPECT_FALSE(Handle(open("s.txt", GENERIC_WRITE, kShareAll, CREATE_ALWAYS)).valid());
    first.reset();
    EXPECT_EQ("content", contents("s.txt"));
    EXPECT_TRUE(Handle(open("s.txt", GENERIC_READ, 0, OPEN_EXISTING)).valid());
}

// Threads race to open one file exclusively: at most one holds it at a
// time, and every refusal is a sharing violation.
TEST_F(FilesTest, ExclusiveOpensExcludeEachOtherAcrossThreads) {
    writeBytes(fsPath("x.txt"), "x");
    const wstr path = winPath("x.txt");
    std::atomic<int> holders{0}, most{0}, granted{0}, otherErrors{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                       OPEN_EXISTING, 0, nullptr);
                if (h == INVALID_HANDLE_VALUE) {
                    if (GetLastError() != ERROR_SHARING_VIOLATION) ++otherErrors;
                    continue;
                }
                int now = ++holders, seen = most;
                while (now > seen && !most.compare_exchange_weak(seen, now)) {
                }
                ++granted;
                --holders;
                CloseHandle(h);
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(1, most.load());
    EXPECT_GT(granted.load(), 0);
    EXPECT_EQ(0, otherErrors.load());
}

// Tries the opens (or, for the access "delete", deletions) that the arguments
// name, three per try: path, access, share mode. Writes the error of each
// (0 when it succeeded) to the file named first, one per line.
HBC_CHILD_ROUTINE(tryOpensInOtherProcess) {
    std::string results;
    for (size_t i = 1; i + 2 < args.size(); i += 3) {
        const wstr path = W(args[i]);
        DWORD error = 0;
        if (args[i + 1] == "delete") {
            if (!DeleteFileW(path.c_str())) error = GetLastError();
        } else {
            HANDLE h = CreateFileW(path.c_str(), std::stoul(args[i + 1]), std::stoul(args[i + 2]),
                                   nullptr, OPEN_EXISTING, 0, nullptr);
            if (h == INVALID_HANDLE_VALUE) error = GetLastError();
            CloseHandle(h);
        }
        results += std::to_string(error) + "\n";
    }
    Handle out(
        CreateFileW(W(args[0]).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    return writeText(out.get(), results) ? 0 : 1;
}

// Share modes hold between processes as between the handles of one: this
// process holds a handle on each file, another process then opens or deletes
// it. The log writer appends sharing only reading; readers share writing.
TEST_F(FilesTest, ShareModesHoldBetweenProcesses) {
    const DWORD R = GENERIC_READ, W = GENERIC_WRITE, A = FILE_APPEND_DATA, SR = FILE_SHARE_READ,
                kNoHandle = kSentinel, kDelete = kSentinel;
    struct Row {
        const char* comment;
        DWORD access1, share1;  // this process's handle
        DWORD access2, share2;  // the other process's open, or kDelete
        DWORD error;
    } rows[] = {
        {"a reader that shares writing beside the log writer", A, SR, R, kShareRW, 0},
        {"the log writer beside such a reader", R, kShareRW, A, SR, 0},
        {"two log writers", A, SR, A, SR, ERROR_SHARING_VIOLATION},
        {"a reader that will not share writing", R, SR, A, SR, ERROR_SHARING_VIOLATION},
        {"the writer keeps out that reader", A, SR, R, SR, ERROR_SHARING_VIOLATION},
        {"an exclusive handle", W, 0, R, kShareRW, ERROR_SHARING_VIOLATION},
        {"a shared writer and a shared reader", W, kShareRW, R, kShareRW, 0},
        {"a shared writer and an exclusive reader", W, kShareRW, R, 0, ERROR_SHARING_VIOLATION},
        {"attributes only are never refused", W, 0, 0, 0, 0},
        {"nothing open: an exclusive open", kNoHandle, 0, R, 0, 0},
        {"deleting past a handle without delete sharing", R, kShareRW, kDelete, 0,
         ERROR_SHARING_VIOLATION},
        {"deleting past one with it", R, kShareAll, kDelete, 0, 0},
    };
    std::vector<std::unique_ptr<Handle>> held;
    std::vector<std::string> args = {U8(winPath("results.txt"))};
    for (const Row& r : rows) {
        std::string name = "p" + std::to_string(held.size()) + ".txt";
        writeBytes(fsPath(name), "x");
        held.push_back(std::make_unique<Handle>(
            r.access1 == kNoHandle ? INVALID_HANDLE_VALUE
                                   : open(name, r.access1, r.share1, OPEN_EXISTING)));
        ASSERT_EQ(r.access1 != kNoHandle, held.back()->valid()) << r.comment;
        args.push_back(U8(winPath(name)));
        args.push_back(r.access2 == kDelete ? "delete" : std::to_string(r.access2));
        args.push_back(std::to_string(r.share2));
    }
    ASSERT_EQ(0, ChildProcess("tryOpensInOtherProcess", args).wait());
    std::istringstream results(contents("results.txt"));
    for (size_t i = 0; i < held.size(); ++i) {
        SCOPED_TRACE(rows[i].comment);
        DWORD error = kSentinel;
        results >> error;
        EXPECT_EQ(rows[i].error, error);
    }
    // The deleted file's name goes at the latest with the last handle.
    const std::string last = "p" + std::to_string(held.size() - 1) + ".txt";
    held.clear();
    EXPECT_FALSE(std::filesystem::exists(fsPath(last)));
}

TEST_F(FilesTest, ClosedAndNullHandlesAreRefused) {
    HANDLE stale = open("c.txt", GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_TRUE(CloseHandle(stale));
    for (HANDLE h : {stale, static_cast<HANDLE>(nullptr)}) {
        SCOPED_TRACE(h ? "a closed handle" : "NULL");
        DWORD count = kSentinel;
        SetLastError(kSentinel);
        EXPECT_FALSE(CloseHandle(h));
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
        SetLastError(kSentinel);
        EXPECT_FALSE(WriteFile(h, "x", 1, &count, nullptr));
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
        EXPECT_EQ(0u, count);
        EXPECT_EQ("(failed)", readText(h, 1));
        EXPECT_EQ(INVALID_FILE_SIZE, GetFileSize(h, nullptr));
        EXPECT_EQ(INVALID_SET_FILE_POINTER, SetFilePointer(h, 0, nullptr, FILE_BEGIN));
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    }
    // -1 is also the current process's pseudo-handle: closing it succeeds.
    SetLastError(kSentinel);
    EXPECT_TRUE(CloseHandle(INVALID_HANDLE_VALUE));
    EXPECT_EQ(kSentinel, GetLastError());
}

TEST_F(FilesTest, ReadOnlyFilesRefuseWritingAndDeletion) {
    Handle made(open("ro.txt", GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(writeText(made.get(), "kept"));  // the creating handle may write
    made.reset();
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE),
              GetFileAttributesW(winPath("ro.txt").c_str()));
    EXPECT_TRUE(Handle(open("ro.txt", GENERIC_READ, kShareAll, OPEN_EXISTING)).valid());
    // Wine running as root opens (and truncates) read-only files for writing,
    // since root passes the Unix permission check (win32-behaviour.md 7.26);
    // Windows refuses with ERROR_ACCESS_DENIED. Wine's user is the Unix one.
    WCHAR user[64] = {};
    GetEnvironmentVariableW(TEXT("USERNAME"), user, 64);
    const bool wineWrites = U8(user) == "root";
    const char* const kReadOnly =
        "read-only files: Windows refuses to write them; Wine running "
        "as root opens and truncates them";
    const DWORD dispositions[] = {OPEN_EXISTING, CREATE_ALWAYS, TRUNCATE_EXISTING};
    for (DWORD disposition : dispositions) {
        for (DWORD access : {DWORD(GENERIC_WRITE), DWORD(FILE_APPEND_DATA)}) {
            SCOPED_TRACE(std::to_string(disposition) + " " + std::to_string(access));
            SetLastError(kSentinel);
            Handle h(open("ro.txt", access, kShareAll, disposition));
            EXPECT_EQ(expectOnHost(kReadOnly, false, wineWrites), h.valid());
            if (!h.valid()) {
                EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
            }
        }
    }
    EXPECT_EQ(expectOnHost<std::string>(kReadOnly, "kept", wineWrites ? "" : "kept"),
              contents("ro.txt"));
    SetLastError(kSentinel);
    EXPECT_FALSE(DeleteFileW(winPath("ro.txt").c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    std::error_code ignored;  // writable again, so that the folder can go
    std::filesystem::permissions(fsPath("ro.txt"), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add, ignored);
}

// CreateDirectoryW, RemoveDirectoryW, DeleteFileW and GetFileAttributesW on
// one folder, in order: what each returns and the error it sets.
TEST_F(FilesTest, FolderAndFileCallsAnswerAsWindows) {
    writeBytes(fsPath("f.txt"), "x");
    writeBytes(fsPath("held.txt"), "x");
    writeBytes(fsPath("shared.txt"), "x");
    Handle held(open("held.txt", GENERIC_READ, kShareRW, OPEN_EXISTING));
    Handle shared(open("shared.txt", GENERIC_READ, kShareAll, OPEN_EXISTING));
    enum Call { Mkdir, Rmdir, Delete, Attributes };
    const DWORD kDir = FILE_ATTRIBUTE_DIRECTORY, kFile = FILE_ATTRIBUTE_ARCHIVE,
                kNone = INVALID_FILE_ATTRIBUTES;
    struct Row {
        Call call;
        const char* name;
        DWORD result;  // TRUE/FALSE, or the attributes
        DWORD error;   // when failed
    } rows[] = {
        {Mkdir, "dir", TRUE, 0},
        {Mkdir, "new\\", TRUE, 0},  // a trailing separator
        {Mkdir, "DIR\\inner", TRUE, 0},
        {Mkdir, "DIR", FALSE, ERROR_ALREADY_EXISTS},
        {Mkdir, "f.txt", FALSE, ERROR_ALREADY_EXISTS},
        {Mkdir, "nosuch\\child", FALSE, ERROR_PATH_NOT_FOUND},  // one level only
        {Mkdir, "f.txt\\child", FALSE, ERROR_PATH_NOT_FOUND},
        {Mkdir, "a*b", FALSE, ERROR_INVALID_NAME},
        {Attributes, "dir", kDir, 0},
        {Attributes, "dir\\", kDir, 0},
        {Attributes, "dir\\nosuch\\..", kDir, 0},
        {Attributes, "F.TXT", kFile, 0},
        {Attributes, "f.txt.", kFile, 0},
        {Attributes, "nosuch.txt", kNone, ERROR_FILE_NOT_FOUND},
        {Attributes, "nosuch\\", kNone, ERROR_FILE_NOT_FOUND},
        {Attributes, "nosuch\\x.txt", kNone, ERROR_PATH_NOT_FOUND},
        {Attributes, "f.txt\\", kNone, ERROR_PATH_NOT_FOUND},
        {Attributes, "f.txt\\x", kNone, ERROR_PATH_NOT_FOUND},
        {Attributes, "f.tx?", kNone, ERROR_INVALID_NAME},
        {Rmdir, "dir", FALSE, ERROR_DIR_NOT_EMPTY},
        {Rmdir, "DIR\\INNER", TRUE, 0},
        {Rmdir, "new\\", TRUE, 0},
        {Rmdir, "new", FALSE, ERROR_FILE_NOT_FOUND},
        {Rmdir, "nosuch\\x", FALSE, ERROR_PATH_NOT_FOUND},
        {Rmdir, "f.txt", FALSE, ERROR_DIRECTORY},
        {Delete, "dir", FALSE, ERROR_ACCESS_DENIED},
        {Delete, "held.txt\\", FALSE, ERROR_INVALID_NAME},
        {Delete, "*.txt", FALSE, ERROR_INVALID_NAME},
        {Delete, "held.txt", FALSE, ERROR_SHARING_VIOLATION},  // no FILE_SHARE_DELETE
        {Delete, "shared.txt", TRUE, 0},
        {Delete, "F.TXT", TRUE, 0},
        {Delete, "f.txt", FALSE, ERROR_FILE_NOT_FOUND},
        {Delete, "nosuch\\f.txt", FALSE, ERROR_PATH_NOT_FOUND},
    };
    const char* names[] = {"CreateDirectoryW", "RemoveDirectoryW", "DeleteFileW",
                           "GetFileAttributesW"};
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(names[r.call]) + " " + r.name);
        const wstr path = winPath(r.name);
        SetLastError(kSentinel);
        DWORD result = 0;
        switch (r.call) {
        case Mkdir: result = CreateDirectoryW(path.c_str(), nullptr); break;
        case Rmdir: result = RemoveDirectoryW(path.c_str()); break;
        case Delete: result = DeleteFileW(path.c_str()); break;
        case Attributes: result = GetFileAttributesW(path.c_str()); break;
        }
        EXPECT_EQ(r.result, r.call == Attributes ? result : result != FALSE);
        if (r.result == FALSE || r.result == kNone) {
            EXPECT_EQ(r.error, GetLastError());
        }
    }
    EXPECT_TRUE(std::filesystem::exists(fsPath("held.txt")));
    EXPECT_FALSE(std::filesystem::exists(fsPath("nosuch")));
    // Empty names.
    SetLastError(kSentinel);
    EXPECT_FALSE(CreateDirectoryW(TEXT(""), nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
    SetLastError(kSentinel);
    EXPECT_FALSE(DeleteFileW(TEXT("")));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
    SetLastError(kSentinel);
    EXPECT_EQ(kNone, GetFileAttributesW(TEXT("")));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
}

}  // namespace
