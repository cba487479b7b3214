// fuzz_support.cpp - checks, guarded buffers and the scratch folder of the
// fuzz targets.
#include "fuzz_support.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

// AddressSanitizer's defaults for the fuzz targets (ASAN_OPTIONS overrides
// them). Recording the call stack of every allocation and release took
// about a tenth of each run; a report then shows where the fault happened
// but not where its memory was allocated or freed. Every crash becomes a
// test of the ordinary suite, whose sanitize preset shows both.
extern "C" const char* __asan_default_options() { return "malloc_context_size=0"; }

namespace fuzz {

namespace {
const size_t kGuardUnits = 16;
const WCHAR kGuard = 0xBEEF;
}  // namespace

void check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

GuardedText::GuardedText(size_t units, WCHAR fill)
    : m_size(units), m_fill(fill), m_units(units + kGuardUnits, kGuard) {
    std::fill(m_units.begin(), m_units.begin() + static_cast<std::ptrdiff_t>(units), fill);
}

bool GuardedText::guardsIntact() const {
    for (size_t i = m_size; i < m_units.size(); ++i)
        if (m_units[i] != kGuard) return false;
    return true;
}

bool GuardedText::untouchedFrom(size_t from) const {
    for (size_t i = from; i < m_size; ++i)
        if (m_units[i] != m_fill) return false;
    return true;
}

namespace {
const char kScratchPrefix[] = "hbc-fuzz-";

// Removes the scratch folders of targets that ended without removing
// theirs (a crash, a kill): their process no longer exists.
void removeAbandoned(const std::string& base) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(base, error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(kScratchPrefix, 0) != 0) continue;
        const long pid = std::strtol(name.c_str() + sizeof kScratchPrefix - 1, nullptr, 10);
        if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
            std::filesystem::remove_all(entry.path(), error);
    }
}

// Made at the first use, removed when the process ends normally (libFuzzer
// ends a timed run with exit).
struct Scratch {
    std::string path;
    Scratch() {
        std::string base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
        removeAbandoned(base);
        path = base + "/" + kScratchPrefix + std::to_string(::getpid());
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~Scratch() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};
}  // namespace

const std::string& scratchFolder() {
    static const Scratch scratch;
    return scratch.path;
}

void writeFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    check(static_cast<bool>(out), "the scratch file could not be written");
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::u16string windowsPath(const std::string& posix) {
    std::u16string path = u"C:";
    for (char c : posix) path.push_back(c == '/' ? u'\\' : static_cast<char16_t>(c));
    return path;
}

void configureLog(const std::u16string& file, DWORD on, DWORD detail) {
    HKEY key = nullptr;
    check(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Norvak\\Logs", 0, nullptr, 0,
                          KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS,
          "the log's key is made");
    RegSetValueExW(key, u"TextOutput", 0, REG_SZ, reinterpret_cast<const BYTE*>(file.c_str()),
                   static_cast<DWORD>((file.size() + 1) * 2));
    RegSetValueExW(key, u"Logging", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on), 4);
    RegSetValueExW(key, u"LogDetail", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&detail), 4);
    RegCloseKey(key);
}

std::vector<std::u16string> logLines(const std::string& path) {
    const std::string bytes = readFile(path);
    std::vector<std::u16string> lines;
    if (bytes.empty()) return lines;
    check(bytes.size() % 2 == 0 && bytes.compare(0, 2, "\xFF\xFE") == 0,
          "the log starts with its byte-order mark");
    std::u16string text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                             static_cast<unsigned char>(bytes[i + 1]) << 8));
    check(text.size() >= 2 && text.compare(text.size() - 2, 2, u"\r\n") == 0,
          "the log ends with a whole line");
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find(u"\r\n", start);
        check(text[start] == u'<', "every log line starts with its time");
        check(end - start + 2 <= 1024, "no log line is longer than its buffer");
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

