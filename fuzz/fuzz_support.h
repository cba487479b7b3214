// fuzz_support.h - what the fuzz targets share: a check that stops the run
// with a message (libFuzzer then keeps the input that broke it), guarded
// buffers that show a write past their end, and a scratch folder in memory.
#ifndef FUZZ_SUPPORT_H
#define FUZZ_SUPPORT_H

#include <windows.h>

#include <cstddef>
#include <cstdint>
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

}  // namespace fuzz

#endif
