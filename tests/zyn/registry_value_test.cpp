// registry_value_test.cpp - CZYNRegistryString and CZYNRegistryDword over the
// real registry: what a read accepts (the 260-character buffer, a 520-byte
// text without a terminator, other types), the cache rules of each class,
// createIfMissing, the exact bytes a write stores, the failure records, and
// the key-level lists of each type.
#include "registry_test_support.h"
#include "zyn_registry_dword.h"
#include "zyn_registry_string.h"

namespace {

CZYNRegistryString stringValue(const std::string& sub, const std::string& name,
                               bool createIfMissing = false, REGSAM access = KEY_ALL_ACCESS) {
    return CZYNRegistryString(HKEY_CURRENT_USER, scratchKey(sub), Z(name), access, createIfMissing,
                              0);
}
CZYNRegistryDword dwordValue(const std::string& sub, const std::string& name,
                             bool createIfMissing = false, REGSAM access = KEY_ALL_ACCESS) {
    return CZYNRegistryDword(HKEY_CURRENT_USER, scratchKey(sub), Z(name), access, createIfMissing,
                             0);
}

// A value's answer as text: the string, the number in decimal, or "false".
std::string read(CZYNRegistryString& value, bool useCache) {
    CZYNWCharString out(TEXT("untouched"));
    const bool ok = value.getValue(out, useCache);
    return ok ? U8(out.getText()) : "false " + U8(out.getText());
}
std::string read(CZYNRegistryDword& value, bool useCache) {
    DWORD out = 0xdeadbeef;
    const bool ok = value.getValue(out, useCache);
    return ok ? std::to_string(out) : "false " + std::to_string(out);
}

// The stored value as text the same way ("missing" when there is none).
std::string stored(const std::string& sub, const std::string& name) {
    DWORD type = 0;
    std::vector<BYTE> bytes;
    if (!regGet(sub, name, &type, &bytes)) return "missing";
    if (type == REG_DWORD && bytes.size() == 4)
        return std::to_string(bytes[0] | bytes[1] << 8 | bytes[2] << 16 | DWORD(bytes[3]) << 24);
    wstr text;
    for (size_t i = 0; i + 1 < bytes.size() && (bytes[i] | bytes[i + 1]); i += 2)
        text.push_back(static_cast<WCHAR>(bytes[i] | bytes[i + 1] << 8));
    return U8(text);
}

// The text stored without a terminator. The unit after it in the caller's
// memory is not NUL, so the system adds no terminator of its own either.
void storeWithoutTerminator(const std::string& sub, const std::string& name, DWORD type,
                            const std::string& utf8) {
    const wstr text = W(utf8) + TEXT("y");
    regSetBytes(HKEY_CURRENT_USER, scratchPath(sub), W(name), type, {});
    HKEY key = nullptr;
    ASSERT_EQ(0,
              RegOpenKeyExW(HKEY_CURRENT_USER, scratchPath(sub).c_str(), 0, KEY_SET_VALUE, &key));
    EXPECT_EQ(
        0, RegSetValueExW(key, W(name).c_str(), 0, type, reinterpret_cast<const BYTE*>(text.data()),
                          static_cast<DWORD>((text.size() - 1) * sizeof(WCHAR))));
    RegCloseKey(key);
}

// One step of a cache scenario on the value "v" of the key "c": a new text
// put in the registry first (past the library) when `stored` is set, then the
// operation; its answer, what the registry holds afterwards, and whether the
// cache is then valid.
enum Operation { kRead, kReadCached, kWrite, kWriteCacheOnly };
struct CacheStep {
    const char* comment;
    const char* storedFirst;
    Operation operation;
    const char* argument;  // of a write
    std::string answer;
    std::string storedAfter;
    bool validAfter;
};

void storeFirst(CZYNRegistryString&, const char* text) {
    regSetString(HKEY_CURRENT_USER, scratchPath("c"), TEXT("v"), W(text));
}
void storeFirst(CZYNRegistryDword&, const char* number) {
    regSetDword(HKEY_CURRENT_USER, scratchPath("c"), TEXT("v"), std::stoul(number));
}
bool write(CZYNRegistryString& value, const char* text, bool cacheOnly) {
    return value.setValue(Z(text), cacheOnly);
}
bool write(CZYNRegistryDword& value, const char* number, bool cacheOnly) {
    return value.setValue(std::stoul(number), cacheOnly);
}

template <class Value>
void runCacheSteps(Value value, const std::vector<CacheStep>& steps) {
    for (const CacheStep& step : steps) {
        SCOPED_TRACE(step.comment);
        if (step.storedFirst) storeFirst(value, step.storedFirst);
        const bool writing = step.operation == kWrite || step.operation == kWriteCacheOnly;
        const std::string answer =
            writing ? std::to_string(write(value, step.argument, step.operation == kWriteCacheOnly))
                    : read(value, step.operation == kReadCached);
        EXPECT_EQ(step.answer, answer);
        EXPECT_EQ(step.storedAfter, stored("c", "v"));
        EXPECT_EQ(step.validAfter, value.isCacheValid());
        EXPECT_FALSE(value.isKeyOpen());
    }
}

class RegistryValueTest : public RegistryTest {};

}  // namespace

