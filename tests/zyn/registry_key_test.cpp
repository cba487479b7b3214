// registry_key_test.cpp - CZYNRegistryKey over the real registry (the
// stand-in natively, Wine's under Wine): the open and closed states with
// their warnings, createIfMissing, the failure records, the three lengths,
// subkey and value enumeration, queryMultipleValues byte for byte, and
// memory running out inside it.
#include <algorithm>
#include <cctype>
#include <functional>

#include "registry_test_support.h"
#include "zyn_registry_key.h"

namespace {

using NameList = CZYNRegistryKey::NameList;
using ValueEntryList = CZYNRegistryKey::ValueEntryList;

CZYNRegistryKey scratch(const std::string& sub, bool createIfMissing = false,
                        REGSAM access = KEY_ALL_ACCESS) {
    return CZYNRegistryKey(HKEY_CURRENT_USER, scratchKey(sub), access, createIfMissing, 0);
}

// The list's names and tags, in order.
std::vector<std::string> names(NameList& list) {
    std::vector<std::string> out;
    for (bool more = list.moveFirst(); more; more = list.moveNext())
        out.push_back(U8(list.getCurrentObject()->getText()));
    return out;
}
std::vector<LONG> tags(const NameList& list) {
    std::vector<LONG> out;
    for (LONG i = 0; i < list.getCount(); ++i) out.push_back(list.getNodeAt(i)->getTag());
    return out;
}

// A key whose handle can be spoiled, to make RegCloseKey fail.
class KeyProbe : public CZYNRegistryKey {
public:
    using CZYNRegistryKey::CZYNRegistryKey;
    void spoilHandle() {
        handle = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x1234));
        isOpen = true;
    }
    void forgetHandle() {
        handle = nullptr;
        isOpen = false;
    }
};

// One value as the tests store it.
struct StoredValue {
    std::string name;
    DWORD type;
    std::vector<BYTE> data;
};

// "name=type: bytes" of each value, in the order given.
std::vector<std::string> described(const std::vector<StoredValue>& values) {
    std::vector<std::string> out;
    for (const StoredValue& v : values)
        out.push_back(v.name + "=" + describe(v.type, v.data.data(), v.data.size()));
    return out;
}

// The same in the order in which Wine enumerates values: sorted by name
// without regard to case.
std::vector<std::string> sortedByName(std::vector<std::string> values) {
    auto lower = [](std::string s) {
        for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    std::sort(values.begin(), values.end(),
              [&](const std::string& a, const std::string& b) { return lower(a) < lower(b); });
    return values;
}

const char* const kValueOrder =
    "value enumeration order: Windows gives creation order, Wine 8 sorts by name";

class RegistryKeyTest : public RegistryTest {
protected:
    void storeAll(const std::string& sub, const std::vector<StoredValue>& values) {
        for (const StoredValue& v : values)
            regSetBytes(HKEY_CURRENT_USER, scratchPath(sub), W(v.name), v.type, v.data);
    }
    // The list's entries as described() gives them.
    std::vector<std::string> entries(ValueEntryList& list) {
        std::vector<std::string> out;
        for (bool more = list.moveFirst(); more; more = list.moveNext()) {
            const CZYNRegValueEntry& e = *list.getCurrentObject();
            out.push_back(U8(e.name.getText()) + "=" +
                          describe(e.type, e.data.getBuffer(), e.data.getCount()));
        }
        return out;
    }
};

}  // namespace