namespace {

bool hasLineBreak(const std::u16string& name) {
    return name.find_first_of(u"\r\n") != std::u16string::npos;
}

// The longest names and data of a key's values and subkeys, as
// RegQueryInfoKeyW answers them: every buffer below is exactly that large,
// so that a call writing one unit too many shows.
struct KeyInfo {
    DWORD subKeys = 0, maxSubKey = 0, values = 0, maxValueName = 0, maxData = 0;
};

// One value read with RegEnumValueW: the size asked first, then the data,
// each time into a guarded buffer.
RegistryValue readValue(HKEY key, DWORD index, const KeyInfo& info) {
    RegistryValue value{};
    const DWORD units = info.maxValueName + 1;
    GuardedText name(units);
    DWORD nameUnits = units, bytes = 0, type = 0;
    LONG rc = RegEnumValueW(key, index, name.data(), &nameUnits, nullptr, &type, nullptr, &bytes);
    check(rc == ERROR_SUCCESS, "a value counted is enumerated");
    check(name.guardsIntact() && nameUnits < units && name.data()[nameUnits] == 0,
          "RegEnumValueW keeps to the name's buffer");
    check(bytes <= info.maxData, "no value holds more than the key's longest data");
    value.name.assign(name.data(), nameUnits);
    value.type = type;
    // The data in a buffer of the size answered, guarded after it.
    std::vector<BYTE> data(bytes + 16, 0xA5);
    DWORD size = bytes;
    nameUnits = units;
    rc = RegEnumValueW(key, index, name.data(), &nameUnits, nullptr, &type, data.data(), &size);
    check(rc == ERROR_SUCCESS && size == bytes, "the data fits the size answered");
    for (size_t i = bytes; i < data.size(); ++i)
        check(data[i] == 0xA5, "RegEnumValueW keeps to the data's buffer");
    value.data.assign(data.begin(), data.begin() + bytes);
    return value;
}

void walk(HKEY key, const std::u16string& path, RegistryTree& tree, bool& lineBreak) {
    if (tree.size() >= kMaxSnapshotKeys) return;
    KeyInfo info;
    check(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &info.subKeys, &info.maxSubKey, nullptr,
                           &info.values, &info.maxValueName, &info.maxData, nullptr,
                           nullptr) == ERROR_SUCCESS,
          "an open key answers its counts");
    std::vector<RegistryValue>& list = tree[path];
    for (DWORD i = 0; i < info.values; ++i) {
        list.push_back(readValue(key, i, info));
        lineBreak = lineBreak || hasLineBreak(list.back().name);
    }
    const DWORD keyUnits = info.maxSubKey + 1;
    for (DWORD i = 0; i < info.subKeys; ++i) {
        GuardedText name(keyUnits);
        DWORD units = keyUnits;
        LONG rc = RegEnumKeyExW(key, i, name.data(), &units, nullptr, nullptr, nullptr, nullptr);
        check(rc == ERROR_SUCCESS, "a key counted is enumerated");
        check(name.guardsIntact() && units < keyUnits && name.data()[units] == 0,
              "RegEnumKeyExW keeps to its buffer");
        std::u16string child(name.data(), units);
        lineBreak = lineBreak || hasLineBreak(child);
        HKEY sub = nullptr;
        check(RegOpenKeyExW(key, child.c_str(), 0, KEY_READ, &sub) == ERROR_SUCCESS,
              "a key enumerated opens");
        walk(sub, path + u"\\" + child, tree, lineBreak);
        RegCloseKey(sub);
    }
}

const std::pair<HKEY, const char16_t*> kRoots[] = {
    {HKEY_CLASSES_ROOT, u"HKCR"}, {HKEY_CURRENT_USER, u"HKCU"},   {HKEY_LOCAL_MACHINE, u"HKLM"},
    {HKEY_USERS, u"HKU"},         {HKEY_CURRENT_CONFIG, u"HKCC"},
};

}  // namespace

RegistryTree registrySnapshot(bool* lineBreak) {
    RegistryTree tree;
    bool found = false;
    for (const auto& [root, name] : kRoots) walk(root, name, tree, found);
    if (lineBreak) *lineBreak = found;
    return tree;
}

}  // namespace fuzz
