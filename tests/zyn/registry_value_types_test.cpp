// registry_value_types_test.cpp - CZYNRegistryStringExpand,
// CZYNRegistryMultiString and CZYNRegistryBinary over the real registry: the
// exact bytes each write stores (or refuses to), what each read makes of
// stored data (empty members, missing terminators, odd lengths, non-ASCII
// text), expansion, the cache rules that differ between the classes,
// createIfMissing, the key-level lists and the failure records.
#include "registry_test_support.h"
#include "zyn_registry_binary.h"
#include "zyn_registry_expand.h"
#include "zyn_registry_multi_string.h"

namespace {

using StringList = CZYNRegistryMultiString::StringList;

CZYNRegistryStringExpand expandValue(const std::string& sub, const std::string& name,
                                     bool createIfMissing = false, REGSAM access = KEY_ALL_ACCESS) {
    return CZYNRegistryStringExpand(HKEY_CURRENT_USER, scratchKey(sub), Z(name), access,
                                    createIfMissing, 0);
}
CZYNRegistryMultiString multiValue(const std::string& sub, const std::string& name,
                                   bool createIfMissing = false, REGSAM access = KEY_ALL_ACCESS) {
    return CZYNRegistryMultiString(HKEY_CURRENT_USER, scratchKey(sub), Z(name), access,
                                   createIfMissing, 0);
}
CZYNRegistryBinary binaryValue(const std::string& sub, const std::string& name,
                               bool createIfMissing = false, REGSAM access = KEY_ALL_ACCESS) {
    return CZYNRegistryBinary(HKEY_CURRENT_USER, scratchKey(sub), Z(name), access, createIfMissing,
                              0);
}

// Stands for a valid string of length 0 (storage whose first unit is 0).
const char kLength0[] = "<length 0>";

// A list of strings; null stands for the empty state.
StringList strings(std::initializer_list<const char*> texts) {
    StringList list;
    LONG tag = 0;
    for (const char* text : texts) {
        CZYNWCharString s = text ? Z(text) : CZYNWCharString();
        if (text == kLength0) {
            s = Z("x");
            s.elementAt(0) = 0;
        }
        list.add(s, tag++);
    }
    return list;
}

// "tag:text" of each string, "tag:-" for the empty state.
std::string shown(const StringList& list) {
    std::string out;
    for (LONG i = 0; i < list.getCount(); ++i) {
        const CZYNWCharString& s = *list.getObjectAt(i);
        out += (i ? " " : "") + std::to_string(list.getNodeAt(i)->getTag()) + ":" +
               (s.isValid() ? U8(s.getText()) : "-");
    }
    return out;
}

// Bytes as the registry helpers describe them, without a type.
std::string bytesOf(const CZYNBuffer<BYTE>& data) {
    return describe(0, data.getBuffer(), data.getCount()).substr(2);
}
CZYNBuffer<BYTE> buffer(const std::vector<BYTE>& bytes) {
    return CZYNBuffer<BYTE>(bytes.data(), static_cast<ULONG>(bytes.size()), 0);
}

// The record a refused expandable text writes.
const std::string kNotExpandable =
    "<EXCEPTION_BAD> <APP> \"A bad argument was provided ( m_szRegStringCache ). value doesn't "
    "represent an expandable value which is required\" <zyn_registry_expand.cpp, 256> ";

class RegistryValueTypesTest : public RegistryTest {};

}  // namespace

