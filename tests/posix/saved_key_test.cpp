// saved_key_test.cpp - the stand-in's saved-key file (RegSaveKeyW,
// RegRestoreKeyW) as text: what the writer produces, that every code unit
// and byte comes back, and which files the reader refuses, and how.
#include "hbc_test.h"

#include <saved_key.h>

namespace {

using w32p::savedkey::Node;
using w32p::savedkey::ReadResult;

TEST(SavedKeyFile, TheWriterWritesTheDocumentedText) {
    Node top{u"HbcTests",
             u"",
             {{u"", REG_SZ, {'a', 0, 0, 0}},
              {u"three", REG_BINARY, {10, 11, 12}},
              {u"empty", 0x12345678, {}}},
             {}};
    top.subkeys.push_back(Node{u"Sub", u"MyClass", {}, {Node{u"Deeper", u"", {}, {}}}});
    top.subkeys.push_back(Node{u"Other", u"", {}, {}});
    EXPECT_EQ(
        "win32_posix saved key 1\n"
        "key 0 \"HbcTests\" class \"\"\n"
        "value \"\" 1:61000000\n"
        "value \"three\" 3:0a0b0c\n"
        "value \"empty\" 12345678:\n"
        "key 1 \"Sub\" class \"MyClass\"\n"
        "key 2 \"Deeper\" class \"\"\n"
        "key 1 \"Other\" class \"\"\n",
        w32p::savedkey::write(top));
}

TEST(SavedKeyFile, EveryCodeUnitOfNamesAndClassesComesBack) {
    // Quotes, control characters, DEL, a surrogate pair, and surrogate
    // halves alone and in the wrong order; backslashes where names may hold them.
    const std::u16string odd = u"q\" \r\n\t\x01\x7f \xe9\x20ac \xd83d\xde00 \xd800 \xdc00\xd800.";
    const std::u16string slashed = u"a\\b" + odd;
    Node top{
        slashed, slashed, {{slashed, REG_MULTI_SZ, {0, 1, 0xff}}}, {Node{odd, slashed, {}, {}}}};
    std::string bytes = w32p::savedkey::write(top);
    EXPECT_NE(std::string::npos, bytes.find("\\u000d\\u000a\\u0009\\u0001\\u007f"));
    EXPECT_NE(std::string::npos, bytes.find("\\ud800 \\udc00\\ud800."));
    ReadResult back = w32p::savedkey::read(bytes);
    ASSERT_EQ(ReadResult::Ok, back.status) << back.error;
    EXPECT_EQ(bytes, w32p::savedkey::write(back.top));  // the writer escapes one way only
    EXPECT_TRUE(back.top.name == slashed && back.top.className == slashed &&
                back.top.values.at(0).name == slashed && back.top.subkeys.at(0).name == odd);
    EXPECT_EQ((std::vector<BYTE>{0, 1, 0xff}), back.top.values.at(0).data);
}

TEST(SavedKeyFile, TheReaderRefusesWhatBreaksARule) {
    const std::string header = "win32_posix saved key 1\n";
    struct Row {
        const char* comment;
        std::string bytes;
        ReadResult::Status status;
        size_t line;
    } rows[] = {
        {"CR LF line ends are read too", "win32_posix saved key 1\r\nkey 0 \"\" class \"\"\r\n",
         ReadResult::Ok, 0},
        {"an empty file", "", ReadResult::NotASavedKey, 1},
        {"a regedit file", "Windows Registry Editor Version 5.00\r\n", ReadResult::NotASavedKey, 1},
        {"no key", header, ReadResult::Corrupt, 2},
        {"a blank line", header + "key 0 \"\" class \"\"\n\n", ReadResult::Corrupt, 3},
        {"a value first", header + "value \"v\" 4:01000000\n", ReadResult::Corrupt, 2},
        {"the first key deeper than 0", header + "key 1 \"a\" class \"\"\n", ReadResult::Corrupt,
         2},
        {"a second top key", header + "key 0 \"\" class \"\"\nkey 0 \"\" class \"\"\n",
         ReadResult::Corrupt, 3},
        {"a level skipped", header + "key 0 \"\" class \"\"\nkey 2 \"a\" class \"\"\n",
         ReadResult::Corrupt, 3},
        {"an empty subkey name", header + "key 0 \"\" class \"\"\nkey 1 \"\" class \"\"\n",
         ReadResult::Corrupt, 3},
        {"a backslash in a key name",
         header + "key 0 \"\" class \"\"\nkey 1 \"a\\\\b\" class \"\"\n", ReadResult::Corrupt, 3},
        {"a key name of 256 units",
         header + "key 0 \"\" class \"\"\nkey 1 \"" + std::string(256, 'k') + "\" class \"\"\n",
         ReadResult::Corrupt, 3},
        {"two subkeys whose names differ in case",
         header + "key 0 \"\" class \"\"\nkey 1 \"a\" class \"\"\nkey 2 \"x\" class \"\"\nkey 1 "
                  "\"A\" class \"\"\n",
         ReadResult::Corrupt, 5},
        {"two values whose names differ in case",
         header + "key 0 \"\" class \"\"\nvalue \"v\" 3:\nvalue \"V\" 3:\n", ReadResult::Corrupt,
         4},
        {"an odd number of hex digits", header + "key 0 \"\" class \"\"\nvalue \"v\" 3:abc\n",
         ReadResult::Corrupt, 3},
        {"an unknown escape", header + "key 0 \"\\n\" class \"\"\n", ReadResult::Corrupt, 2},
        {"an unterminated name", header + "key 0 \"abc class \"\"\n", ReadResult::Corrupt, 2},
        {"bytes that are not UTF-8", header + "key 0 \"\xff\" class \"\"\n", ReadResult::Corrupt,
         0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.comment);
        ReadResult result = w32p::savedkey::read(row.bytes);
        EXPECT_EQ(row.status, result.status) << result.error;
        EXPECT_EQ(row.line, result.line);
        EXPECT_EQ(row.status == ReadResult::Ok, result.error.empty());
    }
}

}  // namespace
