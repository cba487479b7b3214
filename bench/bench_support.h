// bench_support.h - what the benchmarks share: a scratch folder with its
// Windows and file-system names, files written there, registry settings,
// and the table of ratios printed at the end of a run.
#ifndef HBC_BENCH_SUPPORT_H
#define HBC_BENCH_SUPPORT_H

#include <windows.h>

#include <filesystem>
#include <string>

using wstr = std::basic_string<WCHAR>;

// ASCII text as WCHAR text (the benchmarks' names and paths are ASCII).
wstr widen(const std::string& ascii);

// The benchmarks' scratch folder, made at the first use and removed at exit:
// hbc-bench-<process id> in the temporary folder.
const std::filesystem::path& scratchFolder();
// A file or folder of the scratch folder as the file system names it, and as
// the Win32 calls name it (natively "C:" and the POSIX path, drive C being /).
std::filesystem::path scratchPath(const std::string& relative);
wstr scratchWinPath(const std::string& relative);

void writeFile(const std::filesystem::path& path, const std::string& bytes);
// Sets a file's modification time a day into the past, so that a profile
// cache that trusts only settled files can trust it once its change time has
// settled too.
void ageFile(const std::filesystem::path& path);
// Waits until files written or aged by now count as settled.
void waitUntilSettled();

// HKEY_LOCAL_MACHINE settings; false when the registry refused.
bool setDword(const wstr& key, const wstr& name, DWORD value);
bool setString(const wstr& key, const wstr& name, const wstr& value);

// The logging settings key; logging switched off ("Logging" 0), or on with
// the given detail mask and the text log `logFile`.
extern const WCHAR* const kLogsKey;
bool loggingOff();
bool loggingOn(DWORD detail, const wstr& logFile);

#endif