TEST_F(RegistryValueTypesTest, ExpandableWritesNeedPairsOfPercent) {
    CZYNWCharString withSlack = Z("%A%");
    withSlack.resize(10);
    struct {
        const char* comment;
        CZYNWCharString text;
        std::string stored;
    } rows[] = {
        {"one reference", Z("%A%x"), "2: 25 00 41 00 25 00 78 00 00 00"},
        {"two references, four %", Z("%A%%B%"), "2: 25 00 41 00 25 00 25 00 42 00 25 00 00 00"},
        {"slack behind the terminator is not stored", withSlack, "2: 25 00 41 00 25 00 00 00"},
        {"non-ASCII text", Z("%A%é"), "2: 25 00 41 00 25 00 e9 00 00 00"},
        {"a single %", Z("50%"), "missing"},
        {"an odd count of %", Z("%a%b%"), "missing"},
        {"no % at all", Z("plain"), "missing"},
        {"the empty text", CZYNWCharString(), "missing"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        regDeleteTree(HKEY_CURRENT_USER, scratchPath("e"));
        const size_t before = recordCount();
        CZYNRegistryStringExpand value = expandValue("e", "v", true);
        const bool refused = row.stored == "missing";
        EXPECT_EQ(!refused, value.setValue(row.text, false));
        EXPECT_EQ(row.stored, raw("e", "v"));
        EXPECT_EQ(!refused, value.isCacheValid());
        EXPECT_EQ(refused ? std::vector<std::string>{kNotExpandable} : std::vector<std::string>{},
                  records(before));
    }
}

TEST_F(RegistryValueTypesTest, ExpandableReads) {
    ScopedEnvVar defined(W("ZYN_REG_EXPAND"), W("C:\\Här"));
    ScopedEnvVar undefined(W("ZYN_REG_UNDEFINED"), nullptr);
    const wstr x = scratchPath("x");
    regSetString(HKEY_CURRENT_USER, x, TEXT("a_ref"), W("%ZYN_REG_EXPAND%\\bin"), REG_EXPAND_SZ);
    regSetString(HKEY_CURRENT_USER, x, TEXT("b_undefined"), W("%ZYN_REG_UNDEFINED%\\bin"),
                 REG_EXPAND_SZ);
    regSetString(HKEY_CURRENT_USER, x, TEXT("c_sz"), W("%ZYN_REG_EXPAND%"));
    regSetString(HKEY_CURRENT_USER, x, TEXT("d_long"),
                 W("%ZYN_REG_EXPAND%" + std::string(300, 'y')), REG_EXPAND_SZ);
    struct {
        const char* comment;
        const char* name;
        bool expand;
        std::string answer;
    } rows[] = {
        {"as stored", "a_ref", false, "%ZYN_REG_EXPAND%\\bin"},
        {"expanded", "a_ref", true, "C:\\Här\\bin"},
        {"an undefined reference stays", "b_undefined", true, "%ZYN_REG_UNDEFINED%\\bin"},
        {"a REG_SZ is read as text too", "c_sz", true, "C:\\Här"},
        {"too long for the read buffer", "d_long", true, "false untouched"},
        {"missing", "missing", true, "false untouched"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        CZYNRegistryStringExpand value = expandValue("x", row.name);
        CZYNWCharString out = Z("untouched");
        const bool ok = value.getValue(out, false, row.expand);
        EXPECT_EQ(row.answer, ok ? U8(out.getText()) : "false " + U8(out.getText()));
    }

    // The list takes every REG_EXPAND_SZ, expanded or not; the long one is
    // expanded as well.
    CZYNRegistryStringExpand any = expandValue("x", "");
    for (bool expand : {false, true}) {
        SCOPED_TRACE(expand);
        CZYNRegistryString::NamedStringList list;
        ASSERT_TRUE(any.getExpandStringValues(list, expand));
        const std::string value = expand ? "C:\\Här" : "%ZYN_REG_EXPAND%";
        const std::string undefined = "%ZYN_REG_UNDEFINED%\\bin";
        EXPECT_EQ(
            (std::vector<std::string>{"0 a_ref=" + value + "\\bin", "1 b_undefined=" + undefined,
                                      "2 d_long=" + value + std::string(300, 'y')}),
            listed(list, [](const CZYNRegNamedString& r) { return U8(r.text.getText()); }));
    }
    EXPECT_TRUE(records().empty());

    // A missing value is not created: its empty text is refused.
    CZYNRegistryStringExpand created = expandValue("x", "new", true);
    CZYNWCharString out;
    EXPECT_FALSE(created.getValue(out, false, false));
    EXPECT_EQ("missing", raw("x", "new"));
    EXPECT_EQ(std::vector<std::string>{kNotExpandable}, records());
}

TEST_F(RegistryValueTypesTest, MultiStringWrites) {
    struct {
        const char* comment;
        StringList list;
        std::string stored;
    } rows[] = {
        {"two strings and a final NUL", strings({"a", "bc"}),
         "7: 61 00 00 00 62 00 63 00 00 00 00 00"},
        {"the empty list: 0 bytes", strings({}), "7:"},
        {"an empty member is left out", strings({"a", nullptr, "b"}),
         "7: 61 00 00 00 62 00 00 00 00 00"},
        {"so is one of length 0, which would end the value early", strings({"a", kLength0, "b"}),
         "7: 61 00 00 00 62 00 00 00 00 00"},
        {"only an empty member", strings({nullptr}), "7: 00 00"},
        {"non-ASCII text", strings({"é€"}), "7: e9 00 ac 20 00 00 00 00"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        CZYNRegistryMultiString value = multiValue("m", "v", true);
        EXPECT_TRUE(value.setValue(row.list, false));
        EXPECT_EQ(row.stored, raw("m", "v"));
        EXPECT_TRUE(value.isCacheValid());
    }

    // cacheOnly changes the cache and answers false.
    CZYNRegistryMultiString cached = multiValue("m", "w", true);
    EXPECT_FALSE(cached.setValue(strings({"x"}), true));
    EXPECT_EQ("0:x", shown(cached.getCachedList()));
    EXPECT_FALSE(cached.isCacheValid());
    EXPECT_EQ("missing", raw("m", "w"));
    EXPECT_TRUE(records().empty());
}

TEST_F(RegistryValueTypesTest, MultiStringReads) {
    auto units = [](const std::string& utf8) { return utf16Bytes(utf8); };
    struct {
        const char* comment;
        std::vector<BYTE> data;
        std::string list;
    } rows[] = {
        {"two strings", units(std::string("a\0bc\0\0", 6)), "0:a 1:bc"},
        {"0 bytes", {}, ""},
        {"two NULs end the value", units(std::string("a\0\0b\0\0", 6)), "0:a"},
        {"a leading NUL is an empty first string", units(std::string("\0a\0\0", 4)), "0:- 1:a"},
        {"a last string without its NUL is kept", units(std::string("a\0b", 3)), "0:a 1:b"},
        {"so is a value without any NUL", units("ab"), "0:ab"},
        {"an odd last byte is a unit of its own", {0x61, 0, 0, 0, 0x78}, "0:a 1:x"},
        {"non-ASCII text", units(std::string("é€\0\0", 7)), "0:é€"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        regSetBytes(HKEY_CURRENT_USER, scratchPath("r"), TEXT("v"), REG_MULTI_SZ, row.data);
        CZYNRegistryMultiString value = multiValue("r", "v");
        value.setValue(strings({"stale"}), true);
        EXPECT_TRUE(value.readRegistry());
        EXPECT_EQ(row.list, shown(value.getCachedList()));
        EXPECT_TRUE(value.isCacheValid());
        EXPECT_FALSE(value.isKeyOpen());
    }

    // A failed read leaves the cache as it was.
    CZYNRegistryMultiString missing = multiValue("r", "missing");
    missing.setValue(strings({"kept"}), true);
    EXPECT_FALSE(missing.readRegistry());
    EXPECT_EQ("0:kept", shown(missing.getCachedList()));
    // With createIfMissing the value is stored as an empty list.
    CZYNRegistryMultiString created = multiValue("r", "new", true);
    created.setValue(strings({"stale"}), true);
    EXPECT_TRUE(created.readRegistry());
    EXPECT_EQ("", shown(created.getCachedList()));
    EXPECT_TRUE(created.isCacheValid());
    EXPECT_EQ("7:", raw("r", "new"));
    EXPECT_TRUE(records().empty());
}

TEST_F(RegistryValueTypesTest, BinaryKeepsEveryByte) {
    std::vector<BYTE> long300(300);
    for (size_t i = 0; i < long300.size(); ++i) long300[i] = static_cast<BYTE>(i * 7);
    struct {
        const char* comment;
        std::vector<BYTE> data;
    } rows[] = {
        {"0 bytes", {}},
        {"one byte", {0xff}},
        {"an odd length", {1, 2, 3}},
        {"zeros are data", {0, 0, 0, 0}},
        {"longer than any text buffer", long300},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        CZYNRegistryBinary writer = binaryValue("b", "v", true);
        EXPECT_TRUE(writer.setValue(buffer(row.data), false));
        EXPECT_EQ(describe(REG_BINARY, row.data.data(), row.data.size()), raw("b", "v"));
        CZYNRegistryBinary reader = binaryValue("b", "v");
        EXPECT_TRUE(reader.readRegistry());
        EXPECT_TRUE(reader.isCacheValid());
        EXPECT_EQ(describe(0, row.data.data(), row.data.size()).substr(2),
                  bytesOf(reader.getCachedData()));
    }

    // The stored type plays no part in a read.
    regSetString(HKEY_CURRENT_USER, scratchPath("b"), TEXT("sz"), W("a"));
    CZYNRegistryBinary text = binaryValue("b", "sz");
    EXPECT_TRUE(text.readRegistry());
    EXPECT_EQ(" 61 00 00 00", bytesOf(text.getCachedData()));

    // cacheOnly: true, nothing written; a failed read keeps the cache.
    CZYNRegistryBinary missing = binaryValue("b", "missing");
    EXPECT_TRUE(missing.setValue(buffer({9}), true));
    EXPECT_FALSE(missing.isCacheValid());
    EXPECT_FALSE(missing.readRegistry());
    EXPECT_EQ(" 09", bytesOf(missing.getCachedData()));
    EXPECT_EQ("missing", raw("b", "missing"));
    // With createIfMissing the value is stored as 0 bytes.
    CZYNRegistryBinary created = binaryValue("b", "new", true);
    EXPECT_TRUE(created.readRegistry());
    EXPECT_EQ("3:", raw("b", "new"));
    EXPECT_TRUE(created.isCacheValid());
    EXPECT_TRUE(records().empty());
}

TEST_F(RegistryValueTypesTest, ListsOfOneType) {
    // Created in name order, which both hosts then enumerate alike.
    const wstr l = scratchPath("l");
    regSetBytes(HKEY_CURRENT_USER, l, TEXT("a_bin"), REG_BINARY, {1, 2, 3});
    regSetBytes(HKEY_CURRENT_USER, l, TEXT("b_multi"), REG_MULTI_SZ,
                utf16Bytes(std::string("x\0yz\0\0", 6)));
    regSetString(HKEY_CURRENT_USER, l, TEXT("c_sz"), W("text"));
    regSetBytes(HKEY_CURRENT_USER, l, TEXT("d_bin"), REG_BINARY, {});
    regSetBytes(HKEY_CURRENT_USER, l, TEXT("e_multi"), REG_MULTI_SZ, {});

    CZYNRegistryMultiString::NamedStringListList multis;
    ASSERT_TRUE(multiValue("l", "ignored").getMultiStringValues(multis));
    EXPECT_EQ((std::vector<std::string>{"0 b_multi=0:x 1:yz", "1 e_multi="}),
              listed(multis, [](const CZYNRegNamedStringList& r) { return shown(r.strings); }));
    CZYNRegistryBinary::NamedBinaryList binaries;
    ASSERT_TRUE(binaryValue("l", "").getBinaryValues(binaries));
    EXPECT_EQ((std::vector<std::string>{"0 a_bin= 01 02 03", "1 d_bin="}),
              listed(binaries, [](const CZYNRegNamedBinary& r) { return bytesOf(r.data); }));
    EXPECT_TRUE(records().empty());
}

TEST_F(RegistryValueTypesTest, WriteFailuresAreLogged) {
    regSetDword(HKEY_CURRENT_USER, scratchPath("ro"), TEXT("other"), 1);
    const std::string where = "( \"" + scratchText("ro") + "\\v\" )\" ";
    auto refused = [&](const char* object, const char* source) {
        return "<EXCEPTION_BAD> <APP> <" + std::string(object) +
               "::writeRegistry> \"Unable to Set registry value " + where + "<" + source + "> ";
    };
    EXPECT_FALSE(expandValue("ro", "v", false, KEY_READ).setValue(Z("%A%"), false));
    EXPECT_FALSE(multiValue("ro", "v", false, KEY_READ).setValue(strings({"a"}), false));
    CZYNRegistryBinary binary = binaryValue("ro", "v", false, KEY_READ);
    EXPECT_FALSE(binary.setValue(buffer({1}), false));
    EXPECT_FALSE(binary.isCacheValid());
    EXPECT_EQ(" 01", bytesOf(binary.getCachedData())) << "the cache keeps the new content";
    EXPECT_EQ((std::vector<std::string>{
                  refused("CZYNRegistryStringExpand", "zyn_registry_expand.cpp, 273"),
                  refused("CZYNRegistryMultiString", "zyn_registry_multi_string.cpp, 799"),
                  refused("CZYNRegistryBinary", "zyn_registry_binary.cpp, 445"),
              }),
              records());
    EXPECT_EQ("missing", raw("ro", "v"));
}