// Scenarios on one key object each: every step's result, whether the key is
// open afterwards, and the records the step adds to the log.
TEST_F(RegistryKeyTest, OpenCreateCloseAndTheirWarnings) {
    const std::string k = scratchText("k");
    const std::string alreadyOpen = "<WARNING> <APP> \"Registry key is already open ( " + k +
                                    " )\" <zyn_registry_key.cpp, 1743> ";
    const std::string alreadyClosed = "<WARNING> <APP> \"Registry key is already closed ( " + k +
                                      " )\" <zyn_registry_key.cpp, 296> ";
    using Action = std::function<bool(CZYNRegistryKey&)>;
    const Action open = [](CZYNRegistryKey& key) { return key.open(); };
    const Action close = [](CZYNRegistryKey& key) { return key.close(); };
    const Action exists = [](CZYNRegistryKey& key) { return key.exists(); };
    const Action create = [](CZYNRegistryKey& key) { return key.create(); };
    struct Step {
        const char* comment;
        Action action;
        bool result;
        bool openAfter;
        std::vector<std::string> records;
    };
    struct {
        CZYNRegistryKey key;
        std::vector<Step> steps;
    } scenarios[] = {
        {scratch("k"),
         {
             {"open of a missing key fails silently", open, false, false, {}},
             {"so does exists", exists, false, false, {}},
             {"close of a closed key warns and succeeds", close, true, false, {alreadyClosed}},
             {"create makes the key and closes it again", create, true, false, {}},
             {"open leaves the key open", open, true, true, {}},
             {"open of an open key warns, closes and reopens", open, true, true, {alreadyOpen}},
             {"exists of an open key: the same warning, closed after",
              exists,
              true,
              false,
              {alreadyOpen}},
             {"create of an existing key", create, true, false, {}},
         }},
        {scratch("a\\b", true),
         {
             {"createIfMissing: exists creates every missing level", exists, true, false, {}},
             {"and open opens what is there", open, true, true, {}},
         }},
        {scratch("c", true),
         {
             {"createIfMissing: open creates the key and opens it", open, true, true, {}},
         }},
    };
    for (auto& scenario : scenarios) {
        for (const Step& step : scenario.steps) {
            SCOPED_TRACE(step.comment);
            const size_t before = recordCount();
            EXPECT_EQ(step.result, step.action(scenario.key));
            EXPECT_EQ(step.openAfter, scenario.key.isKeyOpen());
            EXPECT_EQ(step.records, records(before));
        }
    }
    for (const char* sub : {"k", "a\\b", "c"}) EXPECT_TRUE(regKeyExists(sub)) << sub;
}

