// fuzz_support.h - what the fuzz targets share: a check that stops the run
// with a message (libFuzzer then keeps the input that broke it), guarded
// buffers that show a write past their end, and a scratch folder in memory.
#ifndef FUZZ_SUPPORT_H
#define FUZZ_SUPPORT_H

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

// Stops the run when `condition` is false: the message goes to standard
// error and the process aborts, so libFuzzer reports a crash and saves the input.
void check(bool condition, const char* what);

// A buffer of `units` WCHARs followed by guard units; the buffer itself is
// filled with `fill` so that a test can tell written units from untouched ones.
class GuardedText {
public:
    explicit GuardedText(size_t units, WCHAR fill = 0xCDCD);
    WCHAR* data() { return m_units.data(); }
    size_t size() const { return m_size; }
    // True while no unit past the buffer was written.
    bool guardsIntact() const;
    // True when the units from `from` to the end of the buffer still hold the fill.
    bool untouchedFrom(size_t from) const;

private:
    size_t m_size;
    WCHAR m_fill;
    std::vector<WCHAR> m_units;
};

// A folder that lives as long as the process, in memory when the machine
// has /dev/shm (files written there cost no disk flush), as a POSIX path.
const std::string& scratchFolder();
// Writes bytes to a file, replacing it.
void writeFile(const std::string& path, std::string_view bytes);
// A file's bytes; empty when it cannot be read.
std::string readFile(const std::string& path);

// A POSIX path as the stand-in's drive C: names it while C: is "/":
// "C:\\dev\\shm\\x" for "/dev/shm/x".
std::u16string windowsPath(const std::string& posix);

// Points the library's log at `file` (a Windows path) and sets its switch
// and detail (HKEY_LOCAL_MACHINE "SOFTWARE\\Norvak\\Logs").
void configureLog(const std::u16string& file, DWORD on, DWORD detail);
// The lines of a log file, after checking that it is one byte-order mark
// and whole UTF-16LE lines, each ended by CR LF and starting with its time.
// No file, no lines.
std::vector<std::u16string> logLines(const std::string& path);

// One value as the registry gives it.
struct RegistryValue {
    std::u16string name;
    DWORD type;
    std::vector<BYTE> data;
    bool operator==(const RegistryValue& o) const {
        return name == o.name && type == o.type && data == o.data;
    }
};
// Every key by its path (the root's short name, then the names, as the
// registry spells them), with its values in the order the registry gives them.
using RegistryTree = std::map<std::u16string, std::vector<RegistryValue>>;
// A snapshot stops after this many keys.
const size_t kMaxSnapshotKeys = 2000;

// The registry as the process holds it, walked through the API under the
// five roots: every count, name and data read into guarded buffers, which
// the calls must not overrun. `lineBreak`, when given, is set when a name
// holds a CR or LF.
RegistryTree registrySnapshot(bool* lineBreak = nullptr);

}  // namespace fuzz

#endif
