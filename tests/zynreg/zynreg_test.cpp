// zynreg_test.cpp - zynreg run as a child process over the registry the
// test shares with it: each command's exit status, output and one-line
// messages, in a scenario that sets, reads, lists, exports, imports, saves,
// restores and deletes, and the command lines it refuses.
#include "hbc_test.h"

#ifndef _WIN32
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;
#endif

namespace {

// What one run of zynreg gave.
struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

std::string fileText(const std::filesystem::path& path) {
    const std::vector<unsigned char> bytes = readBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

#ifdef _WIN32
// One argument quoted so that the program's command-line parser gives it
// back unchanged: backslashes are doubled before a quote and at the end.
wstr quotedArgument(const wstr& arg) {
    wstr out = L"\"";
    size_t backslashes = 0;
    for (WCHAR c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

int spawn(const std::vector<std::string>& args, const std::filesystem::path& out,
          const std::filesystem::path& err) {
    wstr program = W(ZYNREG_PATH);
    for (WCHAR& c : program)
        if (c == L'/') c = L'\\';
    wstr line = quotedArgument(program);
    for (const std::string& arg : args) line += L" " + quotedArgument(W(arg));
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    auto open = [&](const std::filesystem::path& path) {
        return CreateFileW(path.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = open(out);
    startup.hStdError = open(err);
    PROCESS_INFORMATION info = {};
    DWORD code = DWORD(-1);
    if (CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                       &info)) {
        WaitForSingleObject(info.hProcess, INFINITE);
        GetExitCodeProcess(info.hProcess, &code);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    CloseHandle(startup.hStdOutput);
    CloseHandle(startup.hStdError);
    return static_cast<int>(code);
}
#else
int spawn(const std::vector<std::string>& args, const std::filesystem::path& out,
          const std::filesystem::path& err) {
    std::vector<std::string> all = {ZYNREG_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : all) argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    int status = 0;
    const bool started =
        posix_spawn(&pid, ZYNREG_PATH, &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    if (!started || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}
#endif

// One command of a scenario and what it must give.
struct Step {
    const char* comment;
    std::vector<std::string> args;
    int status;
    std::string out;
    std::string err;
};

class ZynregTest : public HbcTest {
protected:
    void SetUp() override {
        HbcTest::SetUp();
        shareRegistryWithChildren();
    }
    Outcome zynreg(const std::vector<std::string>& args) {
        Outcome run;
        run.status = spawn(args, fsPath("stdout.txt"), fsPath("stderr.txt"));
        run.out = fileText(fsPath("stdout.txt"));
        run.err = fileText(fsPath("stderr.txt"));
        return run;
    }
    void runSteps(const std::vector<Step>& steps) {
        for (const Step& step : steps) {
            SCOPED_TRACE(step.comment);
            const Outcome run = zynreg(step.args);
            EXPECT_EQ(step.status, run.status);
            EXPECT_EQ(step.out, run.out);
            EXPECT_EQ(step.err, run.err);
        }
    }
    std::string file(const std::string& name) const { return U8(winPath(name)); }
};

const std::string kKey = "HKEY_CURRENT_USER\\Software\\HbcTests\\z";
const std::string kShortKey = "HKCU\\Software\\HbcTests\\z";
const std::string kTryHelp = "; try 'zynreg --help'\n";

}  // namespace

TEST_F(ZynregTest, RefusedCommandLines) {
    const std::string usage = "zynreg: usage: zynreg ";
    runSteps({
        {"nothing", {}, 2, "", "zynreg: no command given" + kTryHelp},
        {"an unknown command", {"frob"}, 2, "", "zynreg: unknown command \"frob\"" + kTryHelp},
        {"too few arguments", {"get", kKey}, 2, "", usage + "get KEY NAME" + kTryHelp},
        {"too many",
         {"export", kKey, "a", "b"},
         2,
         "",
         usage + "export KEY FILE [--force]" + kTryHelp},
        {"--force where it means nothing",
         {"list", kKey, "--force"},
         2,
         "",
         usage + "list KEY" + kTryHelp},
        {"no root",
         {"list", "HKXX\\Software"},
         2,
         "",
         "zynreg: \"HKXX\\Software\" does not start with a root key (HKLM, HKCU, HKCR, HKU, HKCC "
         "or their long names, HKEY_LOCAL_MACHINE and so on)" +
             kTryHelp},
        {"an unknown type",
         {"set", kKey, "n", "REG_QWORD", "1"},
         2,
         "",
         "zynreg: unknown type \"REG_QWORD\" (use REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD "
         "or REG_BINARY)" +
             kTryHelp},
        {"a negative number",
         {"set", kKey, "n", "REG_DWORD", "-1"},
         2,
         "",
         "zynreg: REG_DWORD data \"-1\" is not a number from 0 to 4294967295 (decimal, or 0x and "
         "up to 8 hex digits)" +
             kTryHelp},
        {"a number past 32 bits",
         {"set", kKey, "n", "REG_DWORD", "0x100000000"},
         2,
         "",
         "zynreg: REG_DWORD data \"0x100000000\" is not a number from 0 to 4294967295 (decimal, "
         "or 0x and up to 8 hex digits)" +
             kTryHelp},
        {"half a byte",
         {"set", kKey, "n", "REG_BINARY", "01 0"},
         2,
         "",
         "zynreg: REG_BINARY data \"01 0\" is not bytes of two hex digits each (\"01 02 ff\", "
         "\"0102ff\")" +
             kTryHelp},
        {"one %",
         {"set", kKey, "n", "REG_EXPAND_SZ", "50%"},
         2,
         "",
         "zynreg: REG_EXPAND_SZ data \"50%\" must hold pairs of % around variable names, as in "
         "%SystemRoot%\\system32" +
             kTryHelp},
        {"an empty string of a multi-string",
         {"set", kKey, "n", "REG_MULTI_SZ", "a", ""},
         2,
         "",
         "zynreg: a REG_MULTI_SZ value cannot hold an empty string" + kTryHelp},
        {"two texts",
         {"set", kKey, "n", "REG_SZ", "a", "b"},
         2,
         "",
         "zynreg: REG_SZ takes exactly one DATA argument" + kTryHelp},
        {"a whole root",
         {"delete", "hkcu"},
         2,
         "",
         "zynreg: a root key cannot be deleted: HKEY_CURRENT_USER" + kTryHelp},
        {"--registry without its file",
         {"--registry"},
         2,
         "",
         "zynreg: --registry needs a FILE" + kTryHelp},
    });
}

TEST_F(ZynregTest, HelpSaysHowToUseIt) {
    const Outcome run = zynreg({"--help"});
    EXPECT_EQ(0, run.status);
    EXPECT_EQ(0u, run.out.find("usage: zynreg [--registry FILE] COMMAND ARGUMENTS...\n"));
    for (const char* command :
         {"export", "import", "save", "restore", "list", "get", "set", "delete",
          "Exit status: 0 done, 1 the operation failed, 2 bad usage."})
        EXPECT_NE(std::string::npos, run.out.find(command)) << command;
    EXPECT_EQ("", run.err);
}

TEST_F(ZynregTest, Scenario) {
    // Values named in the order both Windows (creation order) and Wine
    // (sorted) list them.
    regSetString(HKEY_CURRENT_USER, kScratchKey + wstr(TEXT("\\empty")), TEXT(""), W("default"));
    const std::string text = "say \"hi\" \\ é中";
    const std::string listed =
        "sub\\\n"
        "a count\tREG_DWORD\t0x0000000A\n"
        "b title\tREG_SZ\t" +
        text +
        "\n"
        "c path\tREG_EXPAND_SZ\t%SystemRoot%\\x\n"
        "d list\tREG_MULTI_SZ\ta\\0bc\n"
        "e data\tREG_BINARY\t01 02 03\n";
    const std::string noKey = "zynreg: no such key: " + kKey + "\n";
    const std::string exists = "\" exists; pass --force to replace it\n";
    runSteps({
        {"a number, written the short way",
         {"set", kShortKey, "a count", "REG_DWORD", "10"},
         0,
         "",
         ""},
        {"a text", {"set", kKey, "b title", "reg_sz", text}, 0, "", ""},
        {"an expandable text",
         {"set", kKey, "c path", "REG_EXPAND_SZ", "%SystemRoot%\\x"},
         0,
         "",
         ""},
        {"a multi-string", {"set", kKey, "d list", "REG_MULTI_SZ", "a", "bc"}, 0, "", ""},
        {"bytes, in pieces", {"set", kKey, "e data", "REG_BINARY", "01 02", "03"}, 0, "", ""},
        {"a subkey, made on the way", {"set", kKey + "\\sub", "v", "REG_DWORD", "0x1f"}, 0, "", ""},
        {"a number", {"get", kKey, "a count"}, 0, "0x0000000A\n", ""},
        {"a multi-string, one string a line", {"get", kKey, "d list"}, 0, "a\nbc\n", ""},
        {"a default value", {"get", "HKCU\\Software\\HbcTests\\empty", ""}, 0, "default\n", ""},
        {"the subkeys, then the values", {"list", kKey}, 0, listed, ""},
        {"a missing value",
         {"get", kKey, "nothing"},
         1,
         "",
         "zynreg: no value \"nothing\" in " + kKey + "\n"},
        {"a missing key",
         {"list", kKey + "\\nothing"},
         1,
         "",
         "zynreg: no such key: " + kKey + "\\nothing\n"},
        {"exported", {"export", kKey, file("z.ini")}, 0, "", ""},
        {"not over a file",
         {"export", kKey, file("z.ini")},
         1,
         "",
         "zynreg: \"" + file("z.ini") + exists},
        {"unless forced", {"export", "--force", kKey, file("z.ini")}, 0, "", ""},
        {"a key with nothing the text file keeps",
         {"export", "HKCU\\Software\\HbcTests\\empty", file("e.ini")},
         1,
         "",
         "zynreg: nothing to export: HKEY_CURRENT_USER\\Software\\HbcTests\\empty and its subkeys "
         "hold no value of the types a registry text file keeps (REG_SZ, REG_EXPAND_SZ, "
         "REG_MULTI_SZ, REG_DWORD, REG_BINARY)\n"},
        {"saved", {"save", kKey, file("z.key")}, 0, "", ""},
        {"not over a file",
         {"save", kKey, file("z.key")},
         1,
         "",
         "zynreg: \"" + file("z.key") + exists},
        {"a value deleted", {"delete", kKey, "a count"}, 0, "", ""},
        {"and gone",
         {"delete", kKey, "a count"},
         1,
         "",
         "zynreg: no value \"a count\" in " + kKey + "\n"},
        {"the key deleted", {"delete", kKey}, 0, "", ""},
        {"and gone", {"delete", kKey}, 1, "", noKey},
        {"imported", {"import", file("z.ini")}, 0, "", ""},
        {"all back", {"list", kKey}, 0, listed, ""},
        {"no file",
         {"import", file("none.ini")},
         1,
         "",
         "zynreg: no such file: \"" + file("none.ini") + "\"\n"},
        {"a file without sections",
         {"import", file("stdout.txt")},
         1,
         "",
         "zynreg: \"" + file("stdout.txt") + "\" holds no registry sections\n"},
        {"a value changed", {"set", kKey, "a count", "REG_DWORD", "11"}, 0, "", ""},
        {"restored", {"restore", kKey, file("z.key")}, 0, "", ""},
        {"as saved",
         {"get", kKey, "a count"},
         0,
         expectOnHost<std::string>("RegRestoreKeyW is a stub under Wine that restores nothing",
                                   "0x0000000A\n", "0x0000000B\n"),
         ""},
    });
}

#ifndef _WIN32
// The registry is a file only on POSIX: without one every change would be
// lost when zynreg ends, so it refuses to start; --registry names one.
TEST_F(ZynregTest, OnPosixARegistryFileIsNeeded) {
    ScopedEnvVar noFile(TEXT("WIN32_POSIX_REGISTRY"), nullptr);
    const std::string registry = fsPath("own.reg").string();
    runSteps({
        {"no registry file",
         {"list", "HKCU"},
         2,
         "",
         "zynreg: no registry file: set WIN32_POSIX_REGISTRY or pass --registry FILE (without one "
         "the registry lives only inside zynreg and is gone when it ends)" +
             kTryHelp},
        {"one named", {"--registry", registry, "set", kKey, "v", "REG_SZ", "x"}, 0, "", ""},
        {"and kept", {"--registry", registry, "get", kKey, "v"}, 0, "x\n", ""},
    });
}
#else
// On Windows the registry is the system's: there is no file to name.
TEST_F(ZynregTest, OnWindowsThereIsNoRegistryFile) {
    runSteps({{"--registry",
               {"--registry", "x.reg", "list", "HKCU"},
               2,
               "",
               "zynreg: --registry is for POSIX, where the registry is a file; on Windows zynreg "
               "works on the system's registry" +
                   kTryHelp}});
}
#endif