TEST_F(RegistryKeyTest, FailuresAreLoggedWithTheirLines) {
    // A leading backslash names no key (ERROR_BAD_PATHNAME); a NULL root is
    // an invalid handle, which open with createIfMissing answers by creating.
    CZYNRegistryKey badPath(HKEY_CURRENT_USER, Z("\\x"), KEY_ALL_ACCESS, true, 0);
    CZYNRegistryKey noRoot(nullptr, Z("x"), KEY_ALL_ACCESS, true, 0);
    KeyProbe spoilt(HKEY_CURRENT_USER, scratchKey("k"), KEY_ALL_ACCESS, false, 0);
    CZYNRegistryKey missing = scratch("missing");
    CZYNRegistryKey sub;
    struct {
        const char* comment;
        std::function<bool()> action;
        std::vector<std::string> records;
    } rows[] = {
        {"create fails: result type passed/failed, so no error piece",
         [&] { return badPath.create(); },
         {"<EXCEPTION_BAD> <APP> <CZYNRegistryKey::create> \"Unable to create registry key ( "
          "\"\\x\" )\" <zyn_registry_key.cpp, 410> "}},
        {"open of a path that is not missing but bad does not try to create",
         [&] { return badPath.open(); },
         {}},
        {"open of an invalid root with createIfMissing tries to create",
         [&] { return noRoot.open(); },
         {"<EXCEPTION_BAD> <APP> <CZYNRegistryKey::create> \"Unable to create registry key ( "
          "\"x\" )\" <zyn_registry_key.cpp, 410> "}},
        {"enumeration of a key that cannot be opened: the invalid handle is reported",
         [&] { return missing.enumSubKeys(sub, 0); },
         {"<EXCEPTION_BAD> <APP> <CZYNRegistrykey::enumSubKeys> \"Unable to enumerate subkeys "
          "from key ( \"" +
          scratchText("missing") + "\" )\" <Error: 0x00000006> <zyn_registry_key.cpp, 668> "}},
        {"RegCloseKey fails: the warning with its code, and the key stays open",
         [&] {
             spoilt.spoilHandle();
             const bool closed = spoilt.close();
             EXPECT_TRUE(spoilt.isKeyOpen());
             spoilt.forgetHandle();
             return closed;
         },
         {"<WARNING> <APP> <CZYNRegistryKey::close> \"Unable to close registry key ( " +
          scratchText("k") + " )\" <Error: 0x00000006> <zyn_registry_key.cpp, 273> "}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        const size_t before = recordCount();
        EXPECT_FALSE(row.action());
        EXPECT_EQ(row.records, records(before));
    }
}

TEST_F(RegistryKeyTest, ConstructorThrowsWhenThePathCannotBeCopied) {
    const CZYNWCharString path = scratchKey("k");
    zyn::failNthAllocation(1);
    EXPECT_THROW(CZYNRegistryKey(HKEY_CURRENT_USER, path, KEY_READ, false, 0),
                 CZYNRegKeyInitException);
    const std::vector<std::string> lines = records();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(
        0u, lines.front().find("<EXCEPTION_BAD> <APP> \"Unable to allocate memory ( m_pBuffer )\""))
        << "the copy's own record first";
    EXPECT_EQ(1, std::count(lines.begin(), lines.end(),
                            "<EXCEPTION_BAD> <APP> \"CZYNRegistryKey object failed to initialize\" "
                            "<zyn_registry_key.cpp, 104> "));
}

TEST_F(RegistryKeyTest, CopiesAndAssignmentsAreClosed) {
    CZYNRegistryKey source = scratch("k", true, KEY_READ);
    ASSERT_TRUE(source.open());
    CZYNRegistryKey target = scratch("other", true);
    ASSERT_TRUE(target.open());
    target = source;
    const CZYNRegistryKey copy(source);
    for (const CZYNRegistryKey* key :
         std::initializer_list<const CZYNRegistryKey*>{&target, &copy}) {
        EXPECT_FALSE(key->isKeyOpen());
        EXPECT_EQ(scratchText("k"), U8(key->getPath().getText()));
        EXPECT_EQ(static_cast<REGSAM>(KEY_READ), key->getAccess());
        EXPECT_TRUE(key->getCreateIfMissing());
    }
    EXPECT_TRUE(source.isKeyOpen()) << "the source keeps its handle";
    EXPECT_TRUE(records().empty()) << "the open target was closed, without a warning";
}

TEST_F(RegistryKeyTest, Lengths) {
    regSetString(HKEY_CURRENT_USER, scratchPath("k"), TEXT("x"), W("hello"));  // 12 bytes
    regSetDword(HKEY_CURRENT_USER, scratchPath("k"), W("longname"), 1);
    regSetDword(HKEY_CURRENT_USER, scratchPath("k\\ab"), TEXT(""), 1);
    regSetDword(HKEY_CURRENT_USER, scratchPath("k\\abcde"), TEXT(""), 1);
    using Query = bool (CZYNRegistryKey::*)(DWORD&);
    struct {
        const char* comment;
        Query query;
        DWORD expected;
        DWORD line;  // of the failure record
    } rows[] = {
        {"longest subkey name, in characters", &CZYNRegistryKey::getMaxSubKeyLength, 5, 1283},
        {"longest value name, in characters", &CZYNRegistryKey::getMaxValueNameLength, 8, 1412},
        {"largest data, in bytes", &CZYNRegistryKey::getMaxValueLength, 12, 1347},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        CZYNRegistryKey key = scratch("k");
        ASSERT_TRUE(key.open());
        DWORD out = 0xdeadbeef;
        EXPECT_TRUE((key.*row.query)(out));
        EXPECT_EQ(row.expected, out);
        EXPECT_FALSE(key.isKeyOpen()) << "closed on return, though open before";

        CZYNRegistryKey missing = scratch("missing");
        out = 0xdeadbeef;
        EXPECT_FALSE((missing.*row.query)(out));
        EXPECT_EQ(0xdeadbeefu, out);

        // A handle whose key has been deleted cannot be asked.
        regSetDword(HKEY_CURRENT_USER, scratchPath("gone"), TEXT(""), 1);
        CZYNRegistryKey gone = scratch("gone");
        ASSERT_TRUE(gone.open());
        regDeleteTree(HKEY_CURRENT_USER, scratchPath("gone"));
        const size_t before = recordCount();
        EXPECT_FALSE((gone.*row.query)(out));
        EXPECT_EQ(0xdeadbeefu, out);
        EXPECT_FALSE(gone.isKeyOpen());
        EXPECT_EQ(
            std::vector<std::string>{"<EXCEPTION_BAD> <APP> \"Unable to query info on registry "
                                     "key ( \"" +
                                     scratchText("gone") + "\" )\" <zyn_registry_key.cpp, " +
                                     std::to_string(row.line) + "> "},
            records(before));
    }
}

TEST_F(RegistryKeyTest, EnumSubKeys) {
    for (const char* sub : {"e\\zeta", "e\\Alpha", "e\\beta"})
        regSetDword(HKEY_CURRENT_USER, scratchPath(sub), TEXT(""), 1);
    regSetDword(HKEY_CURRENT_USER, scratchPath("leaf"), TEXT("v"), 1);
    CZYNRegistryKey parent(HKEY_CURRENT_USER, scratchKey("e"), KEY_READ, true, 0);
    CZYNRegistryKey sub;
    ASSERT_TRUE(parent.enumSubKeys(sub, 1));
    EXPECT_EQ(scratchText("e\\beta"), U8(sub.getPath().getText()));
    EXPECT_EQ(HKEY_CURRENT_USER, sub.getRoot());
    EXPECT_EQ(static_cast<REGSAM>(KEY_READ), sub.getAccess());
    EXPECT_FALSE(sub.getCreateIfMissing()) << "not the parent's";
    EXPECT_FALSE(sub.isKeyOpen());
    EXPECT_TRUE(parent.isKeyOpen()) << "left open for the next index";
    EXPECT_FALSE(parent.enumSubKeys(sub, 3)) << "past the last";

    NameList list;
    list.add(Z("stale"), 9);
    EXPECT_TRUE(parent.enumSubKeyNames(list));
    EXPECT_EQ((std::vector<std::string>{"Alpha", "beta", "zeta"}), names(list))
        << "both hosts sort subkeys; these names sort alike on both";
    EXPECT_EQ((std::vector<LONG>{1, 2, 3}), tags(list));
    EXPECT_TRUE(parent.isKeyOpen()) << "still, as enumSubKeys leaves it";

    CZYNRegistryKey leaf = scratch("leaf");
    EXPECT_FALSE(leaf.enumSubKeys(sub, 0));
    EXPECT_TRUE(leaf.enumSubKeyNames(list)) << "no subkeys: an empty list and true";
    EXPECT_EQ(0, list.getCount());
    EXPECT_TRUE(records().empty());
}

TEST_F(RegistryKeyTest, EnumSubKeysBelowAnEmptyPath) {
    // The key is an open handle itself; its subkeys' paths must open.
    for (const char* sub : {"e\\one", "e\\two"})
        regSetDword(HKEY_CURRENT_USER, scratchPath(sub), TEXT(""), 1);
    HKEY handle = nullptr;
    ASSERT_EQ(0, RegOpenKeyExW(HKEY_CURRENT_USER, scratchPath("e").c_str(), 0, KEY_READ, &handle));
    {
        CZYNRegistryKey parent(handle, CZYNWCharString(), KEY_READ, false, 0);
        CZYNRegistryKey sub;
        ASSERT_TRUE(parent.enumSubKeys(sub, 0));
        EXPECT_EQ("one", U8(sub.getPath().getText()));
        EXPECT_TRUE(sub.exists());
        NameList list;
        EXPECT_TRUE(parent.enumSubKeyNames(list));
        EXPECT_EQ((std::vector<std::string>{"one", "two"}), names(list));
    }
    RegCloseKey(handle);
}

TEST_F(RegistryKeyTest, GetKeyName) {
    struct {
        const char* comment;
        const char* path;
        bool fullPath;
        bool ok;
        std::string name;  // expected when ok
    } rows[] = {
        {"the full path", "a\\b\\c", true, true, "a\\b\\c"},
        {"the last component", "a\\b\\c", false, true, "c"},
        {"a path without a backslash has none", "single", false, false, ""},
        {"an empty path in full", "", true, true, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        const CZYNRegistryKey key(HKEY_CURRENT_USER, Z(row.path), KEY_READ, false, 0);
        CZYNWCharString name(TEXT("untouched"));
        EXPECT_EQ(row.ok, key.getKeyName(name, row.fullPath));
        EXPECT_EQ(row.ok ? row.name : "untouched", U8(name.getText()));
    }
    EXPECT_TRUE(records().empty());
}

TEST_F(RegistryKeyTest, EnumValueNames) {
    regSetString(HKEY_CURRENT_USER, scratchPath("v"), TEXT(""), W("default"));
    for (const char* name : {"c", "a", "B"})
        regSetDword(HKEY_CURRENT_USER, scratchPath("v"), W(name), 1);
    regSetString(HKEY_CURRENT_USER, scratchPath("onlydefault"), TEXT(""), W("default"));
    CZYNRegistryKey key = scratch("v");
    NameList list;
    ASSERT_TRUE(key.enumValueNames(list));
    EXPECT_EQ(expectOnHost(kValueOrder, std::vector<std::string>{"c", "a", "B"},
                           std::vector<std::string>{"a", "B", "c"}),
              names(list))
        << "the default value is not listed";
    EXPECT_EQ((std::vector<LONG>{0, 0, 0}), tags(list));
    EXPECT_FALSE(key.isKeyOpen());

    CZYNRegistryKey onlyDefault = scratch("onlydefault");
    EXPECT_FALSE(onlyDefault.enumValueNames(list));
    EXPECT_EQ(0, list.getCount());
    ValueEntryList entries;
    EXPECT_FALSE(onlyDefault.queryMultipleValues(entries));
    EXPECT_TRUE(records().empty());
}

TEST_F(RegistryKeyTest, EnumValueNamesFailureIsWrittenTwice) {
    // Without KEY_QUERY_VALUE the names cannot be read; the enumeration's
    // record is followed by the catch-all's.
    regSetDword(HKEY_CURRENT_USER, scratchPath("v"), W("a"), 1);
    CZYNRegistryKey key = scratch("v", false, KEY_SET_VALUE);
    NameList list;
    EXPECT_FALSE(key.enumValueNames(list));
    const std::vector<std::string> lines = records();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(
        "<EXCEPTION_BAD> <APP> <CZYNRegistrykey::enumValueNames> \"Unable to enumerate "
        "values from key ( \"" +
            scratchText("v") + "\" )\" <Error: 0x00000005> <zyn_registry_key.cpp, 1047> ",
        lines[lines.size() - 2]);
    EXPECT_EQ(0u, lines.back().find("<EXCEPTION_BAD> <APP> \"An unhandled exception occurred\" "));
    EXPECT_NE(std::string::npos, lines.back().find("<zyn_registry_key.cpp, 1091> "));
    EXPECT_FALSE(key.isKeyOpen());
}

// Every type, sizes odd and even and empty, back byte for byte.
const std::vector<StoredValue> kMixedValues = {
    {"sz", REG_SZ, utf16Bytes(std::string("hi") + '\0')},
    {"bin", REG_BINARY, {1, 2, 3}},
    {"dw", REG_DWORD, {0x78, 0x56, 0x34, 0x12}},
    {"ex", REG_EXPAND_SZ, utf16Bytes(std::string("%TEMP%\\x") + '\0')},
    {"Multi", REG_MULTI_SZ, utf16Bytes(std::string("a\0b\0\0", 5))},
    {"empty", REG_SZ, {}},
};

TEST_F(RegistryKeyTest, QueryMultipleValuesKeepsEveryByte) {
    regSetString(HKEY_CURRENT_USER, scratchPath("m"), TEXT(""), W("default, not listed"));
    storeAll("m", kMixedValues);
    CZYNRegistryKey key = scratch("m");
    ValueEntryList list;
    list.add(CZYNRegValueEntry(Z("stale"), CZYNBuffer<BYTE>(), REG_NONE), 9);
    ASSERT_TRUE(key.queryMultipleValues(list));
    EXPECT_EQ(
        expectOnHost(kValueOrder, described(kMixedValues), sortedByName(described(kMixedValues))),
        entries(list));
    for (LONG i = 0; i < list.getCount(); ++i) EXPECT_EQ(i, list.getNodeAt(i)->getTag());
    EXPECT_FALSE(key.isKeyOpen());
    EXPECT_TRUE(records().empty());
}

TEST_F(RegistryKeyTest, QueryMultipleValuesWhenMemoryRunsOut) {
    // Every allocation in turn fails. The answer is then false, or the whole
    // list: never another value's data in place of one whose name could not
    // be copied (the key has a default value that would stand in for it).
    enableLogging(0xFFF);
    regSetString(HKEY_CURRENT_USER, scratchPath("m"), TEXT(""), W("default"));
    const std::vector<StoredValue> values(kMixedValues.begin(), kMixedValues.begin() + 3);
    storeAll("m", values);
    const std::vector<std::string> expected =
        expectOnHost(kValueOrder, described(values), sortedByName(described(values)));
    CZYNRegistryKey key = scratch("m");
    ULONG n = 1;
    for (;; ++n) {
        SCOPED_TRACE(n);
        ValueEntryList list;
        zyn::failNthAllocation(n);
        const bool ok = key.queryMultipleValues(list);
        const bool fired = zyn::t_allocationsUntilFailure == 0;
        zyn::failNthAllocation(0);
        if (ok) {
            EXPECT_EQ(expected, entries(list));
        }
        EXPECT_FALSE(key.isKeyOpen());
        if (!fired) break;
    }
    EXPECT_GT(n, 10u);
    EXPECT_FALSE(
        logLinesWith("\"Unable to allocate memory ( pValent )\" <zyn_registry_key.cpp, 743> ")
            .empty());
    EXPECT_EQ(values.size(), logLinesWith("<DEBUG> ").size())
        << "one note for each of the three name copies";
    EXPECT_NE(std::string::npos,
              logLinesWith("<DEBUG> ").at(0).find("\"pValent.ve_valuename = NULL\""));
}
