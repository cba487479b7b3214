// commands.cpp - zynreg's commands: export, import, save, restore, list,
// get, set and delete, each over the zyn library's registry classes. Reading
// a value of any type (get, and list's default value) and deleting go
// straight to the registry functions, for which the library has no class.
#include "commands.h"

#include <windows.h>

#include "platform.h"
#include "zyn_ini.h"
#include "zyn_registry_binary.h"
#include "zyn_registry_dword.h"
#include "zyn_registry_expand.h"
#include "zyn_registry_key.h"
#include "zyn_registry_multi_string.h"
#include "zyn_registry_string.h"

namespace {

// exportKey's format and importKey's flags that select the registry text
// file; format 0 selects the system's own key file.
const DWORD kTextFileFormat = 8;
const DWORD kTextFileFlags = 16;
const DWORD kKeyFileFormat = 0;

const WCHAR kUsage[] = TEXT(
    "usage: zynreg [--registry FILE] COMMAND ARGUMENTS...\n"
    "Reads and changes the registry through the zyn library.\n"
    "\n"
    "  export KEY FILE [--force]  write KEY and its subkeys to a registry text file\n"
    "  import FILE                write the keys and values of a registry text file\n"
    "                             into the registry\n"
    "  save KEY FILE [--force]    save KEY and its subkeys to a key file of the\n"
    "                             system (RegSaveKeyW)\n"
    "  restore KEY FILE           replace KEY's values and subkeys by those of a key\n"
    "                             file (RegRestoreKeyW); KEY is created when missing\n"
    "  list KEY                   KEY's subkeys, then its values with type and data\n"
    "  get KEY NAME               the data of the value NAME (\"\" for the default value)\n"
    "  set KEY NAME TYPE DATA...  store a value, creating KEY when missing:\n"
    "                             REG_SZ TEXT, REG_EXPAND_SZ TEXT (with pairs of %),\n"
    "                             REG_MULTI_SZ TEXT..., REG_DWORD NUMBER (decimal or\n"
    "                             0x hex), REG_BINARY HEX... (\"01 02 ff\" or 0102ff)\n"
    "  delete KEY [NAME]          delete the value NAME, or KEY with all its subkeys\n"
    "\n"
    "KEY is a root key and a path, HKLM\\SOFTWARE\\Norvak or\n"
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvak (roots HKLM, HKCU, HKCR, HKU, HKCC).\n"
    "--force replaces an existing FILE. --registry FILE (POSIX): the registry file\n"
    "to work on, in place of WIN32_POSIX_REGISTRY.\n"
    "Exit status: 0 done, 1 the operation failed, 2 bad usage.");

wstr T(const WCHAR* text) { return wstr(text); }
CZYNWCharString Z(const wstr& text) { return CZYNWCharString(text.c_str()); }

int fail(const wstr& message) {
    printError(message);
    return kFailed;
}

int badUsage(const wstr& message) {
    printError(message + T(TEXT("; try 'zynreg --help'")));
    return kBadUsage;
}

bool fileExists(const wstr& file) {
    const DWORD attributes = GetFileAttributesW(file.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool keyExists(const KeyName& key) {
    return CZYNRegistryKey(key.root, Z(key.path), KEY_READ, false, 0).exists();
}

wstr noSuchKey(const KeyName& key) { return T(TEXT("no such key: ")) + key.text(); }

// A value of any type, read past the library (which reads a value only as a
// type it is told). False when the key or the value is missing.
bool readValue(const KeyName& key, const wstr& name, DWORD& type, std::vector<BYTE>& data) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(key.root, key.path.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    LONG rc = RegQueryValueExW(handle, name.c_str(), nullptr, &type, nullptr, &size);
    // A value that grows between the two calls is asked for again.
    while (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) {
        data.assign(size, 0);
        rc = RegQueryValueExW(handle, name.c_str(), nullptr, &type, data.data(), &size);
        if (rc == ERROR_SUCCESS) data.resize(size);
        if (rc != ERROR_MORE_DATA) break;
    }
    RegCloseKey(handle);
    return rc == ERROR_SUCCESS;
}

// What a command is given: its arguments, and whether --force was among them.
struct Call {
    Strings args;
    bool force = false;
    KeyName key;  // the first argument, for the commands that start with KEY
};

// export and save: KEY written to FILE in the format (an existing FILE only
// with --force, when it is replaced); `verb` names the command in messages.
int writeKeyFile(const Call& call, DWORD format, const WCHAR* verb) {
    const wstr file = fullWindowsPath(call.args[1]);
    if (!keyExists(call.key)) return fail(noSuchKey(call.key));
    if (!call.force && fileExists(file))
        return fail(quoted(file) + T(TEXT(" exists; pass --force to replace it")));
    CZYNRegistryKey key(call.key.root, Z(call.key.path), KEY_READ, false, 0);
    if (!key.exportKey(Z(file), format, true))
        return fail(T(TEXT("cannot ")) + verb + TEXT(' ') + call.key.text() + T(TEXT(" to ")) +
                    quoted(file));
    return kDone;
}

int exportCommand(const Call& call) {
    const int status = writeKeyFile(call, kTextFileFormat, TEXT("export"));
    // The text file holds only sections of keys with values of its types.
    if (status == kDone && !fileExists(fullWindowsPath(call.args[1])))
        return fail(T(TEXT("nothing to export: ")) + call.key.text() +
                    T(TEXT(" and its subkeys hold no value of the types a registry text file "
                           "keeps (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_BINARY)")));
    return status;
}

int importCommand(const Call& call) {
    const wstr file = fullWindowsPath(call.args[0]);
    if (!fileExists(file)) return fail(T(TEXT("no such file: ")) + quoted(file));
    CZYNIni::StringList sections;
    if (!CZYNIni(Z(file)).getProfileSectionNames(sections))
        return fail(quoted(file) + T(TEXT(" holds no registry sections")));
    // The file names its keys; the key the import is asked through plays no part.
    CZYNRegistryKey anyKey(HKEY_LOCAL_MACHINE, CZYNWCharString(), KEY_READ, false, 0);
    if (!anyKey.importKey(Z(file), kTextFileFlags))
        return fail(T(TEXT("cannot import ")) + quoted(file));
    return kDone;
}

int saveCommand(const Call& call) { return writeKeyFile(call, kKeyFileFormat, TEXT("save")); }

int restoreCommand(const Call& call) {
    const wstr file = fullWindowsPath(call.args[1]);
    if (!fileExists(file)) return fail(T(TEXT("no such file: ")) + quoted(file));
    CZYNRegistryKey key(call.key.root, Z(call.key.path), KEY_ALL_ACCESS, true, 0);
    if (!key.importKey(Z(file), REG_FORCE_RESTORE))
        return fail(T(TEXT("cannot restore ")) + call.key.text() + T(TEXT(" from ")) +
                    quoted(file));
    return kDone;
}

int listCommand(const Call& call) {
    if (!keyExists(call.key)) return fail(noSuchKey(call.key));
    CZYNRegistryKey key(call.key.root, Z(call.key.path), KEY_READ, false, 0);
    CZYNRegistryKey::NameList subkeys;
    if (!key.enumSubKeyNames(subkeys))
        return fail(T(TEXT("cannot list the subkeys of ")) + call.key.text());
    for (bool more = subkeys.moveFirst(); more; more = subkeys.moveNext())
        printLine(wstr(subkeys.getCurrentObject()->getText()) + TEXT('\\'));
    auto show = [](const wstr& name, DWORD type, const std::vector<BYTE>& data) {
        printLine(name + TEXT('\t') + typeName(type) + TEXT('\t') + dataText(type, data));
    };
    DWORD type = 0;
    std::vector<BYTE> data;
    if (readValue(call.key, wstr(), type, data)) show(T(TEXT("(default)")), type, data);
    // False also for a key without named values.
    CZYNRegistryKey::ValueEntryList values;
    key.queryMultipleValues(values);
    for (bool more = values.moveFirst(); more; more = values.moveNext()) {
        const CZYNRegValueEntry& value = *values.getCurrentObject();
        const BYTE* bytes = value.data.getBuffer();
        show(value.name.getText(), value.type,
             std::vector<BYTE>(bytes, bytes + value.data.getCount()));
    }
    return kDone;
}

int getCommand(const Call& call) {
    if (!keyExists(call.key)) return fail(noSuchKey(call.key));
    DWORD type = 0;
    std::vector<BYTE> data;
    if (!readValue(call.key, call.args[1], type, data))
        return fail(T(TEXT("no value ")) + quoted(call.args[1]) + T(TEXT(" in ")) +
                    call.key.text());
    for (const wstr& line : dataLines(type, data)) printLine(line);
    return kDone;
}

// Stores the parsed data through the value class of its type, creating the
// key and the value when missing.
bool storeValue(const KeyName& keyName, const wstr& name, DWORD type, const ValueData& data) {
    const REGSAM access = KEY_READ | KEY_WRITE;
    const CZYNWCharString path = Z(keyName.path);
    switch (type) {
        case REG_SZ:
            return CZYNRegistryString(keyName.root, path, Z(name), access, true, 0)
                .setValue(Z(data.text), false);
        case REG_EXPAND_SZ:
            return CZYNRegistryStringExpand(keyName.root, path, Z(name), access, true, 0)
                .setValue(Z(data.text), false);
        case REG_DWORD:
            return CZYNRegistryDword(keyName.root, path, Z(name), access, true, 0)
                .setValue(data.number, false);
        case REG_MULTI_SZ: {
            CZYNRegistryMultiString::StringList strings;
            for (size_t i = 0; i < data.strings.size(); ++i)
                if (!strings.add(Z(data.strings[i]), static_cast<LONG>(i))) return false;
            return CZYNRegistryMultiString(keyName.root, path, Z(name), access, true, 0)
                .setValue(strings, false);
        }
        case REG_BINARY: {
            const CZYNBuffer<BYTE> bytes(data.bytes.data(), static_cast<ULONG>(data.bytes.size()),
                                         0);
            return CZYNRegistryBinary(keyName.root, path, Z(name), access, true, 0)
                .setValue(bytes, false);
        }
    }
    return false;
}

int setCommand(const Call& call) {
    const wstr& name = call.args[1];
    DWORD type = 0;
    ValueData data;
    wstr problem;
    if (!parseSettableType(call.args[2], type, problem) ||
        !parseValueData(type, Strings(call.args.begin() + 3, call.args.end()), data, problem))
        return badUsage(problem);
    if (!storeValue(call.key, name, type, data))
        return fail(T(TEXT("cannot set ")) + quoted(name) + T(TEXT(" in ")) + call.key.text());
    return kDone;
}

int deleteCommand(const Call& call) {
    if (call.args.size() == 1) {
        if (call.key.path.empty())
            return badUsage(T(TEXT("a root key cannot be deleted: ")) + call.key.text());
        const LONG rc = RegDeleteTreeW(call.key.root, call.key.path.c_str());
        if (rc == ERROR_FILE_NOT_FOUND) return fail(noSuchKey(call.key));
        if (rc != ERROR_SUCCESS)
            return fail(T(TEXT("cannot delete ")) + call.key.text() + T(TEXT(": error ")) +
                        fromUtf8(std::to_string(rc)));
        return kDone;
    }
    const wstr& name = call.args[1];
    HKEY handle = nullptr;
    if (RegOpenKeyExW(call.key.root, call.key.path.c_str(), 0, KEY_SET_VALUE, &handle) !=
        ERROR_SUCCESS)
        return fail(noSuchKey(call.key));
    const LONG rc = RegDeleteValueW(handle, name.c_str());
    RegCloseKey(handle);
    if (rc == ERROR_FILE_NOT_FOUND)
        return fail(T(TEXT("no value ")) + quoted(name) + T(TEXT(" in ")) + call.key.text());
    if (rc != ERROR_SUCCESS)
        return fail(T(TEXT("cannot delete ")) + quoted(name) + T(TEXT(" in ")) + call.key.text() +
                    T(TEXT(": error ")) + fromUtf8(std::to_string(rc)));
    return kDone;
}

struct Command {
    const WCHAR* name;
    const WCHAR* arguments;  // as the usage line shows them
    size_t fewest;
    size_t most;  // SIZE_MAX: any number
    bool takesForce;
    bool startsWithKey;
    int (*run)(const Call&);
};
const Command kCommands[] = {
    {TEXT("export"), TEXT("KEY FILE [--force]"), 2, 2, true, true, exportCommand},
    {TEXT("import"), TEXT("FILE"), 1, 1, false, false, importCommand},
    {TEXT("save"), TEXT("KEY FILE [--force]"), 2, 2, true, true, saveCommand},
    {TEXT("restore"), TEXT("KEY FILE"), 2, 2, false, true, restoreCommand},
    {TEXT("list"), TEXT("KEY"), 1, 1, false, true, listCommand},
    {TEXT("get"), TEXT("KEY NAME"), 2, 2, false, true, getCommand},
    {TEXT("set"), TEXT("KEY NAME TYPE DATA..."), 3, SIZE_MAX, false, true, setCommand},
    {TEXT("delete"), TEXT("KEY [NAME]"), 1, 2, false, true, deleteCommand},
};

bool isHelp(const wstr& arg) {
    return arg == T(TEXT("--help")) || arg == T(TEXT("-h")) || arg == T(TEXT("help"));
}

}  // namespace

int runZynreg(const Strings& allArgs) {
    Strings args = allArgs;
    if (!args.empty() && isHelp(args[0])) {
        printLine(kUsage);
        return kDone;
    }
    wstr problem;
    if (!args.empty() && args[0] == T(TEXT("--registry"))) {
        if (args.size() < 2) return badUsage(T(TEXT("--registry needs a FILE")));
        if (!useRegistryFile(args[1], problem)) return badUsage(problem);
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty()) return badUsage(T(TEXT("no command given")));
    const Command* command = nullptr;
    for (const Command& candidate : kCommands)
        if (args[0] == candidate.name) command = &candidate;
    if (!command) return badUsage(T(TEXT("unknown command ")) + quoted(args[0]));

    Call call;
    for (size_t i = 1; i < args.size(); ++i) {
        if (command->takesForce && (args[i] == T(TEXT("--force")) || args[i] == T(TEXT("-f"))))
            call.force = true;
        else
            call.args.push_back(args[i]);
    }
    if (call.args.size() < command->fewest || call.args.size() > command->most)
        return badUsage(T(TEXT("usage: zynreg ")) + command->name + TEXT(' ') + command->arguments);
    if (command->startsWithKey && !parseKeyName(call.args[0], call.key, problem))
        return badUsage(problem);
    if (!registryIsKept(problem)) return badUsage(problem);
    return command->run(call);
}
