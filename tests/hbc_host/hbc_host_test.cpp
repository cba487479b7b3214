// hbc_host_test.cpp - hbc-host run as an item author runs it, as a child
// process: on the sample folder (examples/items, with its drive folder as
// drive C:) and on folders the tests write. Its table and its JSON (parsed
// back), its exit status, each error line, the quoting hints, the language
// fallbacks, --os, --log, and the registry put back as it was.
#include <nlohmann/json.hpp>

#include <regex>

#include "catalogue_fixture.h"
#include "child_process.h"
#include "log_records.h"

namespace {

using json = nlohmann::json;

const WCHAR* const kLogsKey = TEXT("SOFTWARE\\Norvak\\Logs");
// Under Wine, the Windows version hbc-host.exe reports (read when it starts).
const WCHAR* const kWineAppDefaults = TEXT("Software\\Wine\\AppDefaults\\hbc-host.exe");

struct HostRun {
    int status = -1;
    std::string out, err;
};

// Splits a table row into its cells (columns are two or more blanks apart).
std::vector<std::string> cells(const std::string& row) {
    std::vector<std::string> out;
    std::regex separator("  +");
    std::string trimmed = std::regex_replace(row, std::regex("^ +| +$"), "");
    for (std::sregex_token_iterator it(trimmed.begin(), trimmed.end(), separator, -1), end;
         it != end; ++it)
        out.push_back(*it);
    return out;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// The string values of one key of every element, in order.
std::vector<std::string> values(const json& array, const char* key) {
    std::vector<std::string> out;
    for (const json& element : array)
        out.push_back(element[key].is_null() ? "null" : element[key].get<std::string>());
    return out;
}

// The rejection of a file in a report, or null.
json rejectionOf(const json& report, const std::string& file) {
    for (const json& rejection : report["rejections"])
        if (rejection["file"] == file) return rejection;
    return json();
}

std::string expand(const std::string& text) {
    WCHAR buffer[1024];
    DWORD n = ExpandEnvironmentStringsW(W(text).c_str(), buffer, 1024);
    return n > 0 && n <= 1024 ? U8(buffer) : text;
}

// Drive C: of the sample, examples/drive: natively the stand-in's drive
// setting; under Windows its files copied onto the real drive C: (the Wine
// prefix's), and removed again with the folders this object made.
class SampleDrive {
public:
    SampleDrive() {
#ifdef _WIN32
        namespace fs = std::filesystem;
        const fs::path source = fs::path(HBC_EXAMPLES_DIR) / "drive";
        for (const auto& entry : fs::recursive_directory_iterator(source)) {
            fs::path target = fs::path("C:/") / fs::relative(entry.path(), source);
            if (fs::exists(target)) continue;
            if (entry.is_directory()) {
                fs::create_directory(target);
            } else {
                fs::copy_file(entry.path(), target);
            }
            m_made.push_back(target);
        }
#else
        m_drive.emplace(TEXT("WIN32_POSIX_DRIVE_C"), W(std::string(HBC_EXAMPLES_DIR) + "/drive"));
#endif
    }
    ~SampleDrive() {
        std::error_code ignored;
        for (auto made = m_made.rbegin(); made != m_made.rend(); ++made)
            std::filesystem::remove(*made, ignored);
    }

private:
    std::vector<std::filesystem::path> m_made;
    std::optional<ScopedEnvVar> m_drive;
};

class HbcHostTest : public CatalogueTest {
protected:
    void SetUp() override {
        CatalogueTest::SetUp();
        if (HasFatalFailure()) return;
        // Under Wine the tool reports Windows 10, as natively.
        ASSERT_TRUE(
            regSetString(HKEY_CURRENT_USER, kWineAppDefaults, TEXT("Version"), TEXT("win10")));
    }
    void TearDown() override {
        regDeleteTree(HKEY_CURRENT_USER, kWineAppDefaults);
        CatalogueTest::TearDown();
    }

    // Runs hbc-host with these arguments (each quoted for the shell).
    HostRun run(const std::vector<std::string>& args) const {
        std::string line = HBC_HOST_EXE;
#ifdef _WIN32
        for (char& c : line)
            if (c == '/') c = '\\';
        // Backslashes before the closing quote are doubled, or the quote
        // would be taken for a quote within the argument.
        const auto quote = [](const std::string& arg) {
            size_t trailing = arg.size() - (arg.find_last_not_of('\\') + 1);
            return "\"" + arg + std::string(trailing, '\\') + "\"";
        };
        const std::string errors = U8(winPath("stderr.txt"));
#else
        const auto quote = [](const std::string& arg) { return "'" + arg + "'"; };
        const std::string errors = fsPath("stderr.txt").string();
#endif
        for (const std::string& arg : args) line += " " + quote(arg);
        line += " 2>" + quote(errors);
        HostRun result;
        result.status = runCommandLine(line, result.out);
        std::vector<unsigned char> err = readBytes(fsPath("stderr.txt"));
        result.err.assign(err.begin(), err.end());
        return result;
    }
    // Runs hbc-host with --json and the arguments; the document it printed.
    json report(std::vector<std::string> args, int status = 0) const {
        args.insert(args.begin(), "--json");
        HostRun result = run(args);
        EXPECT_EQ(status, result.status) << result.err;
        json document = json::parse(result.out, nullptr, false);
        EXPECT_FALSE(document.is_discarded()) << result.out << result.err;
        return document;
    }
    std::string items() const { return U8(itemsFolder()); }
    std::string sample() const { return std::string(HBC_EXAMPLES_DIR) + "/items"; }
    // The sample's files in the order the folder search returns them.
    std::vector<std::string> sampleOrder() const {
        wstr folder = W(sample());
        for (WCHAR& c : folder)
            if (c == '/') c = '\\';
        return searchOrder(folder + TEXT("\\*.ini"));
    }
    void writeUtf16(const std::string& name, const std::string& utf8) {
        std::string bytes = "\xFF\xFE";
        for (WCHAR unit : W(utf8)) {
            bytes.push_back(static_cast<char>(unit & 0xFF));
            bytes.push_back(static_cast<char>(unit >> 8));
        }
        writeBytes(itemPath(name), bytes);
    }
};

// The sample's sections as the host must get them on Windows 10 in US
// English, in the order of the files and, within a file, QUICKLINK first.
struct SampleSection {
    const char* file;
    const char* list;
    LONG categoryCode;
    const char* menuString;
    const char* menuText;  // nullptr: rejected
    std::string command;   // as the host gets it
};

std::vector<SampleSection> sampleSections() {
    const std::string console = expand("%windir%\\system32\\mmc.exe ");
    return {
        {"broken.ini", "QUICKLINK", 500, "IDS_COMPUTER", nullptr, ""},
        {"devices.ini", "QUICKLINK", 500, "IDS_DEVICES", "Device Manager",
         console + "\"" + expand("%SystemRoot%\\system32\\devmgmt.msc") + "\""},
        {"legacy.ini", "TOOLKIT", 150, "IDS_LEGACY_BACKUP", "Legacy backup",
         "\"" + expand("%ProgramFiles%\\Legacy Backup\\backup.exe") + "\" /wizard"},
        {"notes.ini", "QUICKLINK", 200, "IDS_NOTES", "Notes",
         "\"" + expand("%ProgramFiles%\\Notes\\notes.exe") + "\" /quick"},
        {"notes.ini", "TOOLKIT", 300, "IDS_NOTES_SETTINGS", "Notes settings",
         "\"" + expand("%ProgramFiles%\\Notes\\notes.exe") + "\" /settings"},
    };
}

// The accepted sample sections with their ids, in the host's order.
std::vector<std::pair<DWORD, SampleSection>> sampleItems(const std::vector<std::string>& order) {
    std::vector<std::pair<DWORD, SampleSection>> items;
    for (const char* list : {"QUICKLINK", "TOOLKIT"}) {
        DWORD id = std::string(list) == "QUICKLINK" ? 1 : 101;
        for (const std::string& file : order)
            for (const SampleSection& section : sampleSections())
                if (file == section.file && std::string(list) == section.list && section.menuText)
                    items.push_back({id++, section});
    }
    return items;
}

}  // namespace

TEST_F(HbcHostTest, SampleFolderAsJson) {
    SampleDrive drive;
    const std::vector<std::string> order = sampleOrder();
    ASSERT_EQ(4u, order.size());
    json document = report({sample()});

    EXPECT_EQ("10.0", document["windowsVersion"]);
    EXPECT_EQ(0x409, document["language"]);
    EXPECT_EQ(true, document["checkFails"]) << "broken.ini is rejected";
    const auto expected = sampleItems(order);
    ASSERT_EQ(expected.size(), document["items"].size()) << document.dump(2);
    for (size_t i = 0; i < expected.size(); ++i) {
        const auto& [id, section] = expected[i];
        const json& item = document["items"][i];
        SCOPED_TRACE(std::string(section.file) + " " + section.list);
        EXPECT_EQ(id, item["id"]);
        EXPECT_EQ(section.list, item["list"]);
        EXPECT_EQ(section.categoryCode, item["categoryCode"]);
        EXPECT_EQ(section.menuText, item["menuText"]);
        EXPECT_EQ(section.command, item["execInterface"]);
        EXPECT_EQ(section.file, item["file"]);
        EXPECT_EQ(section.menuString, item["menuString"]);
    }
    // The rejected sample, with the line to write.
    ASSERT_EQ(1u, document["rejections"].size()) << document.dump(2);
    const json& broken = document["rejections"][0];
    EXPECT_EQ("broken.ini", broken["file"]);
    EXPECT_EQ("QUICKLINK", broken["section"]);
    EXPECT_EQ("bad path", broken["reason"]);
    EXPECT_EQ("bad path: " + expand("%SystemRoot%\\system32\\compmgmt.msc"), broken["message"]);
    EXPECT_EQ("ExecInterface=\"\"%SystemRoot%\\system32\\compmgmt.msc\"\"", broken["line"]);
    EXPECT_TRUE(document["otherRecords"].empty()) << document["otherRecords"].dump(2);
}

TEST_F(HbcHostTest, SampleFolderAsTable) {
    SampleDrive drive;
    HostRun result = run({sample()});
    ASSERT_EQ(0, result.status) << result.err;
    EXPECT_EQ("", result.err);
    const std::vector<std::string> out = lines(result.out);
    const std::vector<std::string> header = {"id",        "category",   "dependency",
                                             "menu type", "menu text",  "exec type",
                                             "command",   "capability", "file"};
    EXPECT_EQ(2, std::count_if(out.begin(), out.end(),
                               [&](const std::string& line) { return cells(line) == header; }));
    // Each item a row, its cells in the header's order.
    for (const auto& [id, section] : sampleItems(sampleOrder())) {
        SCOPED_TRACE(section.file);
        auto row = std::find_if(out.begin(), out.end(), [&, id = id](const std::string& line) {
            return !cells(line).empty() && cells(line)[0] == std::to_string(id);
        });
        ASSERT_NE(out.end(), row) << result.out;
        std::vector<std::string> got = cells(*row);
        ASSERT_EQ(9u, got.size()) << *row;
        EXPECT_EQ(std::to_string(section.categoryCode), got[1]);
        EXPECT_EQ(section.menuText, got[4]);
        EXPECT_EQ(section.command, got[6]);
        EXPECT_EQ(section.file, got[8]);
    }
    // The rejection, the quoting trap in words, and the line to write.
    auto rejected = std::find(
        out.begin(), out.end(),
        "  broken.ini [QUICKLINK]: bad path: " + expand("%SystemRoot%\\system32\\compmgmt.msc"));
    ASSERT_NE(out.end(), rejected) << result.out;
    ASSERT_LT(rejected + 2, out.end());
    EXPECT_NE(std::string::npos, rejected[1].find("strips one pair of double quotes"));
    EXPECT_EQ("      ExecInterface=\"\"%SystemRoot%\\system32\\compmgmt.msc\"\"", rejected[2]);
}

TEST_F(HbcHostTest, ErrorsAreOneLineAndStatus2) {
    writeBytes(fsPath("plain.txt"), "no module, no folder");
    std::filesystem::create_directories(fsPath("empty"));
    struct {
        const char* what;
        std::vector<std::string> args;
        const char* says;  // in the line on standard error
    } rows[] = {
        {"an unknown option", {"--bogus", items()}, "--bogus"},
        {"a language past 16 bits", {"--lang", "0x10000", items()}, "--lang \"0x10000\""},
        {"a language that is no number", {"--lang", "fr", items()}, "--lang \"fr\""},
        {"a detail that is no number", {"--detail", "lots", items()}, "--detail \"lots\""},
        // Natively a bad version; on Windows --os is refused whatever its value.
        {"an unknown Windows version", {"--os", "98", items()}, "--os"},
        {"a missing folder", {U8(winPath("nowhere"))}, "does not exist"},
        {"a folder that is a file", {U8(winPath("plain.txt"))}, "is a file, not a folder"},
        {"a folder without definition files",
         {U8(winPath("empty"))},
         "holds no item definition files (*.ini)"},
        {"a missing module", {"--module", U8(winPath("none.dll")), items()}, "no module"},
        {"a file that is no module",
         {"--module", U8(winPath("plain.txt")), items()},
         "cannot load the module"},
        {"a module without the plug-in's exports",
         {"--module", HBC_FOREIGN_MODULE, items()},
         "lacks the export HB_GetStatus"},
        {"a log in a missing folder",
         {"--log", U8(winPath("nowhere\\log.txt")), items()},
         "the folder of the log"},
    };
    writeBytes(itemPath("a.ini"), section("QUICKLINK", 1));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        HostRun result = run(row.args);
        EXPECT_EQ(2, result.status);
        EXPECT_EQ("", result.out);
        EXPECT_EQ(0u, result.err.rfind("hbc-host: ", 0)) << result.err;
        EXPECT_NE(std::string::npos, result.err.find(row.says)) << result.err;
        EXPECT_EQ(1u, lines(result.err).size()) << result.err;
    }
}

