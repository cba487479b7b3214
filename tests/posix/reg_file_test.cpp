// reg_file_test.cpp - the regedit text format's reader and writer as pure
// functions: golden files, the variants people write by hand, and malformed
// files with the line and the fault they report.
#include "hbc_test.h"

#include <reg_file.h>

#include <sstream>

namespace {

using namespace w32p::regfile;

const std::string kReg = std::string(HBC_TEST_DATA_DIR) + "/reg/";
const std::string kHeader = "Windows Registry Editor Version 5.00\r\n";

std::string fileText(const std::string& path) {
    std::vector<unsigned char> bytes = readBytes(path);
    EXPECT_FALSE(bytes.empty()) << path;
    return std::string(bytes.begin(), bytes.end());
}

// The writer's text as UTF-8 with LF line ends, as the golden files hold it.
std::string goldenForm(const std::vector<KeyRecord>& keys) {
    std::string text = w32p::toUtf8(writeText(keys));
    std::string out;
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out.push_back(text[i]);
    return out;
}

std::string hex(const std::vector<BYTE>& data) {
    std::ostringstream out;
    for (BYTE b : data) out << "0123456789abcdef"[b >> 4] << "0123456789abcdef"[b & 15];
    return out.str();
}

std::string pathOf(const KeyPath& key) {
    std::string path = U8(rootName(key.root));
    for (const auto& name : key.names) path += "\\" + U8(name);
    return path;
}

// One line per edit, for comparing what a file says.
std::vector<std::string> describe(const ReadResult& result) {
    std::vector<std::string> lines;
    for (const Edit& e : result.edits) {
        std::string key = pathOf(e.key);
        switch (e.kind) {
        case Edit::CreateKey: lines.push_back("key " + key); break;
        case Edit::DeleteKey: lines.push_back("delete key " + key); break;
        case Edit::DeleteValue: lines.push_back("delete " + key + " [" + U8(e.value.name) + "]"); break;
        case Edit::SetValue:
            lines.push_back("set " + key + " [" + U8(e.value.name) + "] " +
                            std::to_string(e.value.type) + ":" + hex(e.value.data));
            break;
        }
    }
    return lines;
}

// The records of a file that only creates keys and sets values, as regedit writes.
std::vector<KeyRecord> recordsOf(const ReadResult& result) {
    std::vector<KeyRecord> records;
    for (const Edit& e : result.edits) {
        if (e.kind == Edit::CreateKey) records.push_back({e.key, {}});
        else if (e.kind == Edit::SetValue) records.back().values.push_back(e.value);
        else ADD_FAILURE() << "unexpected edit in " << pathOf(e.key);
    }
    return records;
}

std::vector<BYTE> utf16(const std::u16string& text, bool terminated = true) {
    std::vector<BYTE> bytes;
    for (char16_t c : text) {
        bytes.push_back(static_cast<BYTE>(c & 0xFF));
        bytes.push_back(static_cast<BYTE>(c >> 8));
    }
    if (terminated) bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

KeyPath path(Root root, std::vector<std::u16string> names) { return KeyPath{root, std::move(names)}; }

// Every kind of value the writer must carry, the awkward ones included.
std::vector<KeyRecord> everyValueType() {
    std::vector<BYTE> longBinary(100);
    for (size_t i = 0; i < longBinary.size(); ++i) longBinary[i] = static_cast<BYTE>(i * 7);
    return {
        {path(Root::CurrentUser, {}), {{u"on the root", REG_DWORD, {1, 0, 0, 0}}}},
        {path(Root::CurrentUser, {u"Software", u"Types"}),
         {
             {u"", REG_SZ, utf16(u"the default")},
             {u"quote \" and \\", REG_SZ, utf16(u"C:\\dir \"x\"")},
             {u"empty string", REG_SZ, utf16(u"")},
             {u"no data", REG_SZ, {}},
             {u"odd string", REG_SZ, {'a', 0, 'b'}},
             {u"unterminated", REG_SZ, utf16(u"abc", false)},
             {u"line break", REG_SZ, utf16(u"a\r\nb")},
             {u"inner nul", REG_SZ, utf16(std::u16string(u"a\0b", 3))},
             {u"expand", REG_EXPAND_SZ, utf16(u"%TEMP%")},
             {u"multi", REG_MULTI_SZ, utf16(std::u16string(u"x\0y\0", 4))},
             {u"dword", REG_DWORD, {0x1b, 0x03, 0, 0}},
             {u"short dword", REG_DWORD, {1, 2}},
             {u"big endian", REG_DWORD_BIG_ENDIAN, {0, 0, 0, 1}},
             {u"qword", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}},
             {u"three bytes", REG_BINARY, {0xde, 0xad, 0x01}},
             {u"no bytes", REG_BINARY, {}},
             {u"none", REG_NONE, {}},
             {u"custom type", 0x12345, {0xff}},
             {u"long binary", REG_BINARY, longBinary},
             {u"\u00dcn\u00efc\u00f6d\u00e9 \u2713", REG_SZ, utf16(u"\u00e9t\u00e9")},
         }},
        {path(Root::LocalMachine, {u"SOFTWARE", u"a]b"}), {}},
    };
}

TEST(RegFile, ARegeditExportReadsAndWritesBackByteForByte) {
    std::string original = fileText(kReg + "regedit_export.reg");
    ReadResult result = read(original);
    ASSERT_TRUE(result.ok) << result.line << ": " << result.error;
    EXPECT_EQ(original, write(recordsOf(result)));
}

TEST(RegFile, WriterGolden) {
    EXPECT_EQ(fileText(kReg + "writer.expected.reg"), goldenForm(everyValueType()));
}

TEST(RegFile, EveryValueTypeReadsBackAsWritten) {
    std::vector<KeyRecord> written = everyValueType();
    ReadResult result = read(write(written));
    ASSERT_TRUE(result.ok) << result.line << ": " << result.error;
    std::vector<KeyRecord> back = recordsOf(result);
    ASSERT_EQ(written.size(), back.size());
    for (size_t k = 0; k < written.size(); ++k) {
        SCOPED_TRACE(pathOf(written[k].key));
        EXPECT_EQ(pathOf(written[k].key), pathOf(back[k].key));
        ASSERT_EQ(written[k].values.size(), back[k].values.size());
        for (size_t v = 0; v < written[k].values.size(); ++v) {
            SCOPED_TRACE(U8(written[k].values[v].name));
            EXPECT_EQ(written[k].values[v].name, back[k].values[v].name);
            EXPECT_EQ(written[k].values[v].type, back[k].values[v].type);
            EXPECT_EQ(written[k].values[v].data, back[k].values[v].data);
        }
    }
}

TEST(RegFile, ReadsTheVariantsPeopleWrite) {
    const std::string cu = "HKEY_CURRENT_USER\\a";
    struct Row {
        const char* what;
        std::string body;  // after the header line
        std::vector<std::string> edits;
    } rows[] = {
        {"nothing but the header", "", {}},
        {"comments, blank lines, leading blanks", "\n; note\n  ;indented\n   [HKCU\\a]\n", {"key " + cu}},
        {"short and lower-case root names", "[hklm\\x]\n[HKCR\\x]\n[HKU\\x]\n[HKCC\\x]\n",
         {"key HKEY_LOCAL_MACHINE\\x", "key HKEY_CLASSES_ROOT\\x", "key HKEY_USERS\\x",
          "key HKEY_CURRENT_CONFIG\\x"}},
        {"a trailing backslash in a key name", "[HKCU\\a\\]\n", {"key " + cu}},
        {"a root alone", "[HKEY_CURRENT_USER]\n@=\"r\"\n",
         {"key HKEY_CURRENT_USER", "set HKEY_CURRENT_USER [] 1:72000000"}},
        {"blanks around = and in hex lists", "[HKCU\\a]\n\"v\" = hex: 01 , 2 ,\n",
         {"key " + cu, "set " + cu + " [v] 3:0102"}},
        {"dword in any case, fewer digits", "[HKCU\\a]\n\"d\"=DWORD:1F\n",
         {"key " + cu, "set " + cu + " [d] 4:1f000000"}},
        {"continuations with blanks", "[HKCU\\a]\n\"b\"=hex(b):01,\\\n\t  02,\\  \n03\n",
         {"key " + cu, "set " + cu + " [b] 11:010203"}},
        {"escapes in names and strings", "[HKCU\\a]\n\"q\\\"\\\\\"=\"\\\\\\\"\"\n",
         {"key " + cu, "set " + cu + " [q\"\\] 1:5c0022000000"}},
        {"deletions", "[HKCU\\a]\n\"v\"=-\n@=-\n[-HKCU\\a\\b]\n",
         {"key " + cu, "delete " + cu + " [v]", "delete " + cu + " []",
          "delete key HKEY_CURRENT_USER\\a\\b"}},
        {"CR LF line ends", "[HKCU\\a]\r\n\"v\"=\"x\"\r\n",
         {"key " + cu, "set " + cu + " [v] 1:78000000"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ReadResult result = read(kHeader + row.body);
        ASSERT_TRUE(result.ok) << result.line << ": " << result.error;
        EXPECT_EQ(row.edits, describe(result));
    }
}

TEST(RegFile, ReadsEveryEncodingRegeditAndEditorsWrite) {
    std::string body = kHeader + "[HKCU\\a]\r\n\"v\"=\"\xC3\xA9\"\r\n";  // "é" in UTF-8
    std::string utf16le = "\xFF\xFE";
    for (char16_t c : w32p::fromUtf8(body)) {
        utf16le.push_back(static_cast<char>(c & 0xFF));
        utf16le.push_back(static_cast<char>(c >> 8));
    }
    std::string cp1252 = kHeader + "[HKCU\\a]\r\n\"v\"=\"\xE9\"\r\n";  // not valid UTF-8
    struct Row {
        const char* what;
        std::string bytes;
    } rows[] = {
        {"UTF-16LE with its mark", utf16le},
        {"UTF-8 with its mark", "\xEF\xBB\xBF" + body},
        {"UTF-8 without a mark", body},
        {"bytes that are not UTF-8 read as Windows-1252", cp1252},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ReadResult result = read(row.bytes);
        ASSERT_TRUE(result.ok) << result.line << ": " << result.error;
        EXPECT_EQ((std::vector<std::string>{"key HKEY_CURRENT_USER\\a",
                                            "set HKEY_CURRENT_USER\\a [v] 1:e9000000"}),
                  describe(result));
    }
}

TEST(RegFile, MalformedFilesNameTheLineAndTheFault) {
    const std::string k = "[HKCU\\a]\n";
    struct Row {
        std::string bytes;  // the whole file
        size_t line;
        std::string error;
    } rows[] = {
        {"hello\n", 1, "expected the header line \"Windows Registry Editor Version 5.00\""},
        {"\n" + kHeader, 1, "expected the header line \"Windows Registry Editor Version 5.00\""},
        {"REGEDIT4\n", 1,
         "REGEDIT4 files are not supported: expected the header line \"Windows Registry "
         "Editor Version 5.00\""},
        {std::string("\xFF\xFEW\0x", 5), 1, "the file is UTF-16 but has an odd number of bytes"},
        {std::string("\xFE\xFF\0W", 4), 1,
         "UTF-16 big-endian files are not supported; save the file as UTF-16LE or UTF-8"},
        {kHeader + "\"v\"=dword:1\n", 2, "value before any [key] section"},
        {kHeader + "hello\n", 2, "expected \"name\"=value, @=value or [key]"},
        {kHeader + "[HKEY_NOWHERE\\x]\n", 2, "unknown root key \"HKEY_NOWHERE\""},
        {kHeader + "[\\x]\n", 2, "empty key name in \"\\x\""},
        {kHeader + "[HKCU\\a\\\\b]\n", 2, "empty key name in \"HKCU\\a\\\\b\""},
        {kHeader + "[HKCU\\a\n", 2, "unterminated key name: missing \"]\""},
        {kHeader + "[HKCU\\a] x\n", 2, "unexpected text after the key name: \" x\""},
        {kHeader + "[HKCU\\" + std::string(256, 'k') + "]\n", 2,
         "key name longer than 255 characters: \"" + std::string(40, 'k') + "...\""},
        {kHeader + "[-HKCU]\n", 2, "a root key cannot be deleted: \"HKCU\""},
        {kHeader + "[-HKCU\\a]\n\"v\"=dword:1\n", 3,
         "value in a section that deletes its key ([-...])"},
        {kHeader + k + "\"v\"=\"abc\n", 3, "unterminated string: missing the closing \""},
        {kHeader + k + "\"v\n", 3, "unterminated string: missing the closing \""},
        {kHeader + k + "\"v\"=\"C:\\tmp\"\n", 3,
         "unknown escape \"\\t\" in a string (write \\\\ for a backslash, \\\" for a quote)"},
        {kHeader + k + "\"v\" 1\n", 3, "expected \"=\" after the value name"},
        {kHeader + k + "\"v\"=qword:1\n", 3,
         "expected a value after \"=\": \"text\", dword:, hex:, hex(type): or -"},
        {kHeader + k + "\"v\"=\"x\" junk\n", 3, "unexpected text after the value: \"junk\""},
        {kHeader + k + "\"v\"=dword:123456789\n", 3,
         "bad dword \"123456789\": expected 1 to 8 hex digits"},
        {kHeader + k + "\"v\"=dword:\n", 3, "bad dword \"\": expected 1 to 8 hex digits"},
        {kHeader + k + "\"v\"=hex(zz):01\n", 3,
         "bad value type \"hex(zz)\": expected hex(type): with the type in hex digits"},
        {kHeader + k + "\"v\"=hex:01,zz,03\n", 3, "bad hex byte \"zz\""},
        {kHeader + k + "\"v\"=hex:01,,03\n", 3, "bad hex byte \"\""},
        {kHeader + k + "\"v\"=hex:01 02\n", 3, "expected \",\" between hex bytes, found \"02\""},
        {kHeader + k + "\"v\"=hex:01,\\\n  02,0g0\n", 4, "bad hex byte \"0g0\""},
        {kHeader + k + "\"v\"=hex:01,02\\\n03\n", 3,
         "expected \",\" before the line continuation \"\\\""},
        {kHeader + k + "\"v\"=hex:01,\\\n", 3,
         "the file ends inside a value continued with \"\\\""},
        {kHeader + k + "\"" + std::string(16384, 'v') + "\"=-\n", 3,
         "value name longer than 16383 characters"},
        // Names with a NUL could be listed but never opened or read (found by fuzzing).
        {kHeader + std::string("[HKCU\\a\0b]\n", 11), 2, "a key name holds a NUL character"},
        {kHeader + k + std::string("\"a\0b\"=-\n", 9), 3, "a value name holds a NUL character"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.bytes.substr(0, 120));
        ReadResult result = read(row.bytes);
        EXPECT_FALSE(result.ok);
        EXPECT_TRUE(result.edits.empty());
        EXPECT_EQ(row.line, result.line);
        EXPECT_EQ(row.error, result.error);
    }
}

}  // namespace
