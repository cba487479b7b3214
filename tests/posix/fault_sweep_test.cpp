// fault_sweep_test.cpp - whole scenarios with each system call of the
// stand-in failing in turn (fault_sweep.h): module load and unload, a query,
// INI writes and the registry file's write-back. Each run must succeed, or
// fail as the operation's contract says, with its record in the log; and
// leave no descriptor open, nothing written past the host's record, and any
// file it rewrites old or new but whole. POSIX only by nature: the table of
// system calls belongs to the stand-in; under Wine the real Win32 runs.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "catalogue_fixture.h"
#include "fault_sweep.h"
#include "internal.h"
#include "win32_posix/testing.h"
#include "zyn_ini.h"

namespace {

// Records that a sweep checks for, without traces, which would make every
// operation's calls many times more.
const DWORD kFailuresAndDebug = 1 | 2 | 8 | 16 | 32;

std::string fileText(const std::filesystem::path& path) {
    std::vector<unsigned char> bytes = readBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

class FaultSweepTest : public CatalogueTest {
protected:
    void SetUp() override {
        CatalogueTest::SetUp();
        if (HasFatalFailure()) return;
        enableLogging(kFailuresAndDebug);
    }
    // Whether a run without this fault must have logged its failure: not
    // when the fault was in the log itself, nor when every later call
    // failed too (the log's among them).
    bool recordDue(const std::optional<Fault>& fault) const {
        return fault && !fault->persistent && !fault->touches(fsPath("log.txt").string());
    }
    bool logged(const std::string& needle) const { return !logLinesWith(needle).empty(); }
    // Whether the log holds the failure's record: `record`, or, when memory
    // ran out, the record of the allocation that failed, which ended the
    // operation before it could fail in its own way.
    bool failureLogged(const Fault& fault, const std::string& record) const {
        return logged(record) ||
               (fault.name == "malloc" && logged("\"Unable to allocate memory ("));
    }
    // The names in the test folder other than `expected`, the log and the
    // folders the catalogue fixture made: what a write left behind.
    std::vector<std::string> strayFiles(const std::string& expected) const {
        std::vector<std::string> stray;
        for (const auto& entry : std::filesystem::directory_iterator(fsPath("."))) {
            std::string name = entry.path().filename().string();
            if (name != expected && name != "log.txt" && name != "items" && name != "programs")
                stray.push_back(name);
        }
        return stray;
    }
    // A write leaves no temporary file behind, unless removing it failed
    // (as it does when every call from the fault on fails).
    void expectNoStrayFiles(const std::optional<Fault>& fault, const std::string& expected) {
        if (fault && (fault->persistent || fault->name == "unlink")) return;
        EXPECT_EQ(std::vector<std::string>{}, strayFiles(expected)) << describe(fault);
    }
    // The next run starts from `file` holding `bytes`, no log and nothing
    // an earlier run left.
    void startFrom(const std::string& file, const std::string& bytes) {
        for (const std::string& name : strayFiles(file)) std::filesystem::remove(fsPath(name));
        std::filesystem::remove(fsPath("log.txt"));
        writeBytes(fsPath(file), bytes);
    }
};

}  // namespace

TEST_F(FaultSweepTest, IniWritesSucceedOrFailWithTheirCodeAndRecordLeavingTheFileWhole) {
    const std::string before = "[S]\r\nk=old\r\nother=1\r\n";
    const std::string after = "[S]\r\nk=new\r\nother=1\r\n";
    const wstr path = winPath("t.ini");
    // One row per way the library and the stand-in write: the record a failure
    // leaves (nullptr: the Win32 function writes none).
    struct {
        const char* name;
        std::function<bool()> write;
        const char* record;
    } rows[] = {
        {"WritePrivateProfileStringW",
         [&] {
             return WritePrivateProfileStringW(TEXT("S"), TEXT("k"), TEXT("new"), path.c_str()) !=
                    0;
         },
         nullptr},
        {"CZYNIni::setProfileString",
         [&] {
             // The strings' and the object's constructors report running out
             // of memory by throwing their record, as constructors do.
             try {
                 CZYNIni ini{CZYNWCharString(path.c_str())};
                 return ini.setProfileString(CZYNWCharString(TEXT("S")), CZYNWCharString(TEXT("k")),
                                             CZYNWCharString(TEXT("new")));
             } catch (const CZYNLogging&) {
                 return false;
             }
         },
         "\"Unable to write profile string ( section: S, key name: k )\" <Error: 0x"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto prepare = [&] { startFrom("t.ini", before); };
        sweepFaults(prepare, [&](FaultRun& run) {
            SetLastError(0xdeadbeef);
            const bool ok = row.write();
            const DWORD code = GetLastError();
            const std::optional<Fault> fault = run.stop();
            const std::string why = describe(fault);
            const std::string text = fileText(fsPath("t.ini"));
            { EXPECT_EQ(ok ? after : before, text) << why; }
            expectNoStrayFiles(fault, "t.ini");
            if (ok) return;
            ASSERT_TRUE(fault) << "failed without a fault";
            // The code of the call that failed, as Windows reports the same
            // condition (the library's own allocations set none).
            if (fault->name != "malloc") {
                EXPECT_TRUE(fault->explains(code)) << why << ": " << code;
            }
            if (row.record && recordDue(fault)) {
                char hex[16];
                std::snprintf(hex, sizeof hex, "%08x> ", static_cast<unsigned>(code));
                const std::string record = row.record + std::string(hex) + "<zyn_ini.cpp, 510> ";
                EXPECT_TRUE(failureLogged(*fault, record)) << why;
            }
        });
    }
}

TEST_F(FaultSweepTest, RegistryFileWriteBackLeavesTheOldOrTheNewFileWholeAndSaysWhenItFailed) {
    const std::string file = fsPath("reg.reg").string();
    ScopedEnvVar variable(TEXT("WIN32_POSIX_REGISTRY"), W(file));
    auto setNumber = [](const WCHAR* name, DWORD number) {
        HKEY key = nullptr;
        LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, kScratchKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr);
        if (rc == ERROR_SUCCESS)
            rc = RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
        RegCloseKey(key);
        return rc;
    };
    w32p::testing::resetRegistry();
    ASSERT_EQ(ERROR_SUCCESS, setNumber(TEXT("a"), 1));
    const std::string before = fileText(file);
    ASSERT_EQ(ERROR_SUCCESS, setNumber(TEXT("b"), 2));
    const std::string after = fileText(file);
    ASSERT_NE(before, after);

    auto prepare = [&] {
        startFrom("reg.reg", before);
        w32p::testing::resetRegistry();  // the next call loads the file
    };
    sweepFaults(prepare, [&](FaultRun& run) {
        ::testing::internal::CaptureStderr();
        const LONG rc = setNumber(TEXT("b"), 2);
        const std::optional<Fault> fault = run.stop();
        const std::string messages = ::testing::internal::GetCapturedStderr();
        const std::string why = describe(fault);
        // The registry lives in the process; the file is its copy.
        EXPECT_EQ(ERROR_SUCCESS, rc) << why;
        const std::string text = fileText(file);
        EXPECT_TRUE(text == before || text == after) << why << "\n" << text;
        if (text != after) {
            EXPECT_NE(std::string::npos, messages.find("win32_posix: ")) << why;
        }
        expectNoStrayFiles(fault, "reg.reg");
        w32p::testing::resetRegistry();  // the version it holds open goes
    });
    w32p::testing::resetRegistry();
}

TEST_F(FaultSweepTest, ModuleLoadAndUnloadKeepEverySoundItemAndLogWhatTheyLeaveOut) {
    writeBytes(itemPath("a.ini"), section("QUICKLINK", 1) + section("TOOLKIT", 2));
    writeBytes(itemPath("b.ini"), section("QUICKLINK", 3));
    writeStrings(itemPath("a.ini"), {1, 2});
    writeStrings(itemPath("b.ini"), {3});
    std::vector<ExpectedItem> full[2];
    for (const std::string& name : searchOrder(itemsFolder() + TEXT("*.ini"))) {
        for (int n : name == "a.ini" ? std::vector<int>{1, 2} : std::vector<int>{3}) {
            ExpectedItem expected = item(n);
            expected.menuText = "Item " + std::to_string(n);
            full[n == 2].push_back(expected);
        }
    }

    const size_t total = full[0].size() + full[1].size();
    const std::string folder = fsPath("items").string();

    auto prepare = [&] { std::filesystem::remove(fsPath("log.txt")); };
    sweepFaults(prepare, [&](FaultRun& run) {
        const HostAnswers answers = loadAndAsk();
        const std::optional<Fault> fault = run.stop();
        const std::string why = describe(fault);
        EXPECT_EQ(1u, answers.status) << why;
        // Each list holds some of its items, in order, each answered byte for
        // byte, its menu text found or the host's bytes left.
        size_t kept = 0;
        for (DWORD list = 0; list < 2; ++list) {
            size_t next = 0;
            for (DWORD position = 1; position <= 3; ++position) {
                const DWORD id = list * 100 + position;
                const Answer& answer = answers.byId.at(id);
                if (answer.infoCode != 0) continue;
                ++kept;
                while (next < full[list].size() && 4000 + full[list][next].n != answer.capability)
                    ++next;
                ASSERT_LT(next, full[list].size()) << why << ": id " << id;
                ExpectedItem expected = full[list][next++];
                const FunctionInfo withText = expectedRecord(id, &expected);
                expected.menuText.clear();
                const FunctionInfo without = expectedRecord(id, &expected);
                const bool textFound = std::memcmp(&withText, &answer.record, sizeof withText) == 0;
                EXPECT_TRUE(textFound || std::memcmp(&without, &answer.record, sizeof without) == 0)
                    << why << ": id " << id;
                if (!textFound && recordDue(fault)) {
                    EXPECT_TRUE(failureLogged(*fault, "could not load translated string")) << why;
                }
            }
        }
        // A failed search of the folder leaves the catalogue empty without a
        // record; any other item left out is logged.
        if (fault && fault->target == folder) {
            EXPECT_TRUE(kept == 0 || kept == total) << why << ": " << kept << " items";
        } else if (kept < total && recordDue(fault)) {
            EXPECT_TRUE(logged("<EXCEPTION_BAD>")) << why << ": " << kept << " items";
        }
    });
}

TEST_F(FaultSweepTest, AQueryAnswersWholeOrNotAtAllAndNeverWritesPastTheRecord) {
    writeBytes(itemPath("a.ini"), section("QUICKLINK", 1));
    LoadedModule module(HBC_MODULE_PATH);
    HostFunctions host = module.functions();
    ASSERT_TRUE(host.complete());
    ExpectedItem expected = item(1);
    const FunctionInfo without = expectedRecord(1, &expected);
    expected.menuText = "Item 1";
    const FunctionInfo withText = expectedRecord(1, &expected);
    FunctionInfo untouched;
    std::memset(&untouched, kHostFill, sizeof untouched);
    untouched.functionId = 1;
    // A query that fails on its way has written what comes before the menu
    // text: the reserved text and the command.
    FunctionInfo partial = untouched;
    partial.reservedText[0] = 0;
    std::memcpy(partial.execInterface, withText.execInterface, sizeof partial.execInterface);

    auto prepare = [&] {
        // Written anew, so that the query reads the file rather than what an
        // earlier query kept of it.
        writeStrings(itemPath("a.ini"), {1});
        std::filesystem::remove(fsPath("log.txt"));
    };
    sweepFaults(prepare, [&](FaultRun& run) {
        struct {
            FunctionInfo record;
            unsigned char guard[64];
        } hostBuffer;
        std::memset(&hostBuffer, kHostFill, sizeof hostBuffer);
        hostBuffer.record.functionId = 1;
        DWORD size = sizeof(FunctionInfo);
        const DWORD rc = host.getFunctionInfo(0x0409, &hostBuffer.record, &size);
        const std::optional<Fault> fault = run.stop();
        const std::string why = describe(fault);
        for (unsigned char b : hostBuffer.guard)
            ASSERT_EQ(kHostFill, b) << why << ": past the record";
        const auto is = [&](const FunctionInfo& r) {
            return std::memcmp(&r, &hostBuffer.record, sizeof r) == 0;
        };
        if (rc == 1) {
            ASSERT_TRUE(fault) << "failed without a fault";
            EXPECT_TRUE(is(untouched) || is(partial)) << why;
            if (recordDue(fault)) {
                EXPECT_TRUE(failureLogged(*fault, "<EXCEPTION_BAD>")) << why;
            }
            return;
        }
        ASSERT_EQ(0u, rc) << why;
        EXPECT_TRUE(is(withText) || is(without)) << why;
        if (!is(withText) && recordDue(fault)) {
            EXPECT_TRUE(
                failureLogged(*fault, "\"could not load translated string or english string"))
                << why;
        }
    });
}