TEST_F(HbcHostTest, ExitStatusSaysWhatCheckFound) {
    writeBytes(itemPath("good.ini"), section("QUICKLINK", 1));
    writeStrings(itemPath("good.ini"), {1});
    std::filesystem::create_directories(fsPath("bad"));
    writeBytes(fsPath("bad/bad.ini"), section("TOOLKIT", 2, {{"Capability", nullptr}}));
    writeStrings(fsPath("bad/bad.ini"), {2});
    std::filesystem::create_directories(fsPath("untranslated"));
    writeBytes(fsPath("untranslated/x.ini"), section("QUICKLINK", 3));
    struct {
        const char* what;
        std::vector<std::string> args;
        int status;
    } rows[] = {
        {"all accepted and translated", {"--check", items()}, 0},
        {"a rejected section", {"--check", U8(winPath("bad"))}, 1},
        {"a rejected section, without --check", {U8(winPath("bad"))}, 0},
        {"a menu text missing", {"--check", U8(winPath("untranslated"))}, 1},
        {"the help", {"--help"}, 0},
        {"the version", {"--version"}, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        HostRun result = run(row.args);
        EXPECT_EQ(row.status, result.status) << result.err;
        EXPECT_EQ("", result.err);
        EXPECT_FALSE(result.out.empty());
    }
}

TEST_F(HbcHostTest, RejectionsNameTheirSectionAndWhatToWrite) {
    // One file per row, its QUICKLINK section edited; what hbc-host says.
    const std::string tool = U8(winPath("programs\\my tool.exe"));
    writeBytes(fsPath("programs/my tool.exe"), "MZ");
    const std::string quoted = "\"" + tool + "\"";
    struct {
        const char* file;
        const char* key;     // the key changed
        std::string value;   // its value; "-" leaves the key out
        const char* reason;  // nullptr: accepted
        const char* hint;    // in the words
        std::string line;    // the line to write; "" none
    } rows[] = {
        // The trap: the INI reader strips the only pair of quotes.
        {"a_trap.ini", "ExecInterface", quoted, "bad path", "strips one pair of double quotes",
         "ExecInterface=\"\"" + tool + "\"\""},
        // Doubled quotes: accepted.
        {"b_doubled.ini", "ExecInterface", "\"" + quoted + "\"", nullptr, "", ""},
        // No quotes at all: the program is found up to the blank before /x.
        {"c_unquoted.ini", "ExecInterface", tool + " /x", "bad path", "Quote the program",
         "ExecInterface=" + quoted + " /x"},
        // A quoted argument makes the program run to the last quote.
        {"d_quoted_arg.ini", "ExecInterface", quoted + " \"/x\"", "bad path",
         "from the first to the last double quote", ""},
        {"e_missing.ini", "ExecInterface", "\"C:\\nowhere\\x.exe\" /x", "bad path",
         "does not exist", ""},
        {"f_capability.ini", "Capability", "-", "Missing CAPABILITY value", "", ""},
        {"g_category.ini", "Category", "-", "no Category", "writes no record", ""},
        {"h_xp.ini", "XP", "-1", "Missing XP value", "", ""},
    };
    for (size_t i = 0; i < std::size(rows); ++i)
        writeBytes(
            itemPath(rows[i].file),
            section("QUICKLINK", static_cast<int>(i + 1),
                    {{rows[i].key, rows[i].value == "-" ? nullptr : rows[i].value.c_str()}}));
    json document = report({items()});
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        json rejection = rejectionOf(document, row.file);
        if (!row.reason) {
            EXPECT_TRUE(rejection.is_null()) << rejection.dump();
            continue;
        }
        ASSERT_FALSE(rejection.is_null()) << document.dump(2);
        EXPECT_EQ("QUICKLINK", rejection["section"]);
        EXPECT_EQ(row.reason, rejection["reason"]);
        EXPECT_NE(std::string::npos, rejection.value("hint", "").find(row.hint)) << rejection;
        EXPECT_EQ(row.line, rejection.value("line", ""));
    }
    // The accepted one is named with its file.
    ASSERT_EQ(1u, document["items"].size());
    EXPECT_EQ("b_doubled.ini", document["items"][0]["file"]);
}