TEST_F(RegistryValueTest, StringReads) {
    const std::string a259(259, 'a');
    const std::string x260(260, 'x');
    const wstr r = scratchPath("r");
    regSetString(HKEY_CURRENT_USER, r, TEXT("plain"), W("hello"));
    regSetString(HKEY_CURRENT_USER, r, TEXT("259"), W(a259));
    regSetString(HKEY_CURRENT_USER, r, TEXT("260"), W(a259 + "a"));
    regSetString(HKEY_CURRENT_USER, r, TEXT("expand"), W("%TEMP%\\x"), REG_EXPAND_SZ);
    regSetBytes(HKEY_CURRENT_USER, r, TEXT("raw520"), REG_BINARY, utf16Bytes(x260));
    storeWithoutTerminator("r", "sz520", REG_SZ, x260);
    regSetDword(HKEY_CURRENT_USER, r, TEXT("dword"), 0x00410042);
    regSetBytes(HKEY_CURRENT_USER, r, TEXT("empty"), REG_SZ, {});
    regSetString(HKEY_CURRENT_USER, r, TEXT(""), W("default"));
    struct {
        const char* comment;
        const char* sub;
        const char* name;
        std::string answer;
    } rows[] = {
        {"a text", "r", "plain", "hello"},
        {"259 characters and the terminator fill the buffer", "r", "259", a259},
        {"260 characters do not fit", "r", "260", "false untouched"},
        {"REG_EXPAND_SZ is read as text, unexpanded", "r", "expand", "%TEMP%\\x"},
        {"520 bytes of other data without a NUL end inside the buffer", "r", "raw520", x260},
        {"a 520-byte REG_SZ without a terminator as well", "r", "sz520", x260},
        {"a number's bytes taken as code units", "r", "dword", "BA"},
        {"an empty text", "r", "empty", ""},
        {"the empty name is the default value", "r", "", "default"},
        {"a missing value", "r", "missing", "false untouched"},
        {"a missing key", "nokey", "plain", "false untouched"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        CZYNRegistryString value = stringValue(row.sub, row.name);
        EXPECT_EQ(row.answer, read(value, false));
        EXPECT_FALSE(value.isCacheValid()) << "a string read never makes the cache valid";
        EXPECT_FALSE(value.isKeyOpen());
    }
    EXPECT_TRUE(records().empty()) << "refusals are silent";
}

TEST_F(RegistryValueTest, DwordReads) {
    const wstr d = scratchPath("d");
    regSetDword(HKEY_CURRENT_USER, d, TEXT("four"), 0x12345678);
    regSetBytes(HKEY_CURRENT_USER, d, TEXT("eight"), REG_BINARY, {1, 2, 3, 4, 5, 6, 7, 8});
    regSetBytes(HKEY_CURRENT_USER, d, TEXT("two"), REG_DWORD, {0x34, 0x12});
    regSetString(HKEY_CURRENT_USER, d, TEXT("sz"), W("a"));
    struct {
        const char* comment;
        const char* name;
        std::string answer;
    } rows[] = {
        {"a number", "four", "305419896"},
        {"more than 4 bytes do not fit", "eight", "false 3735928559"},
        {"2 bytes are the number they make, nothing of the cache behind them", "two", "4660"},
        {"a text's bytes taken as a number", "sz", "97"},
        {"a missing value", "missing", "false 3735928559"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        CZYNRegistryDword value = dwordValue("d", row.name);
        value.setValue(0xAABBCCDD, true);
        const std::string answer = read(value, false);
        EXPECT_EQ(row.answer, answer);
        EXPECT_EQ(answer.find("false") != 0, value.isCacheValid())
            << "a number read makes it valid";
    }
    EXPECT_TRUE(records().empty());
}

TEST_F(RegistryValueTest, CacheRules) {
    runCacheSteps(
        stringValue("c", "v"),
        {
            {"useCache with an invalid cache reads", "one", kReadCached, "", "one", "one", false},
            {"and reads again: a string read leaves the cache invalid", "two", kReadCached, "",
             "two", "two", false},
            {"cacheOnly writes nothing", nullptr, kWriteCacheOnly, "three", "1", "two", false},
            {"so useCache still reads", nullptr, kReadCached, "", "two", "two", false},
            {"a write makes the cache valid", nullptr, kWrite, "four", "1", "four", true},
            {"then useCache answers the cache", "five", kReadCached, "", "four", "five", true},
            {"without useCache the registry is read", nullptr, kRead, "", "five", "five", true},
            {"a valid cache takes what cacheOnly puts in it", nullptr, kWriteCacheOnly, "six", "1",
             "five", true},
            {"and answers it", nullptr, kReadCached, "", "six", "five", true},
        });
    runCacheSteps(
        dwordValue("c", "v"),
        {
            {"a number read makes the cache valid", "1", kReadCached, "", "1", "1", true},
            {"so useCache answers the cache", "2", kReadCached, "", "1", "2", true},
            {"without useCache the registry is read", nullptr, kRead, "", "2", "2", true},
            {"cacheOnly changes the cache only", nullptr, kWriteCacheOnly, "3", "1", "2", true},
            {"which useCache answers", nullptr, kReadCached, "", "3", "2", true},
            {"a write stores it", nullptr, kWrite, "4", "1", "4", true},
        });
    EXPECT_TRUE(records().empty());
}

TEST_F(RegistryValueTest, CreateIfMissing) {
    // Without it nothing is created, neither key nor value.
    CZYNRegistryString plainText = stringValue("k", "text");
    CZYNRegistryDword plainNumber = dwordValue("k", "number");
    EXPECT_EQ("false untouched", read(plainText, true));
    EXPECT_EQ("false 3735928559", read(plainNumber, true));
    EXPECT_FALSE(regKeyExists("k"));
    // With it the key and the value are made: an empty REG_SZ, a REG_DWORD 0.
    CZYNRegistryString text = stringValue("k", "text", true);
    CZYNRegistryDword number = dwordValue("k", "number", true);
    EXPECT_EQ("", read(text, true));
    EXPECT_EQ("0", read(number, true));
    EXPECT_EQ("1:", raw("k", "text"));
    EXPECT_EQ("4: 00 00 00 00", raw("k", "number"));
    EXPECT_TRUE(text.isCacheValid()) << "made valid by the write";
    EXPECT_TRUE(number.isCacheValid());
    EXPECT_TRUE(records().empty());
}

TEST_F(RegistryValueTest, WritesStoreTheTextAndOneTerminator) {
    CZYNWCharString lengthZero(TEXT("x"));
    lengthZero.elementAt(0) = 0;
    CZYNWCharString withSlack(TEXT("abc"));
    withSlack.resize(300);
    CZYNWCharString unterminated(TEXT("abc"));
    unterminated.elementAt(3) = u'd';
    struct {
        const char* comment;
        CZYNWCharString text;
        std::string stored;
    } rows[] = {
        {"a text with its terminator", Z("abc"), "1: 61 00 62 00 63 00 00 00"},
        {"an empty cache stores 0 bytes", CZYNWCharString(), "1:"},
        {"a text of length 0 with storage stores its terminator", lengthZero, "1: 00 00"},
        {"slack behind the terminator is not stored", withSlack, "1: 61 00 62 00 63 00 00 00"},
        {"a text without a terminator gets one; nothing past its storage is read", unterminated,
         "1: 61 00 62 00 63 00 64 00 00 00"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        EXPECT_TRUE(stringValue("w", "v", true).setValue(row.text, false));
        EXPECT_EQ(row.stored, raw("w", "v"));
    }
    EXPECT_TRUE(dwordValue("w", "v", true).setValue(0x01020304, false));
    EXPECT_EQ("4: 04 03 02 01", raw("w", "v")) << "a number, little-endian";
    EXPECT_TRUE(records().empty());
}

TEST_F(RegistryValueTest, WriteFailuresAreLogged) {
    regSetDword(HKEY_CURRENT_USER, scratchPath("ro"), TEXT("other"), 1);
    const std::string where = "( \"" + scratchText("ro") + "\\v\" )\" ";
    CZYNRegistryString text = stringValue("ro", "v", false, KEY_READ);
    CZYNRegistryDword number = dwordValue("ro", "v", false, KEY_READ);
    EXPECT_FALSE(text.setValue(Z("x"), false));
    EXPECT_FALSE(number.setValue(1, false));
    EXPECT_FALSE(text.isCacheValid()) << "a failed write leaves the cache as valid as it was";
    EXPECT_FALSE(number.isCacheValid());
    EXPECT_EQ((std::vector<std::string>{
                  "<EXCEPTION_BAD> <APP> <CZYNRegistryValue::writeRegistry> \"Unable to Set "
                  "registry value " +
                      where + "<zyn_registry_string.cpp, 419> ",
                  "<EXCEPTION_BAD> <APP> <CZYNRegistryDword::writeRegistry> \"Unable to Set "
                  "registry value " +
                      where + "<zyn_registry_dword.cpp, 404> ",
              }),
              records());
    EXPECT_EQ("missing", raw("ro", "v"));
}

TEST_F(RegistryValueTest, ListsOfOneType) {
    // Created in name order, which both hosts then enumerate alike.
    const wstr l = scratchPath("l");
    regSetString(HKEY_CURRENT_USER, l, TEXT(""), W("default"));
    regSetString(HKEY_CURRENT_USER, l, TEXT("a_sz"), W("one"));
    regSetDword(HKEY_CURRENT_USER, l, TEXT("b_dw"), 5);
    regSetBytes(HKEY_CURRENT_USER, l, TEXT("c_bin"), REG_BINARY, {1, 2});
    regSetString(HKEY_CURRENT_USER, l, TEXT("d_sz"), W("two"));
    regSetString(HKEY_CURRENT_USER, l, TEXT("e_ex"), W("x"), REG_EXPAND_SZ);
    regSetDword(HKEY_CURRENT_USER, l, TEXT("f_dw"), 7);
    storeWithoutTerminator("l", "g_sz", REG_SZ, "no terminator");

    // Whatever value the object names, the whole key is listed.
    CZYNRegistryString texts = stringValue("l", "ignored");
    CZYNRegistryString::NamedStringList strings;
    strings.add({Z("stale"), Z("stale")}, 9);
    ASSERT_TRUE(texts.getStringValues(strings));
    EXPECT_EQ((std::vector<std::string>{"0 a_sz=one", "1 d_sz=two", "2 g_sz=no terminator"}),
              listed(strings, [](const CZYNRegNamedString& r) { return U8(r.text.getText()); }));

    CZYNRegistryDword numbers = dwordValue("l", "");
    CZYNRegistryDword::NamedDwordList dwords;
    ASSERT_TRUE(numbers.getDwordValues(dwords));
    EXPECT_EQ((std::vector<std::string>{"0 b_dw=5", "1 f_dw=7"}),
              listed(dwords, [](const CZYNRegNamedDword& r) { return std::to_string(r.number); }));
    EXPECT_TRUE(records().empty());
}

TEST_F(RegistryValueTest, ListFailures) {
    regSetString(HKEY_CURRENT_USER, scratchPath("none"), TEXT(""), W("only the default"));
    regSetBytes(HKEY_CURRENT_USER, scratchPath("short"), TEXT("b"), REG_DWORD, {1, 2});
    CZYNRegistryString::NamedStringList strings;
    strings.add({Z("stale"), Z("stale")}, 9);
    EXPECT_FALSE(stringValue("none", "").getStringValues(strings)) << "no named values";
    EXPECT_EQ(0, strings.getCount()) << "emptied first";
    CZYNRegistryDword::NamedDwordList dwords;
    EXPECT_FALSE(dwordValue("short", "").getDwordValues(dwords)) << "a number of 2 bytes";
    EXPECT_EQ(1u, logLinesWith("<EXCEPTION_BAD> <" + applicationName() +
                               "> \"Index out of array bounds\" <zyn_buffer.h, ")
                      .size());
}

TEST_F(RegistryValueTest, ValueNameThatCannotBeCopiedTouchesNoValue) {
    // The key path's copy is the first allocation, the value name's the second.
    regSetString(HKEY_CURRENT_USER, scratchPath("n"), TEXT(""), W("default"));
    const CZYNWCharString path = scratchKey("n");
    const CZYNWCharString name = Z("name");
    zyn::failNthAllocation(2);
    CZYNRegistryString value(HKEY_CURRENT_USER, path, name, KEY_ALL_ACCESS, true, 0);
    zyn::failNthAllocation(0);
    EXPECT_EQ(1u, logLinesWith("Unable to allocate memory").size());
    EXPECT_FALSE(value.setValue(Z("written"), false));
    EXPECT_EQ("false untouched", read(value, false));
    EXPECT_EQ("default", stored("n", "")) << "not written in the named value's place";
}
