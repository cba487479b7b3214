/*
 * reg_file.h - the regedit text format ("Windows Registry Editor Version
 * 5.00"), read and written as pure functions over bytes.
 *
 *   read    a file's bytes (UTF-16LE with its mark, or UTF-8 with or without
 *           one) into the edits it describes, or the first line that is wrong
 *   write   keys and their values as regedit exports them: UTF-16LE with the
 *           mark, CR LF, long hex data wrapped with continuations
 *
 * The registry area (registry.cpp) applies the edits to its tree and hands the
 * tree to the writer; nothing here touches the file system.
 */
#ifndef WIN32_POSIX_REG_FILE_H
#define WIN32_POSIX_REG_FILE_H

#include <string>
#include <string_view>
#include <vector>

#include "../include/win32_posix/text.h"
#include "../include/windows.h"

namespace w32p {
namespace regfile {

// The five roots, in the order the writer puts them.
enum class Root { ClassesRoot, CurrentUser, LocalMachine, Users, CurrentConfig };
constexpr int kRootCount = 5;

// "HKEY_LOCAL_MACHINE" and so on.
const WCHAR* rootName(Root root);
// Full root names and the short forms HKLM, HKCU, HKCR, HKU and HKCC, in any case.
bool rootFromName(wstring_view name, Root& root);

// Windows' limits on names, in UTF-16 code units.
constexpr size_t kMaxKeyNameLength = 255;     // one component of a key path
constexpr size_t kMaxValueNameLength = 16383;

struct KeyPath {
    Root root = Root::LocalMachine;
    std::vector<wstring> names;  // the components below the root, as spelled
};

struct Value {
    wstring name;  // "" is the default value
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// One step of a file, applied in order to an empty registry.
struct Edit {
    enum Kind { CreateKey, DeleteKey, SetValue, DeleteValue };
    Kind kind = CreateKey;
    KeyPath key;
    Value value;  // SetValue: the value; DeleteValue: its name only
};

struct ReadResult {
    bool ok = false;
    std::vector<Edit> edits;  // when ok
    size_t line = 0;          // when not ok: the line that is wrong (1-based)
    std::string error;        // when not ok: what is wrong, in one sentence
};

// Reads a whole file. An empty file (no bytes at all) is an empty registry;
// anything else must start with the header line.
ReadResult read(std::string_view bytes);

struct KeyRecord {
    KeyPath key;
    std::vector<Value> values;  // in the order they are written
};

// False for a key or value name the format cannot carry: one with a line
// break.
bool nameFits(wstring_view name);

// Writes the keys in the order given, as UTF-16LE bytes with the mark. Names
// that the format cannot carry (a line break in a key or value name) are left
// out, with the keys below such a key; `skipped` counts what was left out.
std::string write(const std::vector<KeyRecord>& keys, size_t* skipped = nullptr);

// Hex helpers the registry's other text formats share: the value of one hex
// digit (-1 for any other character), and a number in lower-case hex digits,
// at least minDigits of them.
int hexDigit(WCHAR c);
void appendHexNumber(wstring& out, DWORD number, int minDigits);

// The writer's text before it is encoded, for tests and messages.
wstring writeText(const std::vector<KeyRecord>& keys, size_t* skipped = nullptr);

}  // namespace regfile
}  // namespace w32p

#endif