TEST_F(HbcHostTest, LanguageFallsBackAsTheModuleLooksUp) {
    writeBytes(itemPath("lang.ini"),
               section("QUICKLINK", 1) + section("TOOLKIT", 2, {{"MenuString", "IDS_NONE"}}));
    writeUtf16(
        "lang.ini.strings",
        "[0x40C]\r\nIDS_1=France\r\n[0x0C]\r\nIDS_1=Français\r\n[0x09]\r\nIDS_1=English\r\n");
    struct {
        const char* lang;
        const char* outcome;
        const char* section;
        const char* text;
    } rows[] = {
        {"0x40C", "language", "0x40C", "France"},  // the full language
        {"1036", "language", "0x40C", "France"},   // the same, in decimal
        {"0x80C", "primary", "0x0C", "Français"},  // Belgian French: the primary language
        {"0x407", "english", "0x09", "English"},   // German: neither, so English
        {"0x1040C", nullptr, nullptr, nullptr},    // no language identifier: refused
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.lang);
        if (!row.outcome) {
            EXPECT_EQ(2, run({"--lang", row.lang, items()}).status);
            continue;
        }
        json document = report({"--lang", row.lang, items()});
        ASSERT_EQ(2u, document["lookups"].size()) << document.dump(2);
        EXPECT_EQ(row.outcome, document["lookups"][0]["outcome"]);
        EXPECT_EQ(row.section, document["lookups"][0]["section"]);
        EXPECT_EQ(row.text, document["items"][0]["menuText"]);
        // The TOOLKIT item's key is in no section: no text.
        EXPECT_EQ("missing", document["lookups"][1]["outcome"]);
        EXPECT_TRUE(document["items"][1]["menuText"].is_null());
        EXPECT_EQ("IDS_NONE", document["lookups"][1]["menuString"]);
        EXPECT_EQ(true, document["checkFails"]);
    }
}

