// options.h - hbc-host's command line.
#ifndef HBC_HOST_OPTIONS_H
#define HBC_HOST_OPTIONS_H

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// The levels hbc-host reads from the module's log (EXCEPTION_BAD for the
// rejected sections and the missing texts, DEBUG for the load and the
// fallbacks), always added to the detail asked for.
const DWORD kNeededDetail = 2 | 32;
// The default detail: the library's default (CRITICAL, EXCEPTION_BAD, ERROR,
// WARNING) and DEBUG.
const DWORD kDefaultDetail = 27 | 32;

struct Options {
    std::string folder;  // as given, UTF-8; empty: the registry's IniFolder
    DWORD language = 0x0409;
    std::string osVersion;  // MAJOR.MINOR for WIN32_POSIX_VERSION; empty: not set
    bool json = false;
    bool check = false;
    std::string logFile;  // empty: a temporary log
    DWORD detail = kDefaultDetail;
    std::string modulePath;  // empty: the module beside the tool
};

// Reads the command line (UTF-8 arguments, the program's name first). On
// --help and --version prints the text and answers 0; on a bad option prints
// one line naming it and answers 2; otherwise fills `options` and answers
// nothing.
std::optional<int> parseOptions(const std::vector<std::string>& args, Options& options);

// A language identifier, hexadecimal ("0x40C") or decimal ("1036"), at most
// 0xFFFF.
bool parseLanguage(const std::string& text, DWORD& language);
// A Windows version: xp, vista, 7, 10 or MAJOR.MINOR (each 0 to 255), as
// MAJOR.MINOR.
bool parseWindowsVersion(const std::string& text, std::string& majorMinor);

// hbc-host's own version.
extern const char* const kHbcHostVersion;

#endif
