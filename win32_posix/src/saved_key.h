/*
 * saved_key.h - the file RegSaveKeyW writes and RegRestoreKeyW reads: one
 * key with everything below it, as pure functions over bytes.
 *
 * Windows writes a binary hive here; the stand-in writes a text file of its
 * own that keeps every byte: key names and classes, value names, types and
 * data exactly. UTF-8, one item a line, lines ending in LF (CR LF is read
 * too):
 *
 *   win32_posix saved key 1
 *   key 0 "HbcTests" class ""
 *   value "" 1:6100620063000000
 *   value "three bytes" 3:0a0b0c
 *   value "empty" 3:
 *   key 1 "Sub" class "MyClass"
 *   key 2 "Deeper" class ""
 *   key 1 "Other" class ""
 *
 * - The first line is the header, exactly as above.
 * - `key DEPTH "NAME" class "CLASS"`: the saved key itself comes first, at
 *   depth 0 (its name is only for the reader of the file: a restore keeps the
 *   name of the key restored into); every other key follows its parent with
 *   a depth one greater, after the parent's values and the subkeys before it.
 * - `value "NAME" TYPE:DATA`: a value of the key on the last key line; TYPE
 *   in hex digits (1 REG_SZ, 3 REG_BINARY, b REG_QWORD, any 32-bit number),
 *   DATA two hex digits a byte, nothing for no data. "" is the default value.
 * - In quotes, \\ is a backslash, \" a quote, and \uXXXX (four hex digits)
 *   the UTF-16 code unit XXXX; the writer uses \uXXXX for control characters
 *   and for halves of surrogate pairs that stand alone, and UTF-8 for all
 *   other text.
 * - Key names are 1 to 255 units without a backslash; no two subkeys of a key,
 *   and no two values of a key, have names that differ only in case.
 *
 * Anything else is refused: a file without the header is not a saved key, a
 * file with it that breaks a rule is corrupt, and neither changes anything.
 */
#ifndef WIN32_POSIX_SAVED_KEY_H
#define WIN32_POSIX_SAVED_KEY_H

#include <string>
#include <string_view>
#include <vector>

#include "reg_file.h"

namespace w32p {
namespace savedkey {

// One key with what lies below it.
struct Node {
    wstring name;
    wstring className;
    std::vector<regfile::Value> values;  // in their order
    std::vector<Node> subkeys;           // in their order
};

// The file of a key and everything below it.
std::string write(const Node& top);

struct ReadResult {
    enum Status { Ok, NotASavedKey, Corrupt };
    Status status = Corrupt;
    Node top;           // when Ok
    size_t line = 0;    // when not Ok: the line that is wrong (1-based)
    std::string error;  // when not Ok: what is wrong, in one sentence
};

ReadResult read(std::string_view bytes);

}  // namespace savedkey
}  // namespace w32p

#endif