TEST_F(HbcHostTest, OsSetsTheVersionTheModuleSees) {
#ifdef _WIN32
    GTEST_SKIP() << "natively only: on Windows the version comes from the system, and --os is "
                    "refused (ErrorsAreOneLineAndStatus2)";
#endif
    writeBytes(itemPath("xp.ini"), section("QUICKLINK", 1, {{"Vista", "0"}}));
    writeBytes(itemPath("vista.ini"), section("QUICKLINK", 2, {{"XP", "0"}}));
    struct {
        const char* os;
        const char* version;
        std::vector<std::string> accepted;  // files, in order
        const char* rejected;               // the other file's reason, or nullptr
    } rows[] = {
        {"xp", "5.1", {"xp.ini"}, "not for Windows XP"},
        {"vista", "6.0", {"vista.ini"}, "not for Windows Vista"},
        {"7", "6.1", {"vista.ini"}, "not for Windows Vista"},
        {"10", "10.0", {"vista.ini", "xp.ini"}, nullptr},
        {"5.0", "5.0", {"vista.ini", "xp.ini"}, nullptr},  // Windows 2000: neither
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.os);
        json document = report({"--os", row.os, items()});
        EXPECT_EQ(row.version, document["windowsVersion"]);
        EXPECT_EQ(row.accepted, values(document["items"], "file"));
        if (row.rejected) {
            ASSERT_EQ(1u, document["rejections"].size());
            EXPECT_EQ(row.rejected, document["rejections"][0]["reason"]);
        } else {
            EXPECT_TRUE(document["rejections"].empty());
        }
    }
}

TEST_F(HbcHostTest, RegistryIsPutBackAsItWas) {
    shareRegistryWithChildren();
    ASSERT_TRUE(regDeleteTree(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\Norvak")));
    writeBytes(itemPath("a.ini"), section("QUICKLINK", 1));
    const wstr app = TEXT("hbc-host");
    // Before: the keys absent; afterwards they must be absent again.
    ASSERT_EQ(0, run({items()}).status);
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegOpenKeyExW(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\Norvak"), 0, KEY_READ, &key));

    // Before: settings of the user's own, one of which would stop every record.
    ASSERT_TRUE(regSetString(HKEY_LOCAL_MACHINE, HBC_ITEM_FOLDER_KEY, HBC_ITEM_FOLDER_VALUE,
                             TEXT("C:\\Before\\")));
    ASSERT_TRUE(regSetDword(HKEY_LOCAL_MACHINE, kLogsKey, TEXT("Logging"), 0));
    ASSERT_TRUE(regSetString(HKEY_LOCAL_MACHINE, kLogsKey, TEXT("TextOutput"), TEXT("C:\\b.log")));
    ASSERT_TRUE(regSetString(HKEY_LOCAL_MACHINE, kLogsKey, app, TEXT("0,0,x")));
    json document = report({items()});
    EXPECT_EQ(1u, document["items"].size()) << "the load was logged and read";

    const auto readValue = [](const WCHAR* path, const wstr& name, DWORD* type) {
        BYTE data[256] = {};
        DWORD size = sizeof data;
        HKEY open = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &open) != ERROR_SUCCESS)
            return std::string("no key");
        LONG rc = RegQueryValueExW(open, name.c_str(), nullptr, type, data, &size);
        RegCloseKey(open);
        return rc == ERROR_SUCCESS ? std::string(reinterpret_cast<char*>(data), size)
                                   : std::string("absent");
    };
    // A string value's bytes, its terminator included.
    const auto text = [](const WCHAR* value) {
        return std::string(reinterpret_cast<const char*>(value),
                           (std::char_traits<WCHAR>::length(value) + 1) * sizeof(WCHAR));
    };
    struct {
        const WCHAR* key;
        wstr name;
        DWORD type;
        std::string data;
    } rows[] = {
        {HBC_ITEM_FOLDER_KEY, HBC_ITEM_FOLDER_VALUE, REG_SZ, text(TEXT("C:\\Before\\"))},
        {kLogsKey, TEXT("Logging"), REG_DWORD, std::string(4, '\0')},
        {kLogsKey, TEXT("TextOutput"), REG_SZ, text(TEXT("C:\\b.log"))},
        {kLogsKey, app, REG_SZ, text(TEXT("0,0,x"))},
        {kLogsKey, TEXT("LogDetail"), 0, "absent"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(U8(row.name));
        DWORD type = 0;
        EXPECT_EQ(row.data, readValue(row.key, row.name, &type));
        EXPECT_EQ(row.type, type);
    }
}

TEST_F(HbcHostTest, FolderFromTheRegistryAndKeptLog) {
    shareRegistryWithChildren();
    setFolderValue(itemsFolder().c_str());
    writeBytes(itemPath("a.ini"),
               section("QUICKLINK", 1) + section("TOOLKIT", 2, {{"XP", nullptr}}));
    // Twice into one log: each run reads only the records of its own load.
    const std::string log = U8(winPath("kept.log"));
    for (int pass = 1; pass <= 2; ++pass) {
        SCOPED_TRACE(pass);
        json document = report({"--log", log});
        EXPECT_EQ(U8(itemsFolder()), document["folder"]);
        EXPECT_EQ(log, document["log"]);
        EXPECT_EQ(1u, document["items"].size());
        EXPECT_EQ(1u, document["rejections"].size()) << document.dump(2);
    }
    std::vector<std::string> kept = readUtf16Lines(fsPath("kept.log"));
    EXPECT_EQ(2, std::count_if(kept.begin(), kept.end(), [](const std::string& line) {
                  return line.find("Missing XP value for TOOLKIT") != std::string::npos;
              }));
    // Without the value, hbc-host needs a folder.
    setFolderValue(nullptr);
    HostRun result = run({});
    EXPECT_EQ(2, result.status);
    EXPECT_NE(std::string::npos, result.err.find("no item folder")) << result.err;
}

TEST(HbcHostLogLine, EachLineIsClassifiedOrKeptRaw) {
    const std::string time = "<Sun Dec 06 17:35:48 2026>: ";
    struct {
        std::string line;
        LogRecord::Kind kind;
        const char* section;
        const char* file;
        const char* reason;
        const char* command;
    } rows[] = {
        {time + "<EXCEPTION_BAD> <h> \"Missing XP value for QUICKLINK in file C:\\i\\a.ini\" ",
         LogRecord::Rejection, "QUICKLINK", "C:\\i\\a.ini", "Missing XP value", ""},
        {time + "<EXCEPTION_BAD> <h> \"This TOOLKIT is not for Windows Vista.  file = C:\\b.ini\" ",
         LogRecord::Rejection, "TOOLKIT", "C:\\b.ini", "not for Windows Vista", ""},
        {time + "<EXCEPTION_BAD> <h> \"MENUSTRING value too long for TOOLKIT in file C:\\c.ini\" ",
         LogRecord::Rejection, "TOOLKIT", "C:\\c.ini", "MENUSTRING value too long", ""},
        // A command with quotes of its own: the message runs to the last quote.
        {time + "<EXCEPTION_BAD> <h> \"bad path: \"C:\\p q.exe\" \"x\"\" ", LogRecord::Rejection,
         "", "", "bad path", "\"C:\\p q.exe\" \"x\""},
        {time + "<DEBUG> <h> \"calling DllMain() - tpa_hbc.dll\" ", LogRecord::ModuleEntry, "", "",
         "", ""},
        {time + "<EXIT> <h> <CZYNIni::getProfileString> <Failed> <zyn_ini.cpp, 388> ",
         LogRecord::Trace, "", "", "", ""},
        // Shapes hbc-host does not know stay Other, to be shown raw.
        {time +
             "<EXCEPTION_BAD> <h> \"Unable to allocate memory ( m_pBuffer )\" <zyn_buffer.h, 88> ",
         LogRecord::Other, "", "", "", ""},
        {time + "<EXCEPTION_BAD> <h> \"Missing XP value for QUICKLINK\" ", LogRecord::Other, "", "",
         "", ""},
        {"not a log line", LogRecord::Other, "", "", "", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        LogRecord record = parseLogLine(row.line);
        EXPECT_EQ(row.kind, record.kind);
        EXPECT_EQ(row.line, record.raw);
        EXPECT_EQ(row.section, record.section);
        EXPECT_EQ(row.file, record.file);
        EXPECT_EQ(row.reason, record.reason);
        EXPECT_EQ(row.command, record.command);
    }
}
